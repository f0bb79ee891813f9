#include "support_scene.h"

#include <QFile>
#include <QtEndian>

#include "scene/Scene.h"

Mesh boxMesh(QVector3D lo, QVector3D hi)
{
    std::vector<float> v;
    for (int k = 0; k < 8; ++k) {
        v.push_back(k & 1 ? hi.x() : lo.x());
        v.push_back(k & 2 ? hi.y() : lo.y());
        v.push_back(k & 4 ? hi.z() : lo.z());
    }
    std::vector<uint32_t> idx = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                 2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    std::vector<uint32_t> rev = reverseWinding(idx);
    return Mesh(std::move(v), std::move(idx), std::move(rev));
}

QByteArray binaryStl(const std::vector<Triangle> &tris, const QByteArray &header, qint64 announced, quint16 attribute)
{
    QByteArray d = header.leftJustified(80, ' ', true);
    uchar n[4];
    qToLittleEndian<quint32>(quint32(announced < 0 ? qint64(tris.size()) : announced), n);
    d.append(reinterpret_cast<const char *>(n), 4);
    for (const Triangle &t : tris) {
        d.append(QByteArray(12, '\0'));
        for (float f : t) {
            uchar b[4];
            qToLittleEndian<float>(f, b);
            d.append(reinterpret_cast<const char *>(b), 4);
        }
        uchar a[2];
        qToLittleEndian<quint16>(attribute, a);
        d.append(reinterpret_cast<const char *>(a), 2);
    }
    return d;
}

std::vector<Triangle> trianglesOf(const Mesh &m)
{
    std::vector<Triangle> tris(m.triangleCount());
    for (std::size_t t = 0; t < tris.size(); ++t)
        for (std::size_t c = 0; c < 3; ++c)
            for (std::size_t a = 0; a < 3; ++a)
                tris[t][3 * c + a] = m.vertices[3 * m.indices[3 * t + c] + a];
    return tris;
}

QString writeFixture(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("cannot write test fixture %s", qPrintable(path));
    return path;
}

int addBox(Scene &s, QVector3D lo, QVector3D hi, const QString &name)
{
    s.load_mesh({boxMesh(lo, hi)}, "/m/" + name);
    return s.objectCount() - 1;
}

int addBox(Scene &s, const QString &name, float heightMm)
{
    return addBox(s, {0, 0, 0}, {1, 1, heightMm}, name);
}

int addChild(Scene &s, int parent, int type, const QString &name)
{
    const int id = addBox(s, name);
    s.object(id)->type = type;
    s.object(id)->parent = parent;
    s.object(id)->name = name;
    return id;
}

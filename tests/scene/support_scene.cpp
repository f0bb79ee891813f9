#include "support_scene.h"

#include <QFile>

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

QString writeFixture(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("cannot write test fixture %s", qPrintable(path));
    return path;
}

#include "scene/StlExport.h"

#include <QtEndian>
#include <cstring>

#include "scene/SafeFileWriter.h"
#include "scene/Scene.h"

namespace {

void putFloat(char *out, float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    qToLittleEndian(bits, out);
}

bool fail(const SafeFileWriter &file, QString *error)
{
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

bool exportSceneStl(const Scene &scene, const QString &path, QString *error, const std::function<void(int)> &progress)
{
    quint64 total = 0;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (const Object *o = scene.object(i); o->mesh)
            total += o->mesh->indices.size() / 3;
    if (total > 0xffffffffull) {
        if (error)
            *error = QStringLiteral("The scene has more triangles than a binary STL file can hold.");
        return false;
    }

    SafeFileWriter file(path);
    if (!file.open())
        return fail(file, error);
    char head[84];
    std::memset(head, ' ', 80);
    qToLittleEndian(quint32(total), head + 80);
    if (!file.write(head, 84))
        return fail(file, error);

    quint64 written = 0;
    int shown = -1;
    auto report = [&](int percent) {
        if (progress && percent != shown)
            progress(percent);
        shown = percent;
    };
    report(0);
    char rec[50];
    rec[48] = rec[49] = ' ';
    for (int i = 1; i < scene.objectCount(); ++i) {
        const Object &o = *scene.object(i);
        if (!o.mesh)
            continue;
        const Mesh &m = *o.mesh;
        const std::vector<uint32_t> &idx =
            o.flip && m.reversedIndices.size() == m.indices.size() ? m.reversedIndices : m.indices;
        const QMatrix4x4 matrix = objectMatrix(o);
        const std::size_t vertexCount = m.vertexCount();
        for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
            QVector3D p[3];
            for (int c = 0; c < 3; ++c) {
                const uint32_t v = idx[t + std::size_t(c)];
                // A corner outside the vertex list is a broken mesh; it is written at the origin
                // rather than read out of range.
                const QVector3D local = v < vertexCount ? QVector3D(m.vertices[3 * v], m.vertices[3 * v + 1], m.vertices[3 * v + 2])
                                                        : QVector3D();
                p[c] = matrix.map(local);
            }
            const QVector3D e1 = (p[1] - p[0]).normalized(), e2 = (p[2] - p[1]).normalized();
            const QVector3D n = QVector3D::crossProduct(e1, e2).normalized();
            for (int a = 0; a < 3; ++a) {
                putFloat(rec + 4 * a, n[a]);
                for (int c = 0; c < 3; ++c)
                    putFloat(rec + 12 + 12 * c + 4 * a, p[c][a]);
            }
            if (!file.write(rec, 50))
                return fail(file, error);
            ++written;
            report(int(written * 100 / total));
        }
    }
    report(100);
    if (!file.commit())
        return fail(file, error);
    return true;
}

#include <QtTest>
#include <cmath>
#include <set>

#include "view/PreviewMesh.h"

namespace {

// A closed latitude-longitude sphere of radius r around the origin.
Mesh sphere(float r, int stacks, int slices)
{
    std::vector<float> v;
    std::vector<uint32_t> idx;
    for (int i = 0; i <= stacks; ++i) {
        const double phi = M_PI * i / stacks;
        for (int j = 0; j < slices; ++j) {
            const double th = 2 * M_PI * j / slices;
            v.insert(v.end(), {float(r * std::sin(phi) * std::cos(th)), float(r * std::sin(phi) * std::sin(th)),
                               float(r * std::cos(phi))});
        }
    }
    auto at = [slices](int i, int j) { return uint32_t(i * slices + (j % slices)); };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            idx.insert(idx.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            idx.insert(idx.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    std::vector<uint32_t> rev = reverseWinding(idx);
    return Mesh(std::move(v), std::move(idx), std::move(rev));
}

} // namespace

// The lighter mesh the package pictures are drawn from.
class TestPreviewMesh : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheShapeWithFarFewerTriangles()
    {
        const Mesh fine = sphere(10.0f, 300, 600);   // 360 000 triangles
        const float cell = 0.5f;
        const std::shared_ptr<Mesh> light = clusteredMesh(fine, cell);
        QVERIFY(light->triangleCount() > 1000);
        QVERIFY2(light->triangleCount() * 10 < fine.triangleCount(), qPrintable(QString::number(light->triangleCount())));
        // Every vertex is a mean of sphere points within one cell: on the sphere, give or take a cell.
        const float reach = cell * std::sqrt(3.0f);
        for (std::size_t k = 0; k < light->vertexCount(); ++k) {
            const float *p = &light->vertices[3 * k];
            const float d = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            QVERIFY2(d > 10.0f - reach && d <= 10.0f + 1e-3f, qPrintable(QString::number(d)));
        }
        for (int axis = 0; axis < 3; ++axis) {
            QVERIFY(light->maxCoord(axis) > 10.0f - reach);
            QVERIFY(light->minCoord(axis) < -10.0f + reach);
        }
        // No triangle collapsed to a line or a point, every index in range, reversed winding kept.
        QCOMPARE(light->reversedIndices.size(), light->indices.size());
        for (std::size_t t = 0; t < light->triangleCount(); ++t) {
            const uint32_t *i = &light->indices[3 * t];
            QVERIFY(i[0] != i[1] && i[1] != i[2] && i[0] != i[2]);
            QVERIFY(i[0] < light->vertexCount() && i[1] < light->vertexCount() && i[2] < light->vertexCount());
        }
        // Outward faces stay outward: the signed volume keeps its sign and roughly its size.
        double volume = 0;
        for (std::size_t t = 0; t < light->triangleCount(); ++t) {
            const float *a = &light->vertices[3 * light->indices[3 * t]];
            const float *b = &light->vertices[3 * light->indices[3 * t + 1]];
            const float *c = &light->vertices[3 * light->indices[3 * t + 2]];
            volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0])
                       + a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
        }
        const double sphereVolume = 4.0 / 3.0 * M_PI * 1000.0;
        const double fineVolume = [&] {
            double v = 0;
            for (std::size_t t = 0; t < fine.triangleCount(); ++t) {
                const float *a = &fine.vertices[3 * fine.indices[3 * t]];
                const float *b = &fine.vertices[3 * fine.indices[3 * t + 1]];
                const float *c = &fine.vertices[3 * fine.indices[3 * t + 2]];
                v += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0])
                      + a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
            }
            return v;
        }();
        QVERIFY(std::abs(std::abs(fineVolume) - sphereVolume) < 0.01 * sphereVolume);
        QVERIFY(volume * fineVolume > 0);
        QVERIFY(std::abs(std::abs(volume) - sphereVolume) < 0.1 * sphereVolume);
    }

    void smallCellsDropOnlyWhatHadNoArea()
    {
        // The poles repeat one point per slice: the 16 triangles at each pole with two corners
        // there have no area and go; the rest stay.
        const Mesh coarse = sphere(10.0f, 8, 16);
        const std::shared_ptr<Mesh> same = clusteredMesh(coarse, 1e-4f);
        QCOMPARE(same->triangleCount(), coarse.triangleCount() - 2 * 16);
        QCOMPARE(same->vertexCount(), coarse.vertexCount() - 2 * 15);
        QCOMPARE(clusteredMesh(Mesh(), 1.0f)->triangleCount(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestPreviewMesh)
#include "tst_preview_mesh.moc"

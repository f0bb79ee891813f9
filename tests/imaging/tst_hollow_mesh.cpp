#include <QtTest>
#include <map>
#include <opencv2/core.hpp>

#include "imaging/HollowMesh.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/Slicer.h"

namespace {

// A closed box from lo to hi (mm), outward winding.
std::shared_ptr<Mesh> boxMesh(QVector3D lo, QVector3D hi)
{
    std::vector<float> v;
    for (int k = 0; k < 8; ++k) {
        v.push_back(k & 1 ? hi.x() : lo.x());
        v.push_back(k & 2 ? hi.y() : lo.y());
        v.push_back(k & 4 ? hi.z() : lo.z());
    }
    std::vector<uint32_t> i = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                               2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    std::vector<uint32_t> r = reverseWinding(i);
    return std::make_shared<Mesh>(std::move(v), std::move(i), std::move(r));
}

SliceObject objectOf(const std::shared_ptr<const Mesh> &mesh, int type)
{
    SliceObject o;
    o.mesh = mesh;
    o.type = type;
    return o;
}

// Signed volume by the divergence theorem: positive for outward winding.
double signedVolume(const Mesh &m)
{
    double v = 0.0;
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const float *a = &m.vertices[3 * m.indices[t]];
        const float *b = &m.vertices[3 * m.indices[t + 1]];
        const float *c = &m.vertices[3 * m.indices[t + 2]];
        v += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) - double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0])
              + double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
    }
    return v;
}

// Every directed edge is met once, and its reverse once: the surface is closed and consistently wound.
bool closedAndConsistent(const Mesh &m)
{
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3)
        for (int e = 0; e < 3; ++e)
            ++edges[{m.indices[t + std::size_t(e)], m.indices[t + std::size_t((e + 1) % 3)]}];
    for (const auto &[edge, count] : edges)
        if (count != 1 || edges.count({edge.second, edge.first}) == 0 || edges.at({edge.second, edge.first}) != 1)
            return false;
    return true;
}

} // namespace

class TestHollowMesh : public QObject
{
    Q_OBJECT

private slots:
    // A block of 2 × 3 × 4 voxels of 0.5 × 0.25 × 0.1 mm: 2·(6 + 8 + 12) faces, 104 triangles,
    // 24 voxels of 0.0125 mm³.
    void voxelBlockSurface()
    {
        std::vector<cv::Mat> masks;
        for (int z = 0; z < 6; ++z) {
            cv::Mat m = cv::Mat::zeros(8, 9, CV_8UC1);
            if (z >= 1 && z <= 4)
                m(cv::Rect(3, 2, 2, 3)).setTo(255);
            masks.push_back(m);
        }
        VoxelGrid g;
        g.x0Mm = -1.0;
        g.dxMm = 0.5;
        g.dyMm = 0.25;
        g.dzMm = 0.1;
        const Mesh out = voxelSurface(masks, g, false);
        QCOMPARE(int(out.triangleCount()), 104);
        QCOMPARE(int(out.vertexCount()), 3 * 4 * 5 - 1 * 2 * 3);   // the lattice points on the block's surface
        QVERIFY(qAbs(signedVolume(out) - 24 * 0.0125) < 1e-6);
        QVERIFY(closedAndConsistent(out));
        QCOMPARE(out.minCoord(0), 0.5f);
        QCOMPARE(out.maxCoord(2), 0.5f);
        const Mesh in = voxelSurface(masks, g, true);
        QVERIFY(qAbs(signedVolume(in) + 24 * 0.0125) < 1e-6);
        QVERIFY(closedAndConsistent(in));
    }

    // A 20 mm cube, hollowed with a 2 mm wall on 250 µm voxels, has a 16 mm cubic cavity from
    // 2.25 mm (the floor keeps one voxel layer more) to 18 mm. Sliced together with the cube at
    // 100 µm pixels, a layer through the cavity is a ring of 200² − 160² = 14400 pixels, with
    // or without a separate support exposure.
    void cubeCavityCutsTheSlices_data()
    {
        QTest::addColumn<bool>("split");
        QTest::newRow("one exposure") << false;
        QTest::newRow("support exposure apart") << true;
    }
    void cubeCavityCutsTheSlices()
    {
        QFETCH(bool, split);
        const std::shared_ptr<Mesh> cube = boxMesh({-10, -10, 0}, {10, 10, 20});
        SliceParameters plate;
        plate.projectorWidthPx = 640;
        plate.projectorHeightPx = 400;
        plate.pixelSizeXUm = plate.pixelSizeYUm = 100.0f;
        Mesh cavity;
        QString error;
        QVERIFY2(hollowMeshOf(objectOf(cube, 2), plate, 20.0f, 2.0, 250.0, &cavity, &error), qPrintable(error));
        QVERIFY(closedAndConsistent(cavity));
        QVERIFY(qAbs(signedVolume(cavity) + 16.0 * 16.0 * 15.75) < 1e-3);
        QCOMPARE(cavity.minCoord(0), -8.0f);
        QCOMPARE(cavity.maxCoord(1), 8.0f);
        QCOMPARE(cavity.minCoord(2), 2.25f);
        QCOMPARE(cavity.maxCoord(2), 18.0f);

        CpuFillRenderer cpu;
        Slicer s(&cpu);
        SliceRunOptions o;
        o.sliceThicknessUm = 500;
        o.maxZ = 20;
        o.sliceOnDisk = false;
        o.splitSupportExposure = split;
        QVERIFY(s.start({objectOf(cube, 2), objectOf(std::make_shared<Mesh>(cavity), 64)}, plate, o, &error));
        Slicer::Step step;
        do
            step = s.processLayer();
        while (step == Slicer::Continue);
        QCOMPARE(step, Slicer::Finished);
        const std::vector<cv::Mat> &layers = s.sliceImages();
        QCOMPARE(int(layers.size()), 40);
        QCOMPARE(cv::countNonZero(layers[1]), 40000);    // 0.5 … 1 mm: the floor
        QCOMPARE(cv::countNonZero(layers[20]), 14400);   // 10 … 10.5 mm
        QCOMPARE(cv::countNonZero(layers[39]), 40000);   // the lid
        QCOMPARE(int(layers[20].at<uchar>(200, 320)), 0);
    }

    void noRoomNoCavity()
    {
        const std::shared_ptr<Mesh> slab = boxMesh({-10, -10, 0}, {10, 10, 3});
        SliceParameters plate;
        plate.projectorWidthPx = 640;
        plate.projectorHeightPx = 400;
        plate.pixelSizeXUm = plate.pixelSizeYUm = 100.0f;
        Mesh cavity;
        QString error;
        QVERIFY(hollowMeshOf(objectOf(slab, 2), plate, 3.0f, 2.0, 250.0, &cavity, &error));
        QCOMPARE(int(cavity.triangleCount()), 0);
    }
};

QTEST_APPLESS_MAIN(TestHollowMesh)
#include "tst_hollow_mesh.moc"

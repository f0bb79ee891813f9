#include <QtTest>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "scene/Object.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/IslandFinder.h"
#include "slicing/LayerAnalysis.h"
#include "slicing/LayerImage.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Islands (regions of a layer with nothing lit under them) and the resin a run's layers take,
// found while the layers pass through a run on worker threads.
class TestIslands : public QObject
{
    Q_OBJECT

    struct Result
    {
        std::vector<IslandReport> islands;
        double resinMl = 0;
        int layers = 0;
    };

    // Slices with the processor fill on two workers, 100 µm layers on 100 µm pixels.
    static Result slice(const std::vector<SliceObject> &objects, float maxZ, bool split = false,
                        LayerPostProcess post = {})
    {
        CpuFillRenderer renderer;
        Slicer s(&renderer);
        SliceRunOptions o;
        o.sliceOnDisk = false;
        o.sliceThicknessUm = 100;
        o.maxZ = maxZ;
        o.workerThreads = 2;
        o.splitSupportExposure = split;
        o.postProcess = std::move(post);
        o.analysis = std::make_shared<LayerAnalysis>();
        QString error;
        if (!s.start(objects, smallProjector(), o, &error))
            qFatal("start: %s", qPrintable(error));
        if (runToEnd(s) != Slicer::Finished)
            qFatal("run: %s", qPrintable(s.errorString()));
        Result r;
        r.islands = s.analysis()->islands();
        r.resinMl = s.analysis()->resinVolumeMl(o.sliceThicknessUm);
        r.layers = s.layersDone();
        return r;
    }

    // The volume of a closed mesh by the divergence theorem, ml: the truth the slices are held to.
    static double meshVolumeMl(const Mesh &m)
    {
        double v = 0;
        for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
            QVector3D p[3];
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = m.indices[t + std::size_t(k)];
                p[k] = QVector3D(m.vertices[3 * i], m.vertices[3 * i + 1], m.vertices[3 * i + 2]);
            }
            v += double(QVector3D::dotProduct(p[0], QVector3D::crossProduct(p[1], p[2]))) / 6.0;
        }
        return v / 1000.0;
    }

    static LayerFootprint footprintOf(const cv::Mat &m) { return layerFootprint({m}); }

private slots:
    // Hand-drawn layers: 8-connected regions, resting means lying over a lit pixel.
    void regionsOfHandDrawnLayers()
    {
        cv::Mat lower = cv::Mat::zeros(20, 30, CV_8UC1), upper = cv::Mat::zeros(20, 30, CV_8UC1);
        lower(cv::Rect(2, 2, 4, 4)).setTo(255);
        // Rests on the square by one pixel, the rest of it overhangs: no island.
        upper(cv::Rect(5, 5, 8, 3)).setTo(255);
        // Joined to that region only diagonally (8-connected): part of it, no island.
        upper.at<uchar>(8, 13) = 255;
        // A 3 × 2 region away from everything: an island.
        upper(cv::Rect(20, 10, 3, 2)).setTo(255);
        // Diagonally next to the lower square but over no lit pixel: an island too.
        upper.at<uchar>(6, 1) = 255;
        // A U whose right arm rests on a faint lower pixel: its left arm joins it only in the
        // bottom row, and the whole U rests.
        upper(cv::Rect(24, 2, 2, 5)).setTo(90);
        upper(cv::Rect(28, 2, 2, 5)).setTo(90);
        upper(cv::Rect(24, 7, 6, 1)).setTo(90);
        lower.at<uchar>(2, 29) = 1;
        const std::vector<IslandRegion> found = findIslands(footprintOf(lower), footprintOf(upper));
        QCOMPARE(int(found.size()), 2);
        QCOMPARE(found[0].box, cv::Rect(1, 6, 1, 1));
        QCOMPARE(found[1].box, cv::Rect(20, 10, 3, 2));
        QCOMPARE(found[1].areaPx, 6);
        QCOMPARE(found[1].centroidPx.x, 21.5);
        QCOMPARE(found[1].centroidPx.y, 11.0);

        // Over an empty layer everything is an island; over itself nothing; an empty layer has none.
        QCOMPARE(int(findIslands(LayerFootprint(), footprintOf(lower)).size()), 2);
        QVERIFY(findIslands(footprintOf(upper), footprintOf(upper)).empty());
        QVERIFY(findIslands(footprintOf(lower), LayerFootprint()).empty());

        // A colour layer is lit where any channel is; the footprint unites a layer's images.
        cv::Mat colour = cv::Mat::zeros(20, 30, CV_8UC3);
        colour.at<cv::Vec3b>(15, 25) = cv::Vec3b(0, 40, 0);
        const LayerFootprint both = layerFootprint({colour, lower});
        QCOMPARE(both.box, cv::Rect(2, 2, 28, 14));
        QCOMPARE(both.litPixels(), 18LL);
        QCOMPARE(litBoundingBox(colour), cv::Rect(25, 15, 1, 1));
        QVERIFY(litBoundingBox(cv::Mat::zeros(5, 5, CV_8UC1)).empty());
    }

    // A cube floating 5 mm above a base plate: one island, at the cube's first layer, at its
    // centre; its area is the cube's footprint.
    void floatingCubeIsOneIsland()
    {
        const std::vector<SliceObject> scene = {placed(boxMesh(30, 24, 2), {}),
                                                placed(boxMesh(6, 4, 3), {7, -5, 5.07f})};
        const Result r = slice(scene, 8.07f);
        QCOMPARE(int(r.islands.size()), 1);
        const IslandReport &i = r.islands[0];
        // Layers every 0.1 mm, each cut through its middle: the first cut above 5.07 mm is that
        // of layer 51 (5.1 to 5.2 mm).
        QCOMPARE(i.layerIndex, 51);
        QVERIFY(std::abs(i.heightMm - 5.1f) < 1e-4f);
        QVERIFY2(std::abs(i.xMm - 7.0) < 0.01 && std::abs(i.yMm + 5.0) < 0.01,
                 qPrintable(QString("at (%1, %2)").arg(i.xMm).arg(i.yMm)));
        QCOMPARE(i.region.areaPx, 60 * 40);
        QVERIFY(std::abs(i.areaMm2 - 24.0) < 1e-9);
        QCOMPARE(islandSummary(r.islands), QString("1 island: layer 51 at (7.0, \u22125.0) mm"));
    }

    // A T whose bar carries a hanging tip under each end: the tips start in mid-air, left and
    // right of the stem, and the bar joins them later.
    void tipsUnderTheBarOfATAreIslands()
    {
        const std::vector<SliceObject> scene = {placed(boxMesh(4, 4, 10.05f), {}),
                                                placed(boxMesh(24, 4, 2), {0, 0, 10}),
                                                placed(boxMesh(2, 4, 1.5f), {-11, 0, 8.57f}),
                                                placed(boxMesh(2, 4, 1.5f), {11, 0, 8.57f})};
        const Result r = slice(scene, 12);
        QCOMPARE(int(r.islands.size()), 2);
        for (const IslandReport &i : r.islands)
            QCOMPARE(i.layerIndex, 86);   // the first cut above 8.57 mm, at 8.65 mm
        std::vector<double> xs = {r.islands[0].xMm, r.islands[1].xMm};
        std::sort(xs.begin(), xs.end());
        QVERIFY(std::abs(xs[0] + 11.0) < 0.01 && std::abs(xs[1] - 11.0) < 0.01);
        QVERIFY(std::abs(r.islands[0].yMm) < 0.01);
        QCOMPARE(islandSummary(r.islands), QString("2 islands: layer 86 at (\u221211.0, 0.0) mm, layer 86 at (11.0, 0.0) mm"));
    }

    // Shapes that grow outwards layer by layer, and a part held up by a support (the support
    // exposure's own image counts as lit), have none.
    void restingShapesHaveNone()
    {
        QVERIFY(slice({placed(boxMesh(10, 20, 3), {})}, 3).islands.empty());
        QVERIFY(slice({placed(sphereMesh(6, 32, 64), {})}, 12).islands.empty());
        QVERIFY(slice({placed(pyramidMesh(12, 6), {})}, 6).islands.empty());
        const std::vector<SliceObject> supported = {
            placed(boxMesh(8, 8, 2), {0, 0, 5.05f}),
            placed(cylinderMesh(0.8f, 5.3f, 24), {0, 0, 0}, {}, false, TypeSupport)};
        QVERIFY(slice(supported, 7.05f, true).islands.empty());
        QVERIFY(slice(supported, 7.05f, false).islands.empty());
        // Without its support the same part is one island.
        QCOMPARE(int(slice({supported[0], placed(boxMesh(8, 8, 0.5f), {20, 0, 0})}, 7.05f).islands.size()), 1);
    }

    // The resin of closed solids within 1 % of their volume: the stored images summed with
    // grey levels weighted, so blurred edges count by their grey.
    void resinMatchesTheVolumeOfClosedSolids()
    {
        auto box = boxMesh(10, 20, 5);
        QVERIFY(std::abs(slice({placed(box, {})}, 5).resinMl - 1.0) < 1e-6);
        for (const auto &mesh : {cylinderMesh(10, 8, 128), sphereMesh(9, 64, 128), torusMesh(12, 4, 128, 64)}) {
            const double truth = meshVolumeMl(*mesh);
            const float height = mesh->maxCoord(2) - mesh->minCoord(2);
            const double sliced = slice({placed(mesh, {})}, height).resinMl;
            QVERIFY2(std::abs(sliced - truth) < 0.01 * truth, qPrintable(QString("%1 ml sliced, %2 ml true").arg(sliced).arg(truth)));
        }
        // Blurring keeps the amount of light: the box stays at 1 ml.
        LayerPostProcess blur = [](std::vector<cv::Mat> images, const LayerContext &) {
            cv::GaussianBlur(images[0], images[0], cv::Size(5, 5), 0);
            return images;
        };
        QVERIFY(std::abs(slice({placed(box, {})}, 5, false, blur).resinMl - 1.0) < 1e-3);
        // A pixel half lit counts half; a split layer counts its first image only; a layer with
        // a second exposure group counts a pixel lit in either group once; packed pixels count
        // every channel.
        cv::Mat grey(2, 2, CV_8UC1, cv::Scalar(0));
        grey.at<uchar>(0, 0) = 255;
        grey.at<uchar>(1, 1) = 51;
        QCOMPARE(LayerAnalysis::litPixels({grey}, LayerSingle, false), 1.2);
        QCOMPARE(LayerAnalysis::litPixels({grey, grey}, LayerSplitFirst, false), 1.2);
        cv::Mat rgb(1, 2, CV_8UC3, cv::Scalar(0, 0, 0));
        rgb.at<cv::Vec3b>(0, 0) = cv::Vec3b(0, 255, 255);
        rgb.at<cv::Vec3b>(0, 1) = cv::Vec3b(0, 255, 0);
        QCOMPARE(LayerAnalysis::litPixels({rgb}, LayerSingle, true), 2.0);
        QCOMPARE(LayerAnalysis::litPixels({rgb}, LayerSingle, false), 3.0);
    }

    void summaryText()
    {
        std::vector<IslandReport> many(7);
        for (int k = 0; k < 7; ++k) {
            many[std::size_t(k)].layerIndex = 10 * k;
            many[std::size_t(k)].xMm = 12.44;
            many[std::size_t(k)].yMm = -3.06;
        }
        QCOMPARE(islandSummary({}), QString("no islands"));
        QCOMPARE(islandSummary(many, 2), QString("7 islands: layer 0 at (12.4, \u22123.1) mm, layer 10 at (12.4, "
                                                 "\u22123.1) mm, \u2026"));
        many[0].xMm = -0.04;   // no "−0.0"
        QCOMPARE(islandSummary({many[0]}), QString("1 island: layer 0 at (0.0, \u22123.1) mm"));
    }
};

QTEST_GUILESS_MAIN(TestIslands)
#include "tst_islands.moc"

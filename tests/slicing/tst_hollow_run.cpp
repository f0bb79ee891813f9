#include <QtTest>
#include <opencv2/core.hpp>

#include "imaging/Hollowing.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Hollowing inside a slicing run: a 10 mm cube at 100 µm pixels is a 100 × 100 pixel square
// in every layer of 250 µm; a 1 mm wall is 10 pixels and 4 layers, so the hollowed layers
// are rings of 100² − 80² = 3600 pixels.
class TestHollowRun : public QObject
{
    Q_OBJECT

    struct Run
    {
        Slicer::Step step = Slicer::Failed;
        std::vector<cv::Mat> images;
        QString error;
    };

    static Run slice(int workers, bool withHollowing, int cancelAfterLayers = -1, bool largePanel = false)
    {
        Run run;
        CpuFillRenderer cpu;
        SliceRunOptions o;
        o.sliceThicknessUm = 250;
        o.maxZ = 10;
        o.sliceOnDisk = false;
        o.workerThreads = workers;
        SliceParameters params = smallProjector();
        if (largePanel) {
            // Above four megapixels layers wait cropped to their lit box.
            params.projectorWidthPx = 2560;
            params.projectorHeightPx = 1600;
        }
        if (withHollowing) {
            HollowingSettings h = hollowingFromMm(1.0, params.pixelSizeXUm, o.sliceThicknessUm);
            o.stackStage = std::make_shared<HollowingStack>(h, cv::Size(params.projectorWidthPx, params.projectorHeightPx));
        }
        Slicer s(&cpu);
        if (!s.start({placed(boxMesh(10, 10, 10))}, params, o, &run.error))
            return run;
        int calls = 0;
        do {
            run.step = s.processLayer();
            if (++calls == cancelAfterLayers)
                s.cancel();
        } while (run.step == Slicer::Continue);
        run.images = s.sliceImages();
        run.error = s.errorString();
        return run;
    }

private slots:
    void cubeGetsRingsBetweenFloorAndCeiling_data()
    {
        QTest::addColumn<int>("workers");
        QTest::addColumn<bool>("largePanel");
        QTest::newRow("on the calling thread") << 0 << false;
        QTest::newRow("two workers") << 2 << false;
        QTest::newRow("two workers, large panel") << 2 << true;
    }
    void cubeGetsRingsBetweenFloorAndCeiling()
    {
        QFETCH(int, workers);
        QFETCH(bool, largePanel);
        const Run solid = slice(workers, false, -1, largePanel);
        const Run hollow = slice(workers, true, -1, largePanel);
        // The square's corner: columns and rows from the image centre less 50.
        const int x0 = solid.images.empty() ? 0 : solid.images[0].cols / 2 - 50;
        const int y0 = solid.images.empty() ? 0 : solid.images[0].rows / 2 - 50;
        QCOMPARE(solid.step, Slicer::Finished);
        QCOMPARE(hollow.step, Slicer::Finished);
        QCOMPARE(hollow.images.size(), solid.images.size());
        const int layers = int(solid.images.size());
        QVERIFY(layers >= 40);
        int lastLit = -1;
        for (int k = 0; k < layers; ++k) {
            const int lit = cv::countNonZero(solid.images[std::size_t(k)]);
            QVERIFY(lit == 0 || lit == 100 * 100);
            if (lit)
                lastLit = k;
        }
        QCOMPARE(lastLit, 39);
        const int wallLayers = 4;
        int rings = 0;
        for (int k = 0; k < layers; ++k) {
            const cv::Mat &in = solid.images[std::size_t(k)];
            const cv::Mat &out = hollow.images[std::size_t(k)];
            // Floor: layers 0 … wallLayers; ceiling: the wallLayers below the top.
            const bool ring = k > wallLayers && k + wallLayers <= lastLit;
            if (!ring) {
                QVERIFY2(cv::countNonZero(in != out) == 0, qPrintable(QString("layer %1").arg(k)));
                continue;
            }
            ++rings;
            QCOMPARE(cv::countNonZero(out), 3600);
            // The square spans columns x0 … x0 + 99 and rows y0 … y0 + 99.
            QCOMPARE(int(out.at<uchar>(y0 + 50, x0 + 50)), 0);
            QCOMPARE(int(out.at<uchar>(y0 + 50, x0 + 9)), 255);
            QCOMPARE(int(out.at<uchar>(y0 + 50, x0 + 10)), 0);
            QCOMPARE(int(out.at<uchar>(y0 + 9, x0 + 30)), 255);
            QCOMPARE(int(out.at<uchar>(y0 + 10, x0 + 30)), 0);
        }
        QCOMPARE(rings, 40 - 5 - 4);
    }

    // A cancelled run stops with the layers it stored; none of them is half hollowed.
    void cancelledRunKeepsOnlyFinishedLayers()
    {
        for (int workers : {0, 2}) {
            const Run run = slice(workers, true, 12);
            QCOMPARE(run.step, Slicer::Cancelled);
            QVERIFY(run.images.size() < 12);
            for (std::size_t k = 0; k < run.images.size(); ++k) {
                const int lit = cv::countNonZero(run.images[k]);
                QVERIFY(lit == 10000 || lit == 3600);
            }
        }
    }
};

QTEST_MAIN(TestHollowRun)
#include "tst_hollow_run.moc"

#include <QtTest>
#include <opencv2/imgcodecs.hpp>

#include "config/DataFolder.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/LayerImage.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Whole runs: layer files, run lists, cancelling, failures.
class TestSlicer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    std::unique_ptr<GlContext> m_ctx;
    std::unique_ptr<GlCrossSectionRenderer> m_renderer;

    SliceRunOptions options(const QString &folder, float thicknessUm, float maxZ)
    {
        SliceRunOptions o;
        o.outputFolder = folder;
        o.sliceThicknessUm = thicknessUm;
        o.maxZ = maxZ;
        return o;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit());
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        m_renderer = std::make_unique<GlCrossSectionRenderer>();
    }

    void cleanupTestCase() { m_renderer.reset(); }

    void shortRunWritesNumberedLayers()
    {
        QString error;
        // "Make Slices" goes to the data folder's temp, which need not exist yet.
        QVERIFY(!QDir(m_data.path() + "/temp").exists());
        const QString folder = sliceOutputFolder(QString(), false, &error);
        QCOMPARE(folder, m_data.path() + "/temp");
        QVERIFY(QDir(folder).exists());

        Slicer s(m_renderer.get());
        QStringList logged;
        SliceRunOptions o = options(folder, 100, 0.3f);
        o.log = [&](const QString &t) { logged << t; };
        QVERIFY2(s.start({placed(boxMesh(10, 20, 5))}, smallProjector(), o, &error), qPrintable(error));
        QCOMPARE(s.processLayer(), Slicer::Continue);
        QCOMPARE(s.processLayer(), Slicer::Continue);
        QCOMPARE(s.processLayer(), Slicer::Finished);
        QVERIFY(!s.isRunning());
        QCOMPARE(s.sliceFileNames(),
                 QStringList({folder + "/S000001_P1.png", folder + "/S000002_P1.png", folder + "/S000003_P1.png"}));
        QCOMPARE(s.sliceHeights().size(), std::size_t(3));
        QVERIFY(std::abs(s.sliceHeights()[2] - 0.2f) < 1e-6f);
        QCOMPARE(s.layerCodes(), QList<int>({0, 0, 0}));
        QCOMPARE(s.progressPercent(), 100);
        QCOMPARE(logged.first(), QString("Slicing started"));
        QVERIFY(logged.last().startsWith("Slicing time: "));

        const cv::Mat png = cv::imread(s.sliceFileNames()[1].toStdString(), cv::IMREAD_UNCHANGED);
        QCOMPARE(png.type(), CV_8UC1);
        QCOMPARE(png.cols, 640);
        QCOMPARE(png.rows, 400);
        QCOMPARE(cv::countNonZero(png), 100 * 200);
    }

    void cancelKeepsFinishedLayers()
    {
        QTemporaryDir out;
        QString error;
        Slicer s(m_renderer.get());
        QVERIFY(s.start({placed(boxMesh(10, 20, 5))}, smallProjector(), options(out.path(), 50, 5), &error));
        QCOMPARE(s.processLayer(), Slicer::Continue);
        QCOMPARE(s.processLayer(), Slicer::Continue);
        s.cancel();
        QCOMPARE(s.processLayer(), Slicer::Cancelled);
        QVERIFY(s.wasCancelled());
        QCOMPARE(s.sliceFileNames().size(), 2);
        QCOMPARE(s.sliceHeights().size(), std::size_t(2));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(s.processLayer(), Slicer::Cancelled);   // stays over
    }

    void failuresStopTheRun()
    {
        QString error;
        Slicer s(m_renderer.get());
        QVERIFY(!s.start({placed(boxMesh(10, 20, 5))}, smallProjector(), options(m_data.path() + "/missing", 50, 5), &error));
        QVERIFY(error.contains("missing"));

        // A layer file that cannot be written ends the run with the reason, not a silent gap.
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir("S000002_P1.png"));
        QVERIFY(s.start({placed(boxMesh(10, 20, 5))}, smallProjector(), options(out.path(), 50, 5), &error));
        QCOMPARE(s.processLayer(), Slicer::Continue);
        QCOMPARE(s.processLayer(), Slicer::Failed);
        QVERIFY2(s.errorString().contains("S000002_P1.png"), qPrintable(s.errorString()));
        QCOMPARE(s.sliceFileNames().size(), 1);
        QVERIFY(!s.isRunning());

        // The file hook (e.g. the package archive) can stop the run too.
        SliceRunOptions o = options(out.path(), 50, 5);
        o.fileWritten = [](const QString &, QString *why) { *why = "archive full"; return false; };
        QVERIFY(s.start({placed(boxMesh(10, 20, 5))}, smallProjector(), o, &error));
        QCOMPARE(s.processLayer(), Slicer::Failed);
        QCOMPARE(s.errorString(), QString("archive full"));
    }

    void supportSplitWritesTwoImages()
    {
        QTemporaryDir out;
        QString error;
        Slicer s(m_renderer.get());
        SliceRunOptions o = options(out.path(), 100, 0.2f);
        o.splitSupportExposure = true;
        int hookCalls = 0;
        std::size_t outlineFloats = 0;
        o.postProcess = [&](std::vector<cv::Mat> images, const LayerContext &ctx) {
            ++hookCalls;
            if (ctx.layerIndex == 1)
                outlineFloats = ctx.outlineMm().size();
            return images;
        };
        // A model touching a support: every layer holds both, overlapping.
        const std::vector<SliceObject> objects = {placed(boxMesh(10, 20, 5)),
                                                  placed(boxMesh(4, 4, 5), {4, 0, 0}, {}, false, 8)};
        QVERIFY(s.start(objects, smallProjector(), o, &error));
        QCOMPARE(runToEnd(s), Slicer::Finished);
        QCOMPARE(hookCalls, 2);
        QCOMPARE(outlineFloats, std::size_t(8 * 6));   // the model's outline only
        QCOMPARE(s.layerCodes(), QList<int>({2, 3, 2, 3}));
        QCOMPARE(s.sliceFileNames().size(), 4);
        QCOMPARE(s.sliceHeights()[2], s.sliceHeights()[3]);
        const cv::Mat support = cv::imread(s.sliceFileNames()[3].toStdString(), cv::IMREAD_UNCHANGED);
        QCOMPARE(cv::countNonZero(support), 40 * 40);
    }

    void secondExposureGroupIsColour()
    {
        Slicer s(m_renderer.get());
        SliceRunOptions o = options(QString(), 100, 0.1f);
        o.sliceOnDisk = false;
        QString error;
        QVERIFY(s.start({placed(boxMesh(10, 20, 5), {-10, 0, 0}), placed(boxMesh(10, 20, 5), {10, 0, 0}, {}, false, 2, 1)},
                        smallProjector(), o, &error));
        QCOMPARE(runToEnd(s), Slicer::Finished);
        QCOMPARE(s.sliceImages().size(), std::size_t(1));
        const cv::Mat img = s.sliceImages()[0];
        QCOMPARE(img.type(), CV_8UC3);
        QCOMPARE(img.at<cv::Vec3b>(200, 320 - 100), cv::Vec3b(0, 0, 255));   // first group: blue
        QCOMPARE(img.at<cv::Vec3b>(200, 320 + 100), cv::Vec3b(0, 255, 0));   // second group: green
        QCOMPARE(s.layerCodes(), QList<int>({0}));
    }

    void singleSlice()
    {
        Slicer s(m_renderer.get());
        cv::Mat img;
        QString error;
        const std::vector<SliceObject> box = {placed(boxMesh(10, 20, 5))};
        QVERIFY(s.getSliceAt(box, smallProjector(), 2.0f, &img, &error));
        QCOMPARE(cv::countNonZero(img), 100 * 200);
        QVERIFY(s.getSliceAt(box, smallProjector(), 50.0f, &img, &error));
        QCOMPARE(img.cols, 640);
        QCOMPARE(img.rows, 400);
        QCOMPARE(cv::countNonZero(img), 0);
        QCOMPARE(s.sliceHeights(), std::vector<float>({50.0f}));
    }

    void timeTexts()
    {
        QCOMPARE(Slicer::timeText(0), QString("00:00:00"));
        QCOMPARE(Slicer::timeText(3723), QString("01:02:03"));
    }
};

QTEST_GUILESS_MAIN(TestSlicer)
#include "tst_slicer.moc"

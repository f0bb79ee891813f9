#include <QThread>
#include <QtTest>
#include <atomic>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "scene/Object.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GpuFillRenderer.h"
#include "slicing/LayerImage.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Runs with worker threads: several layers at once, yet the same files, lists and hook calls,
// in the same order, as a run on one thread.
class TestPipeline : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    std::unique_ptr<GlContext> m_ctx;

    // Models, a support reaching above them and touching one, and a second-exposure part.
    static std::vector<SliceObject> scene(bool secondExposure)
    {
        std::vector<SliceObject> s = {placed(boxMesh(10, 20, 3), {-12, 0, 0}), placed(cylinderMesh(4, 2, 48), {8, 0, 0}),
                                      placed(cylinderMesh(1.5f, 5, 24), {12, 0, 0}, {}, false, TypeSupport)};
        if (secondExposure)
            s.push_back(placed(boxMesh(6, 6, 4), {0, 12, 0}, {}, false, TypeModel, 1));
        return s;
    }

    struct Run
    {
        Slicer::Step step = Slicer::Failed;
        QStringList files;
        std::vector<cv::Mat> images;   // the files read back, or the images kept in memory
        std::vector<float> heights;
        QList<int> codes;
        QList<int> renderedOrder;      // layer indices as layerRendered saw them
        bool renderedOnCaller = true;
        int outlinesAsked = 0;
        QString error;
    };

    // The post-processing any run may have: the outline is asked for and drawn in, the image
    // turned upside down. Safe on several threads at once.
    static LayerPostProcess postProcess(std::atomic<int> *outlines)
    {
        return [outlines](std::vector<cv::Mat> images, const LayerContext &ctx) {
            if (ctx.outlineMm && !ctx.outlineMm().empty())
                ++*outlines;
            for (cv::Mat &image : images) {
                cv::Mat flipped;
                cv::flip(image, flipped, 0);
                image = flipped;
            }
            return images;
        };
    }

    Run slice(CrossSectionRenderer &renderer, const std::vector<SliceObject> &objects, int workers, bool onDisk,
              bool split, const std::function<void(Slicer &, int)> &betweenLayers = {})
    {
        Run run;
        QTemporaryDir out;
        SliceRunOptions o;
        o.outputFolder = out.path();
        o.sliceThicknessUm = 250;
        o.maxZ = 6;
        o.sliceOnDisk = onDisk;
        o.splitSupportExposure = split;
        o.workerThreads = workers;
        std::atomic<int> outlines{0};
        o.postProcess = postProcess(&outlines);
        QThread *caller = QThread::currentThread();
        o.layerRendered = [&](const std::vector<cv::Mat> &images, const LayerContext &ctx) {
            run.renderedOrder << ctx.layerIndex;
            run.renderedOnCaller = run.renderedOnCaller && QThread::currentThread() == caller && !images.empty();
        };
        Slicer s(&renderer);
        if (!s.start(objects, smallProjector(), o, &run.error))
            return run;
        int layer = 0;
        while ((run.step = s.processLayer()) == Slicer::Continue) {
            if (betweenLayers)
                betweenLayers(s, ++layer);
        }
        run.error = s.errorString();
        run.files = s.sliceFileNames();
        for (QString &f : run.files) {
            run.images.push_back(cv::imread(f.toStdString(), cv::IMREAD_UNCHANGED));
            f = QFileInfo(f).fileName();
        }
        if (!onDisk)
            run.images = s.sliceImages();
        run.heights = s.sliceHeights();
        run.codes = s.layerCodes();
        run.outlinesAsked = outlines;
        return run;
    }

    static void compareRuns(const Run &a, const Run &b)
    {
        QCOMPARE(b.step, a.step);
        QCOMPARE(b.files, a.files);
        QCOMPARE(b.heights, a.heights);
        QCOMPARE(b.codes, a.codes);
        QCOMPARE(b.renderedOrder, a.renderedOrder);
        QCOMPARE(b.outlinesAsked, a.outlinesAsked);
        QCOMPARE(b.images.size(), a.images.size());
        for (std::size_t k = 0; k < a.images.size(); ++k) {
            QCOMPARE(b.images[k].type(), a.images[k].type());
            QCOMPARE(b.images[k].size(), a.images[k].size());
            // Only outline pixels may differ between the renderers.
            const cv::Mat differ = a.images[k].reshape(1) != b.images[k].reshape(1);
            QVERIFY2(cv::countNonZero(differ) <= int(differ.total() / 1000), qPrintable(QString("image %1").arg(k)));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit());
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
    }

    void workersGiveTheRunOfOneThread()
    {
        GlCrossSectionRenderer reference;
        CpuFillRenderer cpu;
        GpuFillRenderer gpu;
        for (bool second : {false, true}) {
            for (bool split : {false, true}) {
                // The stencil pass cannot take outlines off its thread: asked for workers, it
                // runs on one thread.
                const Run one = slice(reference, scene(second), -1, true, split);
                QCOMPARE(one.step, Slicer::Finished);
                QCOMPARE(one.renderedOrder.size(), 24);
                QVERIFY(one.renderedOnCaller);
                QVERIFY(one.outlinesAsked >= 12);
                if (split)
                    QVERIFY(one.codes.contains(LayerNoModel) && one.codes.contains(LayerSplitFirst));
                compareRuns(one, slice(cpu, scene(second), 3, true, split));
                compareRuns(one, slice(gpu, scene(second), 2, true, split));
                const Run later = slice(cpu, scene(second), 3, true, split);
                QVERIFY(later.renderedOnCaller);
            }
        }
        // Kept in memory instead of written.
        compareRuns(slice(reference, scene(true), 0, false, true), slice(cpu, scene(true), 2, false, true));
    }

    void cancellingAndFailingWithWorkers()
    {
        CpuFillRenderer cpu;
        // Cancelled after the third call: the layers already under way are finished and
        // stored, numbered without gaps.
        const Run cancelled = slice(cpu, scene(false), 2, true, false, [](Slicer &s, int layer) {
            if (layer == 3)
                s.cancel();
        });
        QCOMPARE(cancelled.step, Slicer::Cancelled);
        QVERIFY(cancelled.files.size() >= 3 && cancelled.files.size() < 24);
        for (int k = 0; k < cancelled.files.size(); ++k)
            QCOMPARE(cancelled.files[k], layerFileName(k + 1));
        QCOMPARE(int(cancelled.heights.size()), cancelled.files.size());

        // A layer file the next step refuses ends the run with its reason; later layers, done
        // by the workers meanwhile, are not stored.
        QTemporaryDir out;
        SliceRunOptions o;
        o.outputFolder = out.path();
        o.sliceThicknessUm = 100;
        o.maxZ = 5;
        o.workerThreads = 2;
        o.fileWritten = [](const QString &path, QString *error) {
            if (path.endsWith(layerFileName(4)))
                *error = "The archive is full.";
            return error->isEmpty();
        };
        {
            Slicer s(&cpu);
            QString error;
            QVERIFY(s.start(scene(false), smallProjector(), o, &error));
            QCOMPARE(runToEnd(s), Slicer::Failed);
            QCOMPARE(s.errorString(), QString("The archive is full."));
            QCOMPARE(s.sliceFileNames().size(), 4);
            QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 4);
        }

        // An image that cannot be encoded names its file.
        o.fileWritten = nullptr;
        std::atomic<int> encoded{0};
        o.encode = [&encoded](const cv::Mat &image) {
            return ++encoded == 6 ? std::vector<unsigned char>() : encodeLayerImage(image);
        };
        QTemporaryDir out2;
        o.outputFolder = out2.path();
        Slicer s(&cpu);
        QString error;
        QVERIFY(s.start(scene(false), smallProjector(), o, &error));
        QCOMPARE(runToEnd(s), Slicer::Failed);
        QVERIFY2(s.errorString().contains(layerFileName(s.sliceFileNames().size() + 1) + " cannot be encoded"),
                 qPrintable(s.errorString()));
        // Workers may encode a later layer sixth (slow machines, sanitizers): the layers before
        // the failed one are kept, and no more than were encoded before it.
        QVERIFY(s.sliceFileNames().size() < encoded.load());
        QCOMPARE(int(s.sliceHeights().size()), s.sliceFileNames().size());

        // A run dropped half-way waits for its workers.
        QTemporaryDir out3;
        o.outputFolder = out3.path();
        o.encode = nullptr;
        auto dropped = std::make_unique<Slicer>(&cpu);
        QVERIFY(dropped->start(scene(false), smallProjector(), o, &error));
        QCOMPARE(dropped->processLayer(), Slicer::Continue);
        QCOMPARE(dropped->processLayer(), Slicer::Continue);
        dropped.reset();
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"

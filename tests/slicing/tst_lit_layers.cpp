#include <QDir>
#include <QtTest>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/LayerChain.h"
#include "imaging/LayerPng.h"
#include "imaging/LitLayerChain.h"
#include "scene/Object.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Layers that travel as their lit box against whole images all the way: a large panel with
// small parts on it, every post-processing step on, the same files pixel for pixel.
class TestLitLayers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;

    struct Case
    {
        std::vector<SliceObject> objects;
        PostProcessSettings post;
        bool splitSupports = false;
        int widthPx = 11520;
    };

    struct Run
    {
        QStringList files;
        QList<int> codes;
        std::vector<cv::Mat> images;   // decoded by OpenCV's PNG reader
    };

    static Run slice(const Case &c, bool lit, int workers, const QString &folder)
    {
        SliceParameters p;
        p.projectorWidthPx = c.widthPx;
        p.projectorHeightPx = 5120;
        p.pixelSizeXUm = p.pixelSizeYUm = 19;
        SliceRunOptions o;
        o.sliceThicknessUm = 1500;   // four layers of a 5 mm part
        o.maxZ = 5.0f;
        o.outputFolder = folder;
        o.splitSupportExposure = c.splitSupports;
        o.workerThreads = workers;
        if (lit) {
            o.litPostProcess = makeLitLayerPostProcess(c.post, p);
            o.litEncode = [](const LitImage &image) { return encodeLitLayerPng(image); };
        } else {
            o.postProcess = makeLayerPostProcess(c.post, p);
            o.encode = [](const cv::Mat &image) { return encodeLayerPng(image); };
        }
        CpuFillRenderer renderer;
        Slicer slicer(&renderer);
        Run run;
        QString error;
        if (!slicer.start(c.objects, p, o, &error) || runToEnd(slicer) != Slicer::Finished) {
            qWarning("%s", qPrintable(error.isEmpty() ? slicer.errorString() : error));
            return run;
        }
        for (const QString &f : slicer.sliceFileNames()) {
            run.files << QFileInfo(f).fileName();
            run.images.push_back(cv::imread(f.toStdString(), cv::IMREAD_UNCHANGED));
        }
        run.codes = slicer.layerCodes();
        return run;
    }

    static std::shared_ptr<Mesh> cube() { return boxMesh(5, 5, 5); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("ORVELL3D_DATA_DIR", m_data.path().toUtf8());
    }

    void sameImagesAsWholeLayers_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("outline, dilation, smoothing, both mirrors, a part over the right edge") << 0;
        QTest::newRow("erosion, smoothing, left-right mirror, a part over the bottom edge") << 1;
        QTest::newRow("packed pixels, odd width, top-bottom mirror, outline") << 2;
        QTest::newRow("second exposure group, mirrors, outline") << 3;
        QTest::newRow("support exposure split") << 4;
    }

    void sameImagesAsWholeLayers()
    {
        QFETCH(int, which);
        Case c;
        // The panel is 218.9 × 97.3 mm; the part stands well off its centre.
        c.objects = {placed(cube(), {61.3f, -27.7f, 0})};
        switch (which) {
        case 0:
            c.objects.push_back(placed(cube(), {108.5f, 10, 0}));   // 1.1 mm beyond the right edge
            c.post.contourAntialiasing = true;
            c.post.contrastCurve = true;
            c.post.dilationLevel = 2;
            c.post.smoothingLevel = 1;
            c.post.horizontalMirror = c.post.verticalMirror = true;
            break;
        case 1:
            c.objects.push_back(placed(cube(), {-40, -47.9f, 0}));  // 1.8 mm beyond the bottom edge
            c.post.contourAntialiasing = true;
            c.post.contourPenGray = 128;
            c.post.dilationLevel = -2;
            c.post.smoothingLevel = 2;
            c.post.horizontalMirror = true;
            break;
        case 2:
            c.widthPx = 11519;   // not a multiple of three: the last two columns go
            c.post.contourAntialiasing = true;
            c.post.subpixelPacking = true;
            c.post.dilationLevel = 1;
            c.post.verticalMirror = true;
            break;
        case 3:
            c.objects.push_back(placed(cube(), {-70, 20, 0}, {}, false, TypeModel, 1));
            c.post.contourAntialiasing = true;
            c.post.horizontalMirror = c.post.verticalMirror = true;
            break;
        case 4:
            // A support through the part (split layers) and one beside it.
            c.objects.push_back(placed(boxMesh(1, 1, 4), {61.3f, -27.7f, 0}, {}, false, TypeSupport));
            c.objects.push_back(placed(boxMesh(1, 1, 4), {-20, 0, 0}, {}, false, TypeSupport));
            c.splitSupports = true;
            c.post.contourAntialiasing = true;
            c.post.dilationLevel = 1;
            c.post.verticalMirror = true;
            break;
        }
        const QString wholeFolder = m_data.path() + QString("/whole%1").arg(which);
        const QString litFolder = m_data.path() + QString("/lit%1").arg(which);
        QVERIFY(QDir().mkpath(wholeFolder) && QDir().mkpath(litFolder));
        const Run whole = slice(c, false, 0, wholeFolder);
        const Run lit = slice(c, true, which % 2 ? 2 : 0, litFolder);   // with and without workers
        QVERIFY(!whole.files.isEmpty());
        QCOMPARE(lit.files, whole.files);
        QCOMPARE(lit.codes, whole.codes);
        if (which == 4)
            QVERIFY(whole.codes.contains(LayerSplitSecond));
        int litPixels = 0;
        for (std::size_t k = 0; k < whole.images.size(); ++k) {
            const cv::Mat &a = whole.images[k], &b = lit.images[k];
            QVERIFY(!a.empty() && !b.empty());
            QCOMPARE(b.type(), a.type());
            QCOMPARE(b.cols, a.cols);
            QCOMPARE(b.rows, a.rows);
            const cv::Mat differ = a.reshape(1) != b.reshape(1);
            const cv::Rect r = cv::boundingRect(differ);
            QVERIFY2(r.empty(), qPrintable(QString("%1 differs in %2 × %3 px at %4, %5")
                                               .arg(whole.files[int(k)]).arg(r.width).arg(r.height).arg(r.x).arg(r.y)));
            litPixels += cv::countNonZero(a.reshape(1));
        }
        QVERIFY(litPixels > 0);
        if (which == 2)
            QCOMPARE(whole.images.front().cols, 11519 / 3);
    }
};

QTEST_GUILESS_MAIN(TestLitLayers)
#include "tst_lit_layers.moc"

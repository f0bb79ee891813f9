#include <QtTest>
#include <QImage>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/ImageOps.h"
#include "imaging/LayerChain.h"
#include "imaging/LayerPng.h"
#include "imaging/QtImage.h"

namespace {

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a.reshape(1) != b.reshape(1)) == 0;
}

// flipCode as cv::flip: 1 left-right, 0 top-bottom, -1 both.
cv::Mat flipped(const cv::Mat &m, int flipCode)
{
    cv::Mat out;
    cv::flip(m, out, flipCode);
    return out;
}

// A 20 × 12 layer with a lit block covering columns 5..14 and rows 3..8, and its outline.
cv::Mat block()
{
    cv::Mat m = cv::Mat::zeros(12, 20, CV_8UC1);
    m(cv::Rect(5, 3, 10, 6)).setTo(255);
    return m;
}

std::vector<OutlineSegment> blockOutline()
{
    const cv::Point2f a(5, 3), b(15, 3), c(15, 9), d(5, 9);
    return {{a, b}, {b, c}, {c, d}, {d, a}};
}

// Left half lit, so every mirror is visible.
cv::Mat asymmetric()
{
    cv::Mat m = cv::Mat::zeros(6, 9, CV_8UC1);
    m(cv::Rect(0, 0, 3, 2)).setTo(255);
    return m;
}

} // namespace

// The per-layer chain: outline step, then what is stored for each kind of layer.
class LayerChainTest : public QObject
{
    Q_OBJECT
private slots:
    void outlineAddsGreyOutsideAndKeepsTheMask()
    {
        PostProcessSettings s;
        s.contourAntialiasing = true;
        s.contourPenGray = 128;
        const cv::Mat out = drawContourAntialiasing(block(), blockOutline(), s, false);
        QCOMPARE(out.type(), CV_8UC1);
        QCOMPARE(cv::countNonZero(out(cv::Rect(5, 3, 10, 6)) != 255), 0);   // inside stays white
        const int rim = out.at<uchar>(2, 10);                                // just outside the top edge
        QVERIFY2(rim > 0 && rim < 255, qPrintable(QString::number(rim)));
        QCOMPARE(int(out.at<uchar>(0, 0)), 0);                               // far away stays black
        QCOMPARE(int(out.at<uchar>(6, 1)), 0);

        s.contourPenGray = 0;                                                // black pen: nothing changes
        QVERIFY(same(drawContourAntialiasing(block(), blockOutline(), s, false), block()));
        s.contourPenGray = 999;                                              // clamped, no failure
        QCOMPARE(drawContourAntialiasing(block(), blockOutline(), s, false).size(), block().size());

        s.contourPenGray = 64;
        s.contrastCurve = true;
        const cv::Mat lifted = drawContourAntialiasing(block(), blockOutline(), s, false);
        QVERIFY(lifted.at<uchar>(2, 10) > out.at<uchar>(2, 10) / 2);
        QCOMPARE(int(lifted.at<uchar>(0, 0)), 0);
    }

    void plainLayerIsOnlyMirroredWithoutLevels()
    {
        PostProcessSettings s;
        s.horizontalMirror = true;
        bool asked = false;
        const auto out = postProcessLayer({asymmetric()}, LayerSingle, false,
                                          [&] { asked = true; return std::vector<OutlineSegment>(); }, s);
        QVERIFY(!asked);                                           // no outline work when it is off
        QCOMPARE(out.size(), std::size_t(1));
        QVERIFY(same(out[0], flipped(asymmetric(), 1)));

        s.verticalMirror = true;                                   // both: half a turn
        cv::Mat turned;
        cv::rotate(asymmetric(), turned, cv::ROTATE_180);
        QVERIFY(same(prepareForStorage({asymmetric()}, LayerSingle, false, s)[0], turned));
        s.verticalMirror = false;

        s.dilationLevel = 1;
        const auto grown = prepareForStorage({asymmetric()}, LayerSingle, false, s);
        QVERIFY(cv::countNonZero(grown[0]) > cv::countNonZero(asymmetric()));
        QCOMPARE(int(grown[0].at<uchar>(0, 8)), 255);             // grown, then mirrored
    }

    void supportImageIsMirroredButNeverSmoothedOrPacked()
    {
        PostProcessSettings s;
        s.verticalMirror = true;
        s.smoothingLevel = 2;
        s.subpixelPacking = true;
        const cv::Mat support = asymmetric();
        const auto out = prepareForStorage({block(), support}, LayerSplitFirst, false, s);
        QCOMPARE(out.size(), std::size_t(2));
        QCOMPARE(out[0].type(), CV_8UC3);                          // packed first image
        QCOMPARE(out[0].cols, 20 / 3);
        QVERIFY(same(out[1], flipped(support, 0)));
        // Ordinary layers store one image even if the slicer left a second one in the list.
        QCOMPARE(prepareForStorage({block(), support}, LayerSingle, false, s).size(), std::size_t(1));
    }

    void supportOnlyLayersGetNoOutline()
    {
        PostProcessSettings s;
        s.contourAntialiasing = true;
        std::vector<cv::Mat> images = {block()};
        bool asked = false;
        applyOutlineStep(images, LayerNoModel, false, [&] { asked = true; return blockOutline(); }, s);
        QVERIFY(!asked);
        QVERIFY(same(images[0], block()));
        applyOutlineStep(images, LayerSplitFirst, false, [&] { asked = true; return blockOutline(); }, s);
        QVERIFY(asked);
        QVERIFY(!same(images[0], block()));
    }

    void secondExposureLayersKeepColourAndFollowTheMirror()
    {
        cv::Mat colour = cv::Mat::zeros(6, 9, CV_8UC3);
        colour(cv::Rect(0, 0, 3, 2)).setTo(cv::Scalar(0, 200, 255));
        PostProcessSettings s;
        s.horizontalMirror = true;
        s.dilationLevel = 3;
        s.subpixelPacking = true;
        s.contourAntialiasing = true;
        s.contourPenGray = 100;
        const auto out = postProcessLayer({colour}, LayerSingle, true, [] { return std::vector<OutlineSegment>(); }, s);
        QCOMPARE(out.size(), std::size_t(1));
        QVERIFY(same(out[0], flipped(colour, 1)));   // no morphology, no packing
    }

    void slicerHookDrawsTheOutlineAndStoresOnlyOnDisk()
    {
        SliceParameters geometry;
        geometry.projectorWidthPx = 20;
        geometry.projectorHeightPx = 12;
        geometry.pixelSizeXUm = 1000;     // one pixel per millimetre
        geometry.pixelSizeYUm = 1000;
        PostProcessSettings s;
        s.contourAntialiasing = true;
        s.contourPenGray = 128;
        s.horizontalMirror = true;
        const LayerPostProcess hook = makeLayerPostProcess(s, geometry);

        // The block's outline in millimetres around the plate centre (10, 6).
        int asked = 0;
        LayerContext context;
        context.outlineMm = [&asked]() {
            ++asked;
            const float x0 = -5, x1 = 5, y0 = -3, y1 = 3;
            return std::vector<float>{x0, y0, 0, x1, y0, 0, x1, y0, 0, x1, y1, 0,
                                      x1, y1, 0, x0, y1, 0, x0, y1, 0, x0, y0, 0};
        };
        context.forStorage = false;                     // kept in memory: outline only
        const auto kept = hook({block()}, context);
        QCOMPARE(asked, 1);
        QCOMPARE(kept.size(), std::size_t(1));
        const int rim = kept[0].at<uchar>(2, 10);
        QVERIFY(rim > 0 && rim < 255);
        QCOMPARE(int(kept[0].at<uchar>(6, 3)), 0);      // not mirrored: the left side stays dark

        context.forStorage = true;
        const auto stored = hook({block()}, context);
        QVERIFY(same(stored[0], flipped(kept[0], 1)));

        context.layerCode = LayerSplitFirst;             // two images in, two out
        QCOMPARE(hook({block(), block()}, context).size(), std::size_t(2));
    }

    void pngFilesDecodeToTheSamePixels()
    {
        cv::Mat grey(37, 53, CV_8UC1);
        cv::randu(grey, 0, 256);
        std::vector<uchar> png = encodeLayerPng(grey);
        QVERIFY(same(cv::imdecode(png, cv::IMREAD_UNCHANGED), grey));

        cv::Mat rgb(5, 4, CV_8UC3, cv::Scalar(10, 20, 30));       // red 10, green 20, blue 30
        png = encodeLayerPng(rgb);
        const QImage q = QImage::fromData(png.data(), int(png.size()), "PNG");
        QCOMPARE(q.pixel(2, 3), qRgb(10, 20, 30));

        const cv::Mat view = grey(cv::Rect(3, 4, 17, 9));          // rows not contiguous
        QVERIFY(same(cv::imdecode(encodeLayerPng(view), cv::IMREAD_UNCHANGED), view));
        QVERIFY(same(greyMatFromImage(imageFromMat(view)), view));

        QVERIFY(encodeLayerPng(cv::Mat()).empty());
        QVERIFY(encodeLayerPng(cv::Mat(2, 2, CV_16UC1)).empty());

        QTemporaryDir dir;
        QString error;
        QVERIFY(writeLayerPng(grey, dir.path() + "/S000001_P1.png", &error));
        QVERIFY(!writeLayerPng(grey, dir.path() + "/missing/S000001_P1.png", &error));
        QVERIFY(error.contains("missing/S000001_P1.png"));
    }
};

QTEST_GUILESS_MAIN(LayerChainTest)
#include "tst_layerchain.moc"

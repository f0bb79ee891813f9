#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "imaging/ImageOps.h"
#include "imaging/LayerChain.h"
#include "imaging/LitLayerChain.h"
#include "slicing/LitLayerSteps.h"

namespace {

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a.reshape(1) != b.reshape(1)) == 0;
}

// A 61-row, 97-column layer: a lit blob at (x, y) with grey edges, and the outline of its box.
cv::Mat blob(int x, int y)
{
    cv::Mat m = cv::Mat::zeros(61, 97, CV_8UC1);
    cv::ellipse(m, cv::Point(x, y), cv::Size(9, 6), 20, 0, 360, cv::Scalar(255), cv::FILLED, cv::LINE_AA);
    m(cv::Rect(std::max(0, x - 3), std::max(0, y - 12), 4, 5)).setTo(180);
    return m;
}

std::vector<OutlineSegment> outlineAround(int x, int y)
{
    const cv::Point2f a(x - 10.3f, y - 7.6f), b(x + 10.8f, y - 7.1f), c(x + 10.2f, y + 7.4f), d(x - 9.7f, y + 6.9f);
    return {{a, b}, {b, c}, {c, d}, {d, a}};
}

} // namespace

// Each step on an image kept as its lit box gives the pixels of the same step on the whole
// image: away from the border, and where the lit part touches the image's edges.
class TestLitChain : public QObject
{
    Q_OBJECT

private slots:
    void stepsGiveTheWholeImagesPixels_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("inside") << 48 << 30;
        QTest::newRow("on the left and top edges") << 2 << 1;
        QTest::newRow("on the right and bottom edges") << 95 << 59;
    }

    void stepsGiveTheWholeImagesPixels()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        const cv::Mat whole = blob(x, y);
        const LitImage lit = LitImage::fromFull(whole);
        QVERIFY(lit.box.area() < whole.rows * whole.cols / 2);
        for (int d = -4; d <= 4; ++d) {
            for (int s = 0; s <= 3; ++s) {
                QVERIFY2(same(dilateAndSmooth(lit, d, s).full(), dilateAndSmooth(whole, d, s)),
                         qPrintable(QString("dilation %1, smoothing %2").arg(d).arg(s)));
            }
        }
        for (int code : {-1, 0, 1})
            QVERIFY(same(mirrorLayer(lit, code != 0, code != 1).full(), mirrorLayer(whole, code != 0, code != 1)));
        QVERIFY(same(packSubpixelRgb(lit).full(), packSubpixelRgb(whole)));
        const LitImage shifted = LitImage::fromFull(blob(std::min(x + 1, 96), y));   // another phase of three
        QVERIFY(same(packSubpixelRgb(shifted).full(), packSubpixelRgb(shifted.full())));

        PostProcessSettings pen;
        pen.contourAntialiasing = true;
        for (int grey : {0, 90, 255}) {
            pen.contourPenGray = grey;
            for (bool curve : {false, true}) {
                pen.contrastCurve = curve;
                const std::vector<OutlineSegment> outline = outlineAround(x, y);
                QVERIFY2(same(drawContourAntialiasing(lit, outline, pen, false).full(),
                              drawContourAntialiasing(whole, outline, pen, false)),
                         qPrintable(QString("pen %1, curve %2").arg(grey).arg(curve)));
            }
        }
        // An outline of a part beside the lit one widens the box.
        const std::vector<OutlineSegment> apart = outlineAround(96 - x, 60 - y);
        QVERIFY(same(drawContourAntialiasing(lit, apart, pen, false).full(),
                     drawContourAntialiasing(whole, apart, pen, false)));
    }

    void combinedLayersGiveTheWholeImagesPixels()
    {
        const cv::Mat a = blob(20, 15), b = blob(70, 40), overlapping = blob(24, 18);
        const LitImage la = LitImage::fromFull(a), lb = LitImage::fromFull(b), lo = LitImage::fromFull(overlapping);
        QVERIFY(same(mergeSecondExposure(la, lb).full(), mergeSecondExposure(a, b)));
        QVERIFY(same(mergeSecondExposure(la, LitImage::fromFull(cv::Mat::zeros(a.size(), CV_8UC1))).full(),
                     mergeSecondExposure(a, cv::Mat::zeros(a.size(), CV_8UC1))));
        const cv::Mat black = cv::Mat::zeros(a.size(), CV_8UC1);
        const struct
        {
            cv::Mat models, supports;
        } layers[] = {{a, b}, {a, overlapping}, {a, black}, {black, b}};
        for (const auto &l : layers) {
            const SupportSplit wholeSplit = splitSupportExposure(l.models, l.supports);
            const LitSupportSplit litSplit =
                splitSupportExposure(LitImage::fromFull(l.models), LitImage::fromFull(l.supports));
            QCOMPARE(litSplit.code, wholeSplit.code);
            QCOMPARE(litSplit.images.size(), wholeSplit.images.size());
            for (std::size_t k = 0; k < wholeSplit.images.size(); ++k)
                QVERIFY(same(litSplit.images[k].full(), wholeSplit.images[k]));
        }
        QCOMPARE(splitSupportExposure(la, lo).code, int(LayerSplitFirst));
    }
};

QTEST_GUILESS_MAIN(TestLitChain)
#include "tst_lit_chain.moc"

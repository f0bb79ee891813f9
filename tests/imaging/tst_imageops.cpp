#include <QtTest>
#include <opencv2/imgproc.hpp>

#include <climits>

#include "imaging/ImageOps.h"

namespace {

cv::Mat square(int size, int from, int to)
{
    cv::Mat m = cv::Mat::zeros(size, size, CV_8UC1);
    m(cv::Range(from, to), cv::Range(from, to)).setTo(255);
    return m;
}

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a.reshape(1) != b.reshape(1)) == 0;
}

} // namespace

// The single-layer operations on small synthetic masks, where every pixel can be predicted.
class ImageOpsTest : public QObject
{
    Q_OBJECT
private slots:
    void dilationGrowsByAnEllipseAndErosionShrinks()
    {
        cv::Mat dot = cv::Mat::zeros(15, 15, CV_8UC1);
        dot.at<uchar>(7, 7) = 255;
        const cv::Mat grown = dilateAndSmooth(dot, 2, 0);
        QCOMPARE(grown.type(), CV_8UC1);
        // The 5×5 ellipse: full cross, empty corners.
        QCOMPARE(int(grown.at<uchar>(7, 5)), 255);
        QCOMPARE(int(grown.at<uchar>(5, 7)), 255);
        QCOMPARE(int(grown.at<uchar>(9, 9)), 0);
        QCOMPARE(int(grown.at<uchar>(7, 4)), 0);

        const cv::Mat shrunk = dilateAndSmooth(square(21, 5, 16), -2, 0);   // 11×11 → 7×7
        QVERIFY(same(shrunk, square(21, 7, 14)));

        // Outside the image counts as neither lit nor dark: an edge-touching mask keeps its edge.
        const cv::Mat edge = dilateAndSmooth(square(10, 0, 10), -2, 0);
        QCOMPARE(cv::countNonZero(edge), 100);

        const cv::Mat untouched = square(12, 3, 9);
        QVERIFY(same(dilateAndSmooth(untouched, 0, 0), untouched));
    }

    void smoothingUsesTheLevelsKernelAndNothingBelowOne()
    {
        cv::Mat dot = cv::Mat::zeros(11, 11, CV_8UC1);
        dot.at<uchar>(5, 5) = 255;
        const cv::Mat s1 = dilateAndSmooth(dot, 0, 1);       // 3×3 kernel
        QVERIFY(s1.at<uchar>(4, 4) > 0);
        QCOMPARE(int(s1.at<uchar>(5, 3)), 0);
        const cv::Mat s2 = dilateAndSmooth(dot, 0, 2);       // 5×5 kernel reaches two pixels
        QVERIFY(s2.at<uchar>(5, 3) > 0);
        QVERIFY(same(dilateAndSmooth(dot, 0, -3), dot));
        QVERIFY(same(gaussianSmooth(dot, 0), dot));
        QVERIFY(same(gaussianSmooth(dot, -1), dot));
        QVERIFY(same(gaussianSmooth(dot, 1), s1));
    }

    void absurdLevelsFromDamagedProfilesStayBounded()
    {
        const cv::Mat m = square(8, 2, 6);
        QCOMPARE(dilateAndSmooth(m, INT_MAX, INT_MAX).size(), m.size());
        QCOMPARE(cv::countNonZero(dilateAndSmooth(m, INT_MIN, 0)), 0);
        QCOMPARE(gaussianSmooth(m, INT_MAX).size(), m.size());
        QCOMPARE(dimInterior(m, INT_MAX, INT_MAX).size(), m.size());
        QVERIFY(dilateAndSmooth(cv::Mat(), 2, 2).empty());
    }

    void contrastCurveLiftsGreysPerChannel()
    {
        const auto &t = contrastCurveTable();
        QCOMPARE(int(t[0]), 0);      // black and white stay put
        QCOMPARE(int(t[255]), 255);
        cv::Mat grey = (cv::Mat_<uchar>(1, 3) << 1, 64, 128);
        const cv::Mat g = applyContrastCurve(grey);
        QCOMPARE(g.channels(), 1);
        QCOMPARE(int(g.at<uchar>(0, 1)), 127);
        const cv::Mat rgb = applyContrastCurve(cv::Mat(1, 1, CV_8UC3, cv::Scalar(1, 64, 128)));
        QCOMPARE(rgb.at<cv::Vec3b>(0, 0), cv::Vec3b(15, 127, 180));
    }

    void packingPutsThreePixelsIntoRedGreenBlue()
    {
        cv::Mat row = (cv::Mat_<uchar>(2, 7) << 1, 2, 3, 4, 5, 6, 7,
                                                 10, 20, 30, 40, 50, 60, 70);
        const cv::Mat packed = packSubpixelRgb(row);
        QCOMPARE(packed.type(), CV_8UC3);
        QCOMPARE(packed.cols, 2);                    // the seventh column is dropped
        QCOMPARE(packed.rows, 2);
        QCOMPARE(packed.at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
        QCOMPARE(packed.at<cv::Vec3b>(1, 1), cv::Vec3b(40, 50, 60));

        QCOMPARE(packSubpixelRgb(cv::Mat::zeros(4, 3840, CV_8UC1)).cols, 1280);
        QCOMPARE(packSubpixelRgb(cv::Mat::zeros(4, 3842, CV_8UC1)).cols, 1280);
        // A view into a wider image packs its own columns, not its parent's.
        const cv::Mat wide = (cv::Mat_<uchar>(1, 9) << 0, 0, 0, 7, 8, 9, 0, 0, 0);
        QCOMPARE(packSubpixelRgb(wide.colRange(3, 6)).at<cv::Vec3b>(0, 0), cv::Vec3b(7, 8, 9));
    }

    void dimmingKeepsTheShellAndScalesTheInterior()
    {
        const cv::Mat m = square(31, 5, 26);                     // 21×21
        QVERIFY(same(dimInterior(m, 3, 0), m));
        const cv::Mat full = dimInterior(m, 3, 100);
        QCOMPARE(int(full.at<uchar>(15, 15)), 0);                 // interior gone
        QCOMPARE(int(full.at<uchar>(15, 5)), 255);                // shell kept
        QCOMPARE(int(full.at<uchar>(15, 7)), 255);
        QCOMPARE(int(full.at<uchar>(15, 8)), 0);                  // first pixel farther than 3 from the edge
        QCOMPARE(int(full.at<uchar>(0, 0)), 0);
        const cv::Mat half = dimInterior(m, 3, 50);
        QCOMPARE(int(half.at<uchar>(15, 15)), 255 - 128);         // 127.5 rounds to 128
    }

    void barrelCorrectionWithoutDistortionIsIdentity()
    {
        cv::Mat m = square(40, 10, 25);
        m.at<uchar>(3, 30) = 77;
        QVERIFY(same(undistortBarrel(m, {0.5, 0.5, 0, 0, 0, 0}), m));
        QVERIFY(same(undistortBarrel(m, {0.5, 0.5, qQNaN(), 0, 0, 0}), m));
        const cv::Mat bent = undistortBarrel(m, {0.5, 0.5, 5000, 0, 0, 0});
        QCOMPARE(bent.size(), m.size());
        QVERIFY(!same(bent, m));
    }

};

QTEST_GUILESS_MAIN(ImageOpsTest)
#include "tst_imageops.moc"

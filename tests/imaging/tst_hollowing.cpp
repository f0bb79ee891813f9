#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "imaging/Hollowing.h"

namespace {

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a.reshape(1) != b.reshape(1)) == 0;
}

// A 60 × 60 layer with the square of rows and columns 10 … 49 lit.
cv::Mat square40()
{
    cv::Mat m = cv::Mat::zeros(60, 60, CV_8UC1);
    m(cv::Rect(10, 10, 40, 40)).setTo(255);
    return m;
}

// The same square with the hand-computed cavity of a 3-pixel wall: rows and columns 13 … 46 dark.
cv::Mat ring40wall3()
{
    cv::Mat m = square40();
    m(cv::Rect(13, 13, 34, 34)).setTo(0);
    return m;
}

std::vector<cv::Mat> stackOf(int count, const cv::Mat &layer)
{
    std::vector<cv::Mat> layers;
    for (int i = 0; i < count; ++i)
        layers.push_back(layer.clone());
    return layers;
}

HollowingSettings walls(int px, int layers, bool cap = true)
{
    HollowingSettings s;
    s.wallPx = px;
    s.wallLayers = layers;
    s.capBottom = cap;
    return s;
}

} // namespace

class TestHollowing : public QObject
{
    Q_OBJECT

private slots:
    // The distance-based erosion is the erosion by the disk element, as OpenCV's own
    // erode computes it, on irregular shapes.
    void erosionEqualsKernelErosion()
    {
        cv::RNG rng(7);
        for (int round = 0; round < 6; ++round) {
            cv::Mat image = cv::Mat::zeros(120, 150, CV_8UC1);
            for (int i = 0; i < 8; ++i)
                cv::ellipse(image, cv::Point(rng.uniform(20, 130), rng.uniform(20, 100)),
                            cv::Size(rng.uniform(4, 40), rng.uniform(4, 30)), rng.uniform(0, 180), 0, 360,
                            cv::Scalar(255), cv::FILLED);
            cv::circle(image, cv::Point(75, 60), 9, cv::Scalar(0), cv::FILLED);   // a hole
            for (int wall : {0, 1, 3, 7, 12}) {
                cv::Mat expected;
                cv::erode(image, expected, hollowKernel(wall), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                          cv::Scalar(0));
                const ErodedMask eroded = erodeLayer(image, wall);
                cv::Mat got = cv::Mat::zeros(image.size(), CV_8UC1);
                if (!eroded.box.empty())
                    eroded.mask.copyTo(got(eroded.box));
                QVERIFY2(same(got, expected), qPrintable(QString("round %1, wall %2").arg(round).arg(wall)));
            }
        }
    }

    void erosionByHand()
    {
        // A 40-pixel square loses 3 pixels on each side; the kernel is a single pixel at 0.
        const ErodedMask eroded = erodeLayer(square40(), 3);
        QCOMPARE(eroded.box, cv::Rect(13, 13, 34, 34));
        QCOMPARE(cv::countNonZero(eroded.mask), 34 * 34);
        QCOMPARE(cv::countNonZero(hollowKernel(0)), 1);
        QCOMPARE(erodeLayer(square40(), 0).box, cv::Rect(10, 10, 40, 40));
        // A part cut by the image border gets a wall there as well.
        cv::Mat edge = cv::Mat::zeros(30, 30, CV_8UC1);
        edge(cv::Rect(0, 0, 20, 20)).setTo(255);
        QCOMPARE(erodeLayer(edge, 2).box, cv::Rect(2, 2, 16, 16));
        // A colour layer is lit where any channel is.
        cv::Mat colour = cv::Mat::zeros(60, 60, CV_8UC3);
        colour(cv::Rect(10, 10, 40, 40)).setTo(cv::Scalar(0, 255, 0));
        QCOMPARE(erodeLayer(colour, 3).box, cv::Rect(13, 13, 34, 34));
        // The wall from millimetres: 2 mm at 50 µm pixels and 50 µm layers is 40 of each.
        const HollowingSettings s = hollowingFromMm(2.0, 50.0, 50.0);
        QCOMPARE(s.wallPx, 40);
        QCOMPARE(s.wallLayers, 40);
        QCOMPARE(hollowingFromMm(1.0, 47.25, 100.0).wallPx, 21);
        QCOMPARE(hollowingFromMm(1.0, 47.25, 100.0).wallLayers, 10);
    }

    void onePixelKernelWithoutZWallClearsEveryLayer()
    {
        const std::vector<cv::Mat> out = hollowLayers(stackOf(4, square40()), walls(0, 0, false));
        QCOMPARE(int(out.size()), 4);
        for (const cv::Mat &layer : out)
            QCOMPARE(cv::countNonZero(layer), 0);
    }

    // 30 layers of the square, 3-pixel and 2-layer walls.
    void capsAndTopLayers_data()
    {
        QTest::addColumn<bool>("cap");
        QTest::addColumn<int>("firstHollow");
        QTest::newRow("bottom capped") << true << 3;   // layers 0 … wallLayers stay solid
        QTest::newRow("bottom open") << false << 0;
    }
    void capsAndTopLayers()
    {
        QFETCH(bool, cap);
        QFETCH(int, firstHollow);
        const std::vector<cv::Mat> out = hollowLayers(stackOf(30, square40()), walls(3, 2, cap));
        QCOMPARE(int(out.size()), 30);
        for (int k = 0; k < 30; ++k) {
            const bool hollow = k >= firstHollow && k <= 27;   // the last 2 layers stay solid
            QVERIFY2(same(out[std::size_t(k)], hollow ? ring40wall3() : square40()), qPrintable(QString::number(k)));
        }
    }

    // Windows past 254 layers count in 16 bits: the same rule, 300 layers with a 130-layer wall.
    void longZWall()
    {
        const std::vector<cv::Mat> out = hollowLayers(stackOf(300, square40()), walls(3, 130, true));
        for (int k = 0; k < 300; ++k) {
            const bool hollow = k > 130 && k < 170;
            QVERIFY2(same(out[std::size_t(k)], hollow ? ring40wall3() : square40()), qPrintable(QString::number(k)));
        }
    }

    // A part standing from layer 5 to 24 gets a floor and a ceiling of the Z wall.
    void floorAndCeilingOfAFloatingPart()
    {
        std::vector<cv::Mat> in = stackOf(30, cv::Mat::zeros(60, 60, CV_8UC1));
        for (int k = 5; k <= 24; ++k)
            in[std::size_t(k)] = square40();
        const std::vector<cv::Mat> out = hollowLayers(in, walls(3, 4, false));
        for (int k = 0; k < 30; ++k) {
            const bool hollow = k >= 9 && k <= 20;
            QVERIFY2(same(out[std::size_t(k)], hollow ? ring40wall3() : in[std::size_t(k)]),
                     qPrintable(QString::number(k)));
        }
    }

    // Walls thinner than twice the wall everywhere leave nothing to cut: the layer stays solid.
    void thinWallsStaySolid()
    {
        cv::Mat bar = cv::Mat::zeros(60, 60, CV_8UC1);
        bar(cv::Rect(5, 52, 50, 6)).setTo(255);   // 6 pixels thick: the 3-pixel walls meet
        cv::Mat tube = square40();
        tube(cv::Rect(15, 15, 30, 30)).setTo(0);  // a 5-pixel ring
        cv::Mat both = bar | tube;
        const std::vector<cv::Mat> out = hollowLayers(stackOf(10, both), walls(3, 1, false));
        for (const cv::Mat &layer : out)
            QVERIFY(same(layer, both));
    }

    // A one-layer slot inside a solid block: every layer within the Z wall of the slot keeps
    // its full thickness between the cavity and the slot, not only the layers one wall away.
    void thinSlotBetweenLayersKeepsTheWall()
    {
        cv::Mat slotLayer = square40();
        slotLayer(cv::Rect(15, 15, 30, 30)).setTo(0);
        std::vector<cv::Mat> in = stackOf(30, square40());
        in[15] = slotLayer;
        const std::vector<cv::Mat> out = hollowLayers(in, walls(3, 3, true));
        for (int k = 4; k <= 26; ++k) {
            const bool nearSlot = k >= 12 && k <= 18;
            QVERIFY2(same(out[std::size_t(k)], nearSlot ? in[std::size_t(k)] : ring40wall3()),
                     qPrintable(QString::number(k)));
        }
    }

    void pillarsWhereExpected()
    {
        // 100 × 60 at a pitch of 25: rounded 4 columns and 2 rows of the grid, so pillars at
        // x = 25, 50, 75 on the row y = 25.
        const cv::Mat pillars = pillarMask(cv::Size(100, 60), 2.0f, 25.0f);
        cv::Mat labels;
        QCOMPARE(cv::connectedComponents(pillars, labels, 8) - 1, 3);
        for (int x : {25, 50, 75}) {
            QCOMPARE(int(pillars.at<uchar>(25, x)), 255);
            QCOMPARE(int(pillars.at<uchar>(25, x + 3)), 0);
            QCOMPARE(int(pillars.at<uchar>(25 + 2, x)), 255);
        }
        QCOMPARE(int(pillars.at<uchar>(50, 25)), 0);
        // A pitch beyond the slice draws nothing.
        QCOMPARE(cv::countNonZero(pillarMask(cv::Size(60, 60), 2.0f, 100.0f)), 0);

        // In a hollowed stack the pillars stay lit inside the cavity, and nothing else does.
        cv::Mat wide = cv::Mat::zeros(60, 100, CV_8UC1);
        wide(cv::Rect(5, 5, 90, 50)).setTo(255);
        HollowingSettings s = walls(3, 1, true);
        s.pillars = true;
        s.pillarRadiusPx = 2.0f;
        s.pillarPitchPx = 25.0f;
        const std::vector<cv::Mat> out = hollowLayers(stackOf(6, wide), s);
        cv::Mat expected = wide.clone();
        expected(cv::Rect(8, 8, 84, 44)).setTo(0);
        expected |= pillars;
        QVERIFY(same(out[3], expected));
    }

    void cancelGivesNoPartialResult()
    {
        int asked = 0;
        int progressed = 0;
        const std::vector<cv::Mat> out = hollowLayers(
            stackOf(10, square40()), walls(3, 1), [&]() { return ++asked > 4; }, [&](int) { ++progressed; });
        QVERIFY(out.empty());
        QCOMPARE(progressed, 4);
        QVERIFY(hollowLayers({}, walls(3, 1)).empty());
    }
};

QTEST_APPLESS_MAIN(TestHollowing)
#include "tst_hollowing.moc"

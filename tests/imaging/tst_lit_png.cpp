#include <QtTest>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <zlib.h>

#include "imaging/LayerPng.h"
#include "slicing/LitImage.h"

namespace {

uint32_t bigEndian(const uchar *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The IDAT data of a PNG, all chunks' CRCs checked; empty when a CRC is wrong.
std::vector<uchar> idatOf(const std::vector<uchar> &png)
{
    std::vector<uchar> data;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = bigEndian(&png[at]);
        const uLong crc = crc32(crc32(0, Z_NULL, 0), &png[at + 4], uInt(length + 4));
        if (crc != bigEndian(&png[at + 8 + length]))
            return {};
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0)
            data.insert(data.end(), png.begin() + long(at + 8), png.begin() + long(at + 8 + length));
        at += 12 + length;
    }
    return data;
}

// What the PNG's zlib stream must inflate to: each row with its filter byte "none".
std::vector<uchar> rawRows(const cv::Mat &image)
{
    std::vector<uchar> raw;
    const std::size_t rowBytes = std::size_t(image.cols) * image.elemSize();
    for (int y = 0; y < image.rows; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.ptr(y), image.ptr(y) + rowBytes);
    }
    return raw;
}

cv::Mat decoded(const std::vector<uchar> &png)
{
    cv::Mat m = cv::imdecode(png, cv::IMREAD_UNCHANGED);
    if (m.channels() == 3)
        cv::cvtColor(m, m, cv::COLOR_BGR2RGB);
    return m;
}

bool same(const cv::Mat &a, const cv::Mat &b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a.reshape(1) != b.reshape(1)) == 0;
}

} // namespace

// The layer PNG written from an image's lit box, read back by libpng (OpenCV) and inflated by
// zlib itself, which checks the stream's Adler-32.
class TestLitPng : public QObject
{
    Q_OBJECT

private slots:
    void decodesToTheSameImage_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("black") << 640 << 400 << 1 << "black";
        QTest::newRow("black, one pixel") << 1 << 1 << 1 << "black";
        QTest::newRow("black, RGB") << 333 << 7 << 3 << "black";
        QTest::newRow("first row lit") << 97 << 31 << 1 << "first row";
        QTest::newRow("last row lit") << 97 << 31 << 1 << "last row";
        QTest::newRow("disk with grey edge, odd width") << 1001 << 603 << 1 << "disk";
        QTest::newRow("disk, RGB") << 301 << 200 << 3 << "disk";
        QTest::newRow("runs around 258 bytes") << 2400 << 5 << 1 << "runs";
        QTest::newRow("grey noise in a box") << 513 << 77 << 1 << "noise";
        QTest::newRow("box on the left and right edges") << 250 << 40 << 1 << "edges";
        QTest::newRow("rows over 32 KiB") << 40000 << 6 << 1 << "disk";
        QTest::newRow("rows over 64 KiB") << 70001 << 5 << 1 << "edges";
        QTest::newRow("RGB rows over 64 KiB") << 23000 << 4 << 3 << "noise";
    }

    void decodesToTheSameImage()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, channels);
        QFETCH(QString, pattern);
        cv::Mat image = cv::Mat::zeros(height, width, CV_8UC(channels));
        const cv::Scalar white = cv::Scalar::all(255);
        if (pattern == "first row")
            image.row(0).colRange(3, 40).setTo(white);
        else if (pattern == "last row")
            image.row(height - 1).colRange(width - 20, width).setTo(white);
        else if (pattern == "disk")
            cv::circle(image, cv::Point(width * 2 / 3, height / 2), std::min(width, height) / 3, white, cv::FILLED,
                       cv::LINE_AA);
        else if (pattern == "noise")
            cv::randu(image(cv::Rect(width / 4, 1, width / 2, height - 2)), 0, 256);
        else if (pattern == "edges") {
            image.col(0).setTo(white);
            image.col(width - 1).setTo(cv::Scalar::all(7));
            image(cv::Rect(width / 2, 1, width / 3, 2)).setTo(cv::Scalar::all(200));
        } else if (pattern == "runs") {
            // Runs of 1, 2, 3, 257 … 261, 516, 517 bytes, alternating values, and a zero run that
            // continues the black before it.
            const int lengths[] = {1, 2, 3, 257, 258, 259, 260, 261, 516, 517};
            for (int y = 1; y < height; ++y) {
                int x = 5;
                uchar v = 255;
                for (int l : lengths) {
                    image.row(y).colRange(x, x + l).setTo(cv::Scalar(v));
                    x += l;
                    v = v == 255 ? 9 : 255;
                }
            }
        }

        const LitImage tight = LitImage::fromFull(image);
        LitImage loose = tight;   // a box larger than the lit part, as the layer steps leave it
        loose.box = tight.black() ? cv::Rect(1, 0, std::max(0, width - 2), height) : tight.grownBox(3);
        loose.pixels = tight.crop(loose.box);
        for (const LitImage &lit : {tight, loose, LitImage::whole(image)}) {
            const std::vector<uchar> png = encodeLitLayerPng(lit);
            QVERIFY(!png.empty());
            QVERIFY(same(decoded(png), image));
            const std::vector<uchar> idat = idatOf(png);
            QVERIFY(!idat.empty());
            const std::vector<uchar> expected = rawRows(image);
            std::vector<uchar> inflated(expected.size() + 16);
            uLongf size = uLongf(inflated.size());
            QCOMPARE(uncompress(inflated.data(), &size, idat.data(), uLong(idat.size())), Z_OK);
            inflated.resize(size);
            QVERIFY(inflated == expected);
        }
        if (pattern != "noise") {
            // About as small as zlib's run-length strategy makes it.
            const double ours = double(encodeLitLayerPng(tight).size());
            const double zlibs = double(encodeLayerPng(image).size());
            QVERIFY2(ours <= zlibs * 1.1 + 64, qPrintable(QString("%1 against %2 bytes").arg(ours).arg(zlibs)));
        }
    }

    void refusesWhatItCannotWrite()
    {
        QVERIFY(encodeLitLayerPng(LitImage()).empty());
        QVERIFY(encodeLitLayerPng(LitImage::blackImage(cv::Size(4, 4), CV_16UC1)).empty());
        LitImage wrong = LitImage::blackImage(cv::Size(8, 8));
        wrong.box = cv::Rect(1, 1, 4, 4);
        wrong.pixels = cv::Mat::zeros(2, 2, CV_8UC1);   // not the box's size
        QVERIFY(encodeLitLayerPng(wrong).empty());
    }
};

QTEST_GUILESS_MAIN(TestLitPng)
#include "tst_lit_png.moc"

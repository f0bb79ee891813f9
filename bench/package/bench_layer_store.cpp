// Cost of storing one 1920 × 1080 layer: PNG encoding (several encoders and settings) and
// adding the files to an encrypted package (stored vs. deflated entries).
// Prints one line per variant: milliseconds per layer and bytes per layer.
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <vector>

#include "imaging/ImageOps.h"
#include "imaging/LayerChain.h"
#include "imaging/LayerPng.h"
#include "imaging/QtImage.h"
#include "package/Archiver.h"

namespace {

// A plausible layer: a few parts with holes, supports as dots, antialiased outlines.
cv::Mat syntheticLayer(int seed)
{
    cv::Mat m = cv::Mat::zeros(1080, 1920, CV_8UC1);
    cv::RNG rng(seed);
    for (int i = 0; i < 6; ++i) {
        const cv::Point c(rng.uniform(200, 1720), rng.uniform(150, 930));
        cv::ellipse(m, c, cv::Size(rng.uniform(60, 220), rng.uniform(60, 180)), rng.uniform(0, 180), 0, 360,
                    cv::Scalar(255), cv::FILLED, cv::LINE_8);
        cv::circle(m, c, rng.uniform(10, 50), cv::Scalar(0), cv::FILLED);
    }
    for (int i = 0; i < 300; ++i)
        cv::circle(m, cv::Point(rng.uniform(0, 1920), rng.uniform(0, 1080)), 4, cv::Scalar(255), cv::FILLED);
    PostProcessSettings s;
    s.contourAntialiasing = true;
    s.contourPenGray = 128;
    std::vector<OutlineSegment> outline;
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(m.clone(), contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    for (const auto &c : contours)
        for (size_t i = 0; i < c.size(); ++i)
            outline.push_back({cv::Point2f(c[i]) + cv::Point2f(0.5f, 0.5f),
                               cv::Point2f(c[(i + 1) % c.size()]) + cv::Point2f(0.5f, 0.5f)});
    return drawContourAntialiasing(m, outline, s, false);
}

template <typename F>
double msPerLayer(int rounds, F &&f)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        f(i);
    return t.nsecsElapsed() / 1e6 / rounds;
}

void report(const char *what, double ms, double bytes)
{
    std::printf("%-44s %8.2f ms/layer %10.0f bytes/layer\n", what, ms, bytes);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int layers = 40;
    std::vector<cv::Mat> masks;
    for (int i = 0; i < 8; ++i)
        masks.push_back(syntheticLayer(i));

    struct Variant { const char *name; std::vector<int> params; };
    const std::vector<Variant> variants = {
        {"cv::imencode level 1, run-length", {cv::IMWRITE_PNG_COMPRESSION, 1, cv::IMWRITE_PNG_STRATEGY, cv::IMWRITE_PNG_STRATEGY_RLE}},
        {"cv::imencode level 1, default strategy", {cv::IMWRITE_PNG_COMPRESSION, 1}},
        {"cv::imencode level 1, Huffman only", {cv::IMWRITE_PNG_COMPRESSION, 1, cv::IMWRITE_PNG_STRATEGY, cv::IMWRITE_PNG_STRATEGY_HUFFMAN_ONLY}},
        {"cv::imencode level 0 (no compression)", {cv::IMWRITE_PNG_COMPRESSION, 0}},
        {"cv::imencode level 3, default strategy", {cv::IMWRITE_PNG_COMPRESSION, 3}},
        {"cv::imencode level 6, default strategy", {cv::IMWRITE_PNG_COMPRESSION, 6}},
    };
    {
        double bytes = 0;
        const double ms = msPerLayer(layers, [&](int i) { bytes += encodeLayerPng(masks[i % masks.size()]).size(); });
        report("encodeLayerPng (used)", ms, bytes / layers);
    }
    for (const Variant &v : variants) {
        double bytes = 0;
        const double ms = msPerLayer(layers, [&](int i) {
            std::vector<uchar> buf;
            cv::imencode(".png", masks[i % masks.size()], buf, v.params);
            bytes += buf.size();
        });
        report(v.name, ms, bytes / layers);
    }
    {
        std::vector<QImage> images;
        for (const cv::Mat &m : masks)
            images.push_back(imageFromMat(m));
        double bytes = 0;
        const double ms = msPerLayer(layers / 4, [&](int i) {
            QByteArray data;
            QBuffer b(&data);
            b.open(QIODevice::WriteOnly);
            images[i % images.size()].save(&b, "PNG");
            bytes += data.size();
        });
        report("QImage::save PNG", ms, bytes / (layers / 4));
    }

    // Archive cost per layer: N layer files added in one call.
    QTemporaryDir dir;
    const QString work = dir.path() + "/work";
    QDir().mkpath(work);
    const int fileCount = 200;
    QStringList names;
    for (int i = 0; i < fileCount; ++i) {
        const QString name = QString::asprintf("S%06d_P1.png", i + 1);
        writeLayerPng(masks[i % masks.size()], work + "/" + name);
        names << name;
    }
    for (bool store : {true, false}) {
        Archiver archiver;
        archiver.setStoreOnly(store);
        const QString target = dir.path() + (store ? "/stored.lpk" : "/deflated.lpk");
        QString error;
        QElapsedTimer t;
        t.start();
        const bool ok = archiver.add(target, work, names, packagePassword(), &error);
        const double ms = t.nsecsElapsed() / 1e6 / fileCount;
        if (!ok)
            std::fprintf(stderr, "archive failed: %s\n", qPrintable(error));
        report(store ? "7za add, stored entries (used)" : "7za add, deflated entries", ms,
               double(QFileInfo(target).size()) / fileCount);
    }

    {
        PostProcessSettings s;
        s.horizontalMirror = true;
        report("prepareForStorage (mirror, grey)", msPerLayer(layers, [&](int i) {
            prepareForStorage({masks[i % masks.size()]}, 0, false, s);
        }), 0);
        s.dilationLevel = 2;
        s.smoothingLevel = 1;
        report("prepareForStorage (dilate 2, smooth 1, mirror)", msPerLayer(layers, [&](int i) {
            prepareForStorage({masks[i % masks.size()]}, 0, false, s);
        }), 0);
        QTemporaryDir out;
        report("writeLayerPng", msPerLayer(layers, [&](int i) {
            writeLayerPng(masks[i % masks.size()], out.path() + QString::asprintf("/S%06d_P1.png", i + 1));
        }), 0);
    }

    // The whole store step as the slicer runs it: post-process, encode, write; archive at the end.
    {
        PostProcessSettings s;
        s.horizontalMirror = true;
        QTemporaryDir out;
        QElapsedTimer t;
        t.start();
        QStringList files;
        for (int i = 0; i < fileCount; ++i) {
            const QString name = QString::asprintf("S%06d_P1.png", i + 1);
            const auto images = prepareForStorage({masks[i % masks.size()]}, 0, false, s);
            writeLayerPng(images.front(), out.path() + "/" + name);
            files << name;
        }
        Archiver archiver;
        archiver.add(out.path() + "/p.lpk", out.path(), files, packagePassword());
        report("mirror + encode + write + archive", t.nsecsElapsed() / 1e6 / fileCount, 0);
    }
    return 0;
}

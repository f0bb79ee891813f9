#include "slicing/LayerImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QImage>
#include <opencv2/imgproc.hpp>

#include "config/DataFolder.h"

namespace {

cv::Mat greyOf(const cv::Mat &image)
{
    if (image.channels() == 1)
        return image;
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_RGB2GRAY);
    return grey;
}

// Brings b to a's channel count so the two can be combined bitwise.
cv::Mat sameChannels(const cv::Mat &b, const cv::Mat &a)
{
    if (a.channels() == b.channels())
        return b;
    if (a.channels() == 3) {
        cv::Mat rgb;
        cv::cvtColor(b, rgb, cv::COLOR_GRAY2RGB);
        return rgb;
    }
    return greyOf(b);
}

} // namespace

cv::Mat mergeSecondExposure(const cv::Mat &firstGroup, const cv::Mat &secondGroup)
{
    CV_Assert(firstGroup.type() == CV_8UC1 && secondGroup.type() == CV_8UC1 && firstGroup.size() == secondGroup.size());
    cv::Mat merged;
    const cv::Mat channels[3] = {cv::Mat::zeros(firstGroup.size(), CV_8UC1), secondGroup, firstGroup};
    cv::merge(channels, 3, merged);
    return merged;
}

bool hasLitPixel(const cv::Mat &image)
{
    return !image.empty() && cv::countNonZero(greyOf(image)) > 0;
}

SupportSplit splitSupportExposure(const cv::Mat &models, const cv::Mat &supports)
{
    SupportSplit s;
    if (!hasLitPixel(supports)) {
        s.images = {models};
        return s;
    }
    if (!hasLitPixel(models)) {
        s.code = LayerNoModel;
        s.images = {supports};
        return s;
    }
    const cv::Mat other = sameChannels(supports, models);
    cv::Mat both, overlap;
    cv::bitwise_or(models, other, both);
    cv::bitwise_and(models, other, overlap);
    if (!hasLitPixel(overlap)) {
        s.images = {both};
        return s;
    }
    s.code = LayerSplitFirst;
    s.images = {both, supports};
    return s;
}

cv::Mat mirrorLayer(const cv::Mat &image, bool horizontal, bool vertical)
{
    if (!horizontal && !vertical)
        return image;
    cv::Mat out;
    cv::flip(image, out, horizontal && vertical ? -1 : (horizontal ? 1 : 0));
    return out;
}

QString layerFileName(int number)
{
    return QString("S%1_P1.png").arg(number, 6, 10, QChar('0'));
}

std::vector<unsigned char> encodeLayerImage(const cv::Mat &image)
{
    std::vector<unsigned char> bytes;
    if (image.empty() || image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3))
        return bytes;
    // Qt's PNG writer rather than OpenCV's image codecs: those pull in a hundred libraries
    // (GDAL, DICOM, …) that every start of the program would have to load.
    const QImage view(image.data, image.cols, image.rows, int(image.step),
                      image.channels() == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    QByteArray png;
    QBuffer out(&png);
    if (!out.open(QIODevice::WriteOnly) || !view.save(&out, "PNG"))
        return bytes;
    bytes.assign(png.begin(), png.end());
    return bytes;
}

bool writeLayerImage(const cv::Mat &image, const QString &path, QString *error)
{
    const std::vector<unsigned char> bytes = encodeLayerImage(image);
    if (bytes.empty()) {
        if (error)
            *error = QString("The layer image %1 cannot be encoded.").arg(path);
        return false;
    }
    return writeLayerBytes(bytes, path, error);
}

bool writeLayerBytes(const std::vector<unsigned char> &bytes, const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QString("The layer image %1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    const qint64 written = file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
    const bool flushed = file.flush();
    if (written != qint64(bytes.size()) || !flushed || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        if (error)
            *error = QString("The layer image %1 cannot be written: %2").arg(path, reason);
        return false;
    }
    file.close();
    return true;
}

QString sliceOutputFolder(const QString &packageFileName, bool keepSliceFolder, QString *error)
{
    QString folder;
    if (packageFileName.isEmpty()) {
        folder = tempFolder();
        if (folder.isEmpty()) {
            if (error)
                *error = QString("The working folder %1/temp cannot be created.").arg(dataFolder());
            return QString();
        }
        return folder;
    }
    const QFileInfo info(packageFileName);
    folder = keepSliceFolder ? info.absolutePath() + "/" + info.baseName() : info.absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QString("The slice folder %1 cannot be created.").arg(folder);
        return QString();
    }
    return folder;
}

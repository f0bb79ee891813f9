#include "package/CalibrationPackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <opencv2/core.hpp>

#include "config/CalibrationImages.h"
#include "imaging/LayerPng.h"
#include "package/Archiver.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CalibrationPackage", text);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The layer as stored: 8-bit grey, flipped top-bottom, PNG-encoded.
QByteArray storedLayer(const QImage &image)
{
    const QImage flipped = image.convertToFormat(QImage::Format_Grayscale8).mirrored(false, true);
    const cv::Mat view(flipped.height(), flipped.width(), CV_8UC1, const_cast<uchar *>(flipped.constBits()),
                       std::size_t(flipped.bytesPerLine()));
    const std::vector<uchar> png = encodeLayerPng(view);
    return QByteArray(reinterpret_cast<const char *>(png.data()), int(png.size()));
}

bool saveBytes(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *error = QCoreApplication::translate("PackageFiles", "Unable to write %1: %2")
                     .arg(native(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool writeCalibrationPackage(const CalibrationSettings &s, const PackageDescription &machine, int machineIndex,
                             const QString &packagePath, const Archiver &archiver,
                             const std::function<void(int done, int total)> &progress, QString *error)
{
    QString why;
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QString bad = s.check();
    if (!bad.isEmpty())
        return fail(bad);

    PackageJob job;
    if (!beginPackage(packagePath, &job, &why))
        return fail(why);
    // Until the archive is written the working folder is ours alone to remove.
    auto abandon = [&](const QString &text) {
        abandonPackage(job);
        return fail(text);
    };

    const std::vector<CalibrationImage> schedule = calibrationSchedule(s);
    const int total = int(schedule.size());
    if (progress)
        progress(0, total);

    // Every layer repeats the same K pictures: each is encoded once and written many times.
    QList<QByteArray> patterns;
    QImage firstPattern;
    {
        const QList<QImage> images = calibrationPatternImages(s);
        for (const QImage &image : images)
            patterns << storedLayer(image);
        if (!images.isEmpty())
            firstPattern = images.first();
    }
    const QByteArray base = s.baseLayers > 0 ? storedLayer(calibrationBaseImage(s)) : QByteArray();
    for (const QByteArray &png : patterns) {
        if (png.isEmpty())
            return abandon(tr("The calibration pictures could not be encoded."));
    }

    QStringList files;
    const QDir work(job.workFolder);
    for (int i = 0; i < total; ++i) {
        const QString name = layerFileName(i + 1);
        const int pattern = schedule[std::size_t(i)].pattern;
        if (!saveBytes(work.filePath(name), pattern < 0 ? base : patterns.value(pattern), &why))
            return abandon(why);
        files << name;
        if (progress)
            progress(i + 1, total);
    }

    // The previews are for people: the first pattern the right way up, as it will print
    // (the layer files are stored flipped for the projector).
    const QImage preview = calibrationPreview(firstPattern);
    QList<QImage> previews;
    for (int i = 0; i < 5; ++i)
        previews << preview;
    if (!writePreviews(job.workFolder, previews, &why))
        return abandon(why);
    files += previewFileNames();

    PackageDescription run = machine;
    const QList<double> exposures = calibrationExposures(s);
    run.widthPx = s.widthPx;
    run.heightPx = s.heightPx;
    run.pixelSizeXUm = s.pixelSizeUm;
    run.pixelSizeYUm = s.pixelSizeUm;
    run.sliceThicknessUm = s.thicknessUm;
    run.normalExposureS = exposures.isEmpty() ? 0.0 : exposures.last();
    run.firstLayerCount = s.baseLayers;
    run.firstLayerExposureS = s.baseExposureS;
    if (!saveBytes(work.filePath("parameters.ini"), parametersText(run), &why)
        || !saveBytes(work.filePath("buildscript.ini"), calibrationBuildscriptText(s, machineIndex), &why))
        return abandon(why);
    files << "parameters.ini" << "buildscript.ini";

    return packWorkFolder(job, files, archiver, error);
}

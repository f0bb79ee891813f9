#include "package/PackageFiles.h"

#include "package/Archiver.h"
#include "package/ExportWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QtDebug>


namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackageFiles", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

const char *boolText(bool b)
{
    return b ? "true" : "false";
}

bool saveFile(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        setError(error, tr("Unable to write %1: %2").arg(native(path), file.errorString()));
        return false;
    }
    return true;
}

} // namespace

std::vector<ScheduledImage> exposureSchedule(const PackageDescription &run)
{
    std::vector<ScheduledImage> out;
    out.reserve(run.images.size());
    for (std::size_t i = 0; i < run.images.size(); ++i) {
        const PackageImage &image = run.images[i];
        const bool firstLayer = i < std::size_t(qMax(0, run.firstLayerCount));
        ScheduledImage s;
        s.exposureS = firstLayer ? run.firstLayerExposureS : run.normalExposureS;
        bool flex = false;
        if (!firstLayer && run.flexEnabled) {
            for (const FlexSliceRange &r : run.flexRanges) {
                if (r.from < image.zMm && image.zMm < r.to) {
                    s.exposureS *= r.exposureRatio;
                    flex = true;
                    break;
                }
            }
        }
        if (image.kind == LayerSplitFirst)
            s.lift = 0.0;
        else if (image.kind == LayerSplitSecond)
            s.exposureS = run.supportExposureS;
        s.kindCode = flex ? int(LayerSplitSecond) : image.kind;
        out.push_back(s);
    }
    return out;
}

QString packageNumber(double value)
{
    return QString::number(value, 'g', 6);
}

QStringList previewFileNames()
{
    return {"Preview_Top.png", "Preview_Front.png", "Preview_Left.png", "Preview_Right.png", "Preview_TFR.png"};
}

QByteArray buildscriptText(const PackageDescription &run)
{
    QByteArray out;
    auto line = [&out](const QString &text) { out += text.toUtf8() + "\r\n"; };
    line("Machine = " + run.machineName);
    line("Slice thickness = " + packageNumber(run.sliceThicknessUm));
    line("number of slices = " + QString::number(run.images.size()));
    line("illumination time = " + packageNumber(run.normalExposureS));
    line("number of override slices = " + QString::number(run.firstLayerCount));
    line("override illumination time = " + packageNumber(run.firstLayerExposureS));
    const std::vector<ScheduledImage> schedule = exposureSchedule(run);
    char buffer[128];
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        const int n = std::snprintf(buffer, sizeof buffer, "%.4f, S%06d_P1, %.1f, %.1f, %d\r\n",
                                    run.images[i].zMm, int(i + 1), schedule[i].exposureS, schedule[i].lift,
                                    schedule[i].kindCode);
        out.append(buffer, qBound(0, n, int(sizeof buffer) - 1));
    }
    return out;
}

QByteArray parametersText(const PackageDescription &run)
{
    QByteArray out;
    auto line = [&out](const QString &text) { out += text.toUtf8() + "\r\n"; };
    line("[SELECTED PROFILES]");
    line("Materials = " + run.material);
    line("Build Stategy = " + QString("%1 microns").arg(packageNumber(run.sliceThicknessUm)));
    line("[MACHINE SETTINGS]");
    line("Platform size X = " + packageNumber(run.pixelSizeXUm * run.widthPx / 1000.0));
    line("Platform size Y = " + packageNumber(run.pixelSizeYUm * run.heightPx / 1000.0));
    line("Platform size Z = 130");
    line(run.antiAliasing == 0 ? "Image Format = 1 bit PNG" : "Image Format = 8 bit PNG");
    line("Image size in X = " + QString::number(run.widthPx));
    line("Image size in Y = " + QString::number(run.heightPx));
    line(QString("Mirror X = ") + boolText(run.verticalMirror));
    line(QString("Mirror Y = ") + boolText(run.horizontalMirror));
    line("Export Mode = Encrypted ZIP");
    line("[SLICING]");
    line("Layer Thickness = " + packageNumber(run.sliceThicknessUm / 1000.0));
    line("[CURING]");
    line("Normal curing time = " + packageNumber(run.normalExposureS));
    line("Number of first layers = " + QString::number(run.firstLayerCount));
    line("First layers curing time = " + packageNumber(run.firstLayerExposureS));
    line("[IMAGE POST PROCESSING]");
    line("Method = " + QString::number(run.antiAliasing));
    line("[SCALING]");
    line("Scale in X = " + packageNumber(run.compensationXPercent / 100.0 + 1));
    line("Scale in Y = " + packageNumber(run.compensationYPercent / 100.0 + 1));
    line("Scale in Z = " + packageNumber(run.compensationZPercent / 100.0 + 1));
    line("[BASE PLATE]");
    line("Type = None");
    line("Height = 0.1");
    line("[NON SOLID SUPPORT]");
    line("Line Thickness = 1");
    line("[SCAFFOLDING SUPPORT]");
    line("Enable support generation = false");
    return out;
}

QString packagePathFor(const QString &chosenPath, int thicknessUm)
{
    const QFileInfo chosen(chosenPath);
    QString name = chosen.fileName();
    // Only the package extension goes; a name typed without it stays whole.
    if (name.endsWith(".lpk", Qt::CaseInsensitive))
        name.chop(4);
    name.replace(' ', '_');
    return chosen.absolutePath() + "/" + name + "_z" + QString::number(thicknessUm) + ".lpk";
}

bool beginPackage(const QString &packagePath, PackageJob *job, QString *error)
{
    const QFileInfo package(packagePath);
    const QString folder = package.absolutePath();
    const QFileInfo folderInfo(folder);
    if (!folderInfo.exists()) {
        setError(error, tr("The folder %1 does not exist.").arg(native(folder)));
        return false;
    }
    if (!folderInfo.isDir()) {
        setError(error, tr("%1 is a file, not a folder.").arg(native(folder)));
        return false;
    }
    // The package is written there only at the end; find out now, not after the slicing.
    // (Permissions do not tell: root passes them, and some file systems refuse anyway.)
    QTemporaryFile probe(folder + "/.orvell3d-write-test-XXXXXX");
    if (!folderInfo.isWritable() || !probe.open()) {
        setError(error, tr("Cannot write into the folder %1.").arg(native(folder)));
        return false;
    }
    probe.close();
    if (package.isDir()) {
        setError(error, tr("%1 is a folder, not a package file.").arg(native(package.absoluteFilePath())));
        return false;
    }
    // What killed or crashed exports left behind goes first.
    removeStaleExportFiles(folder);
    const QString work = createExportFolder(error);
    if (work.isEmpty())
        return false;
    job->packagePath = package.absoluteFilePath();
    job->workFolder = work;
    return true;
}

bool writePreviews(const QString &folder, const QList<QImage> &previews, QString *error)
{
    const QStringList names = previewFileNames();
    for (int i = 0; i < previews.size() && i < names.size(); ++i) {
        const QString path = folder + "/" + names[i];
        QSaveFile file(path);
        if (previews[i].isNull()) {
            setError(error, tr("The preview picture %1 is empty.").arg(names[i]));
            return false;
        }
        if (!file.open(QIODevice::WriteOnly) || !previews[i].save(&file, "PNG") || !file.commit()) {
            setError(error, tr("Unable to write %1: %2").arg(native(path), file.errorString()));
            return false;
        }
    }
    return true;
}

bool finishPackage(const PackageJob &job, const PackageDescription &run, const QList<QImage> &previews,
                   const Archiver &archiver, QString *error)
{
    const QDir work(job.workFolder);
    if (job.workFolder.isEmpty() || !work.exists()) {
        setError(error, tr("The working folder %1 is missing.").arg(native(job.workFolder)));
        return false;
    }
    // Whatever goes wrong from here, the working folder goes: a failed export must not leave
    // its layers behind (a full disk is the usual reason), and the older package stays.
    auto fail = [&](const QString &why) {
        abandonPackage(job);
        setError(error, why);
        return false;
    };
    QStringList files;
    for (std::size_t i = 0; i < run.images.size(); ++i) {
        const QString name = layerFileName(int(i + 1));
        if (!QFileInfo(work.filePath(name)).isFile())
            return fail(tr("The layer image %1 is missing.").arg(name));
        files << name;
    }
    QString why;
    if (!writePreviews(job.workFolder, previews, &why))
        return fail(why);
    files += previewFileNames().mid(0, qMin(previews.size(), 5));
    if (!saveFile(work.filePath("parameters.ini"), parametersText(run), &why)
        || !saveFile(work.filePath("buildscript.ini"), buildscriptText(run), &why))
        return fail(why);
    files << "parameters.ini" << "buildscript.ini";
    return packWorkFolder(job, files, archiver, error);
}

bool packWorkFolder(const PackageJob &job, const QStringList &files, const Archiver &archiver, QString *error)
{
    QString why;
    // The archive is built in the working folder under a fresh name (the tool would add to an
    // existing one) and replaces an older package only when it is complete. On failure the
    // working folder goes too: its layers would only fill the disk that may be the reason.
    const QString built = QDir(job.workFolder).filePath(".package.zip");
    if (!archiver.add(built, job.workFolder, files, packagePassword(), &why)
        || !movePackageIntoPlace(built, job.packagePath, &why)) {
        abandonPackage(job);
        setError(error, why);
        return false;
    }
    if (!QDir(job.workFolder).removeRecursively())
        qWarning().noquote() << "Could not remove the working folder" << native(job.workFolder);
    return true;
}

void abandonPackage(const PackageJob &job)
{
    if (!job.workFolder.isEmpty())
        QDir(job.workFolder).removeRecursively();
}

#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

#include "slicing/LayerImage.h"      // layerFileName(): "S%06d_P1.png"
#include "slicing/LayerSchedule.h"   // FlexSliceRange

// The contents of an LPK print package, as pure functions of a run description, so the
// package can be checked without slicing anything.
//
// A package is a password-protected ZIP holding, all at its top level: one PNG per exposure
// ("S000001_P1.png", …), up to five previews ("Preview_Top.png", …), "parameters.ini" (machine
// and material) and "buildscript.ini" (the exposure schedule). Printers read both text files
// line by line, so their lines, "\r\n" endings and number formats are fixed.

// One written image of a run, in write order, with the slicer's layer code as its kind:
// 0 or 1 a layer's only image, 2 the first image of a layer with a separate support exposure
// (the union of model and supports), 3 that layer's support image.
struct PackageImage
{
    double zMm = 0;
    int kind = LayerSingle;
};

// Everything the two text files describe.
struct PackageDescription
{
    QString machineName = QStringLiteral("Stellan-Arc 2.0");
    QString material;
    double sliceThicknessUm = 50;
    double normalExposureS = 8.0;
    int firstLayerCount = 5;
    double firstLayerExposureS = 60.0;
    double supportExposureS = 0.0;
    double compensationXPercent = 0;
    double compensationYPercent = 0;
    double compensationZPercent = 0;
    int antiAliasing = 0;            // 0 none, 1 one outline pass
    bool verticalMirror = false;
    bool horizontalMirror = false;
    int widthPx = 1920;
    int heightPx = 1080;
    double pixelSizeXUm = 33.0;
    double pixelSizeYUm = 33.0;
    bool flexEnabled = false;
    QList<FlexSliceRange> flexRanges;    // the enabled ranges, in list order; exposureRatio = percent / 100
    std::vector<PackageImage> images;
};

// Exposure of one image as buildscript.ini lists it.
struct ScheduledImage
{
    double exposureS = 0;
    double lift = 4.0;     // 4.0 after the last image of a layer, 0.0 when another image of it follows
    int kindCode = 0;      // the image's kind, or 3 when a flex range changed its exposure
                           // (printers tell the two apart by the lift)
};

// The exposure of every image: first layers (by image number) get the first-layer exposure,
// later images inside a flex range (strictly between its bounds; the first range that
// matches) get the normal exposure times its factor, support images the support exposure.
std::vector<ScheduledImage> exposureSchedule(const PackageDescription &run);

// A number as the text files write it: shortest form with at most 6 significant digits
// (50, 0.05, 1.2, 63.36).
QString packageNumber(double value);

// The five preview names in delivery order: Top, Front, Left, Right, TFR.
QStringList previewFileNames();

QByteArray buildscriptText(const PackageDescription &run);
QByteArray parametersText(const PackageDescription &run);

// The package path for the file the user chose: the name loses its ".lpk" extension, spaces
// become "_", and "_z" + thickness + ".lpk" is appended, in the chosen folder
// ("My Part.lpk" at 50 µm → "My_Part_z50.lpk").
QString packagePathFor(const QString &chosenPath, int thicknessUm);

// The package being written: where it goes and the working folder that collects its files.
struct PackageJob
{
    QString packagePath;
    QString workFolder;
};

// Checks that the package's folder is writable and creates a fresh private working folder
// for the package's files (see ExportWorkspace.h), after removing what killed or crashed
// exports left behind. The slicer writes the layer images there.
bool beginPackage(const QString &packagePath, PackageJob *job, QString *error);

// Writes the previews that were delivered (at most five, named in delivery order).
bool writePreviews(const QString &folder, const QList<QImage> &previews, QString *error);

class Archiver;

// Completes a package whose layer images are in the working folder: previews, parameters.ini,
// buildscript.ini, then one archive of exactly those files. The archive is built in the
// working folder and replaces an older package only when complete, so a failure never leaves
// a half-written or appended package. The working folder is removed in every case.
bool finishPackage(const PackageJob &job, const PackageDescription &run, const QList<QImage> &previews,
                   const Archiver &archiver, QString *error);

// The archiving tail of a package: packs the named files of the working folder into an archive
// built in that folder, which then replaces an older package in one step. The working folder
// is removed in every case.
bool packWorkFolder(const PackageJob &job, const QStringList &files, const Archiver &archiver, QString *error);

// Removes the working folder of a package that is not completed (a cancelled run).
void abandonPackage(const PackageJob &job);

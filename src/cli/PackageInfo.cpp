#include "cli/PackageInfo.h"

#include <QFileInfo>
#include <cstdio>

#include "package/PackageCheck.h"
#include "package/PackageImport.h"

namespace {

QString seconds(double s)
{
    return QString::number(s) + " s";
}

} // namespace

bool isPackagePath(const QString &path)
{
    return path.endsWith(QLatin1String(".lpk"), Qt::CaseInsensitive);
}

int printPackageInfo(const QString &path)
{
    LpkPackage package;
    QString error;
    if (!package.open(path, &error)) {
        std::fprintf(stderr, "orvell3d-cli info: %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    const PackageSchedule &s = package.schedule();
    const PackageReport r = checkPackage(package);

    std::printf("%s\n", qPrintable(QFileInfo(path).filePath()));
    std::printf("  format:          LPK print package\n");
    std::printf("  machine:         %s\n", qPrintable(s.machine));
    std::printf("  slice thickness: %d um\n", s.sliceThicknessUm);
    std::printf("  layers:          %d\n", int(s.layers.size()));
    std::printf("  exposure:        %s, first %d layers %s\n", qPrintable(seconds(s.normalExposureS)),
                s.firstLayerCount, qPrintable(seconds(s.firstLayerExposureS)));
    if (!s.layers.isEmpty())
        std::printf("  heights (mm):    %.4f .. %.4f\n", s.layers.first().zMm, s.layers.last().zMm);
    if (r.expectedSize.isValid())
        std::printf("  image size:      %d x %d\n", r.expectedSize.width(), r.expectedSize.height());
    else if (r.firstImageSize.isValid())
        std::printf("  image size:      %d x %d (parameters.ini does not say)\n", r.firstImageSize.width(),
                    r.firstImageSize.height());
    std::printf("  contents:        %d of %d layer images, %d previews, %s, %s", r.layerImagesFound, r.layerLines,
                r.previews, package.member("buildscript.ini") ? "buildscript.ini" : "no buildscript.ini",
                package.member("parameters.ini") ? "parameters.ini" : "no parameters.ini");
    if (!r.otherMembers.isEmpty())
        std::printf(", other files: %s", qPrintable(r.otherMembers.join(", ")));
    std::printf("\n");
    if (r.problems.isEmpty()) {
        std::printf("  check:           ok\n");
        return 0;
    }
    std::printf("  check:           %d problem%s\n", int(r.problems.size()), r.problems.size() == 1 ? "" : "s");
    for (const QString &p : r.problems)
        std::printf("    - %s\n", qPrintable(p));
    std::fflush(stdout);
    std::fprintf(stderr, "orvell3d-cli info: %s: damaged package: %s\n", qPrintable(path),
                 qPrintable(r.problems.first()));
    return 1;
}

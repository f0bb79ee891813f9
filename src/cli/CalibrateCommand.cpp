#include "cli/Commands.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "config/CalibrationPlan.h"
#include "config/EnvironmentSettings.h"
#include "config/ResinProfile.h"
#include "config/SettingsFile.h"
#include "package/Archiver.h"
#include "package/CalibrationPackage.h"

namespace {

const char *const prefix = "orvell3d-cli calibrate";

void printCalibrateHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli calibrate [options] -o NAME.lpk\n"
                 "\n"
                 "Writes an exposure calibration package: a grid of square patches, each cured for its\n"
                 "own time (or each row at its own grey level), on a few base layers. The package is\n"
                 "written at NAME.lpk as given (an older file there is replaced once the new one is\n"
                 "complete).\n"
                 "\n"
                 "Options (defaults in brackets):\n"
                 "  -o, --out PATH          the package file (required)\n"
                 "  --fill linear|exponential\n"
                 "                          how the exposure table is filled [linear]:\n"
                 "                          linear e0 + c * increment, exponential e0 * factor^c,\n"
                 "                          rounded to 0.1 s\n"
                 "  --initial SEC           initial exposure e0 in seconds [5]\n"
                 "  --increment SEC         increment per column, linear fill [2]\n"
                 "  --factor F              multiplication factor per column, exponential fill [1.5]\n"
                 "  --rows R                number of vertical patterns, 1 to 4 [1]\n"
                 "  --columns C             number of horizontal patterns, 1 to 8 [4]\n"
                 "  --exposures LIST        the exposure table instead of the formula: C seconds (one row,\n"
                 "                          used in every row) or R*C seconds row by row, comma-separated\n"
                 "  --gray LIST             grey level of each row in percent (100 = full white),\n"
                 "                          comma-separated; switches grey rows on: all rows are then\n"
                 "                          exposed like the first\n"
                 "  --no-labels             do not write the exposure time on each pattern\n"
                 "  --no-lines              do not draw the line patterns (2 to 64 pixels wide)\n"
                 "  --projector WxH         projector resolution in pixels [1920x1080 or the settings]\n"
                 "  --pixel-size UM         pixel size in micrometres [33.5 or the settings]\n"
                 "  --thickness UM          slice thickness in micrometres, an integer [50]\n"
                 "  --layers N              number of normal layers [20]\n"
                 "  --base-layers N         number of base layers [5]\n"
                 "  --base-exposure SEC     base layer exposure time, whole seconds [30]\n"
                 "  --machine N             machine index written to the package, 0 to 2 [0 or the settings]\n"
                 "  --settings FILE         environment settings file (setting*.ini): projector size, pixel\n"
                 "                          size, machine, material and mirroring for parameters.ini\n"
                 "  -h, --help              show this help and exit\n"
                 "\n"
                 "Progress goes to standard error when it is a terminal; a summary line goes to standard\n"
                 "output.\n"
                 "\n"
                 "Exit status: 0 when the package was written, 1 when it could not be (the reason goes\n"
                 "to standard error), 2 for a wrong command line.\n");
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    std::fprintf(stderr, "Run 'orvell3d-cli calibrate --help' for the options.\n");
    return 2;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    return 1;
}

bool parseNumber(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parseInt(const QString &text, int lo, int hi, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

bool parseList(const QString &text, QList<double> *values)
{
    values->clear();
    for (const QString &part : text.split(',')) {
        double v = 0;
        if (!parseNumber(part, &v))
            return false;
        *values << v;
    }
    return !values->isEmpty();
}

bool parseSize(const QString &text, int *w, int *h)
{
    static const QRegularExpression re("^(\\d{1,5})\\s*[xX×]\\s*(\\d{1,5})$");
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    *w = m.captured(1).toInt();
    *h = m.captured(2).toInt();
    return *w > 0 && *h > 0;
}

} // namespace

int runCalibrateCommand(const QStringList &args)
{
    CalibrationSettings s;
    QString outPath, settingsPath;
    QList<double> exposures;
    int projW = 0, projH = 0, machine = -1;
    double pixelSize = 0;

    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "-h" || a == "--help") {
            printCalibrateHelp(stdout);
            return 0;
        }
        if (a == "--no-labels") {
            s.labels = false;
            continue;
        }
        if (a == "--no-lines") {
            s.linePatterns = false;
            continue;
        }
        static const QStringList valued = {"--out",      "--fill",      "--initial",   "--increment", "--factor",
                                           "--rows",     "--columns",   "--exposures", "--gray",      "--projector",
                                           "--pixel-size", "--thickness", "--layers",  "--base-layers",
                                           "--base-exposure", "--machine", "--settings"};
        QString name = a == "-o" ? QString("--out") : a, value;
        const int eq = a.indexOf('=');
        if (a.startsWith("--") && eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        }
        if (!valued.contains(name))
            return usageError(a.startsWith('-') ? QString("unknown option '%1'").arg(a)
                                                : QString("unexpected argument '%1'").arg(a));
        if (eq < 0 || !a.startsWith("--")) {
            if (i + 1 >= args.size())
                return usageError(QString("option '%1' needs a value").arg(name));
            value = args[++i];
        }
        double number = 0;
        if (name == "--out") {
            outPath = value;
        } else if (name == "--settings") {
            settingsPath = value;
        } else if (name == "--fill") {
            if (value == "linear")
                s.fill = CalibrationFill::Linear;
            else if (value == "exponential")
                s.fill = CalibrationFill::Exponential;
            else
                return usageError(QString("--fill wants linear or exponential, not '%1'").arg(value));
        } else if (name == "--initial") {
            if (!parseNumber(value, &number) || number <= 0)
                return usageError(QString("--initial wants seconds above 0, not '%1'").arg(value));
            s.initialExposureS = number;
        } else if (name == "--increment") {
            if (!parseNumber(value, &number))
                return usageError(QString("--increment wants seconds, not '%1'").arg(value));
            s.incrementS = number;
        } else if (name == "--factor") {
            if (!parseNumber(value, &number) || number <= 0)
                return usageError(QString("--factor wants a number above 0, not '%1'").arg(value));
            s.factor = number;
        } else if (name == "--rows") {
            if (!parseInt(value, 1, CalibrationSettings::maxRows, &s.rows))
                return usageError(QString("--rows wants 1 to %1, not '%2'").arg(CalibrationSettings::maxRows).arg(value));
        } else if (name == "--columns") {
            if (!parseInt(value, 1, CalibrationSettings::maxColumns, &s.columns))
                return usageError(
                    QString("--columns wants 1 to %1, not '%2'").arg(CalibrationSettings::maxColumns).arg(value));
        } else if (name == "--exposures") {
            if (!parseList(value, &exposures))
                return usageError(QString("--exposures wants seconds separated by commas, not '%1'").arg(value));
        } else if (name == "--gray") {
            if (!parseList(value, &s.grayPercent))
                return usageError(QString("--gray wants percentages separated by commas, not '%1'").arg(value));
            s.grayscale = true;
        } else if (name == "--projector") {
            if (!parseSize(value, &projW, &projH))
                return usageError(QString("--projector wants WIDTHxHEIGHT in pixels, not '%1'").arg(value));
        } else if (name == "--pixel-size") {
            if (!parseNumber(value, &pixelSize) || pixelSize <= 0)
                return usageError(QString("--pixel-size wants micrometres above 0, not '%1'").arg(value));
        } else if (name == "--thickness") {
            if (!parseInt(value, 1, 10000, &s.thicknessUm))
                return usageError(QString("--thickness wants whole micrometres from 1 to 10000, not '%1'").arg(value));
        } else if (name == "--layers") {
            if (!parseInt(value, 1, 100000, &s.normalLayers))
                return usageError(QString("--layers wants a number of layers from 1, not '%1'").arg(value));
        } else if (name == "--base-layers") {
            if (!parseInt(value, 0, 100000, &s.baseLayers))
                return usageError(QString("--base-layers wants a number of layers from 0, not '%1'").arg(value));
        } else if (name == "--base-exposure") {
            if (!parseInt(value, 1, 100000, &s.baseExposureS))
                return usageError(QString("--base-exposure wants whole seconds from 1, not '%1'").arg(value));
        } else if (name == "--machine") {
            if (!parseInt(value, 0, 1000, &machine) || machineModelName(machine).isEmpty())
                return usageError(QString("--machine wants 0, 1 or 2, not '%1'").arg(value));
        }
    }
    if (outPath.isEmpty())
        return usageError("no package file given (-o NAME.lpk)");
    if (!exposures.isEmpty()) {
        if (exposures.size() == s.columns) {
            for (int r = 0; r < s.rows; ++r)
                s.exposuresS += exposures;
        } else if (exposures.size() == s.rows * s.columns) {
            s.exposuresS = exposures;
        } else {
            return usageError(QString("--exposures wants %1 or %2 values, not %3")
                                  .arg(s.columns)
                                  .arg(s.rows * s.columns)
                                  .arg(exposures.size()));
        }
    }
    if (s.grayscale && s.grayPercent.size() != s.rows)
        return usageError(QString("--gray wants one percentage per row (%1), not %2").arg(s.rows).arg(s.grayPercent.size()));

    // Settings: the program's defaults, then the file, then the command line.
    EnvironmentSettings settings = defaultEnvironmentSettings();
    if (!settingsPath.isEmpty()) {
        QString error;
        if (!readSettingsFile(settingsPath, settings, &error))
            return failure(error.isEmpty() ? QString("cannot read the settings file %1").arg(settingsPath) : error);
    }
    const EnvironmentSettings defaults = defaultEnvironmentSettings();
    const PrinterSettings &printer = settings.printer;
    s.widthPx = projW > 0 ? projW : (printer.displayOverrideXPx > 0 ? printer.displayOverrideXPx : defaults.printer.displayOverrideXPx);
    s.heightPx = projH > 0 ? projH : (printer.displayOverrideYPx > 0 ? printer.displayOverrideYPx : defaults.printer.displayOverrideYPx);
    s.pixelSizeUm = pixelSize > 0 ? pixelSize : (printer.pixelSizeXUm > 0 ? printer.pixelSizeXUm : defaults.printer.pixelSizeXUm);
    if (machine < 0)
        machine = printer.printerId;
    const QString bad = s.check();
    if (!bad.isEmpty())
        return failure(bad);

    PackageDescription description;
    description.machineName = machineModelName(machine);
    description.material = settings.slice.lastUsedMaterial;
    description.antiAliasing = settings.print.horiAntiAliasing;
    description.verticalMirror = settings.print.verticalMirror;
    description.horizontalMirror = settings.print.horizontalMirror;
    description.compensationXPercent = settings.slice.sliceScaleXPercent;
    description.compensationYPercent = settings.slice.sliceScaleYPercent;
    description.compensationZPercent = settings.slice.sliceScaleZPercent;

    const bool tty = isatty(fileno(stderr));
    QElapsedTimer timer;
    timer.start();
    auto progress = [tty](int done, int total) {
        if (tty)
            std::fprintf(stderr, "\rWriting image %d of %d", done, total);
    };
    QString error;
    const QString path = QFileInfo(outPath).absoluteFilePath();
    const bool ok = writeCalibrationPackage(s, description, machine, path, Archiver(), progress, &error);
    if (tty)
        std::fprintf(stderr, "\n");
    if (!ok)
        return failure(error);
    std::printf("%d images (%d x %d px, %d x %d patterns) written to %s in %.2f s\n", calibrationImageCount(s),
                s.widthPx, s.heightPx, s.rows, s.columns, qPrintable(path), double(timer.elapsed()) / 1000.0);
    return 0;
}

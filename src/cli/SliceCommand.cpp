#include "cli/Commands.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

#include "cli/JsonReport.h"
#include "cli/PackageOutput.h"
#include "cli/PrintableArea.h"
#include "cli/RunAnalysisReport.h"
#include "cli/SceneInput.h"
#include "cli/SliceProgress.h"
#include "cli/SliceStructures.h"
#include "config/EnvironmentSettings.h"
#include "config/ResinProfile.h"
#include "config/SettingsFile.h"
#include "imaging/LayerChain.h"
#include "imaging/LayerPng.h"
#include "imaging/LitLayerChain.h"
#include "scene/Arrange.h"
#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "slicing/GlContext.h"
#include "slicing/LayerAnalysis.h"
#include "slicing/RendererFactory.h"
#include "slicing/RunLimits.h"
#include "slicing/Slicer.h"
#include "support/SupportEditor.h"

namespace {

const char *const prefix = "orvell3d-cli slice";

void printSliceHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli slice [options] -o PATH MODEL...\n"
                 "\n"
                 "Places the models on the build plate as the program does (centred, standing on the\n"
                 "plate) and slices them into PATH. MODEL is a binary or ASCII STL, OBJ or 3MF file;\n"
                 "the green parts (#00FF00) of a 3MF file get the second exposure. MODEL may also be a\n"
                 "scene file (.o3d) saved by the program: its models, bases and supports are sliced\n"
                 "where the scene keeps them. No display is needed; the renderers that use the\n"
                 "graphics card make a headless OpenGL 3.2 context.\n"
                 "\n"
                 "Options:\n"
                 "  -o, --out PATH        where the layers go (required); the name decides what is made:\n"
                 "                        - PATH ending in .lpk (in any letter case): a print package,\n"
                 "                          named PATH with _z<thickness> before the .lpk (an older one\n"
                 "                          is replaced)\n"
                 "                        - any other PATH: a folder, created when missing, with one PNG\n"
                 "                          per layer, S000001_P1.png, S000002_P1.png, ...; layer files\n"
                 "                          of an earlier run in it are removed first\n"
                 "%s"
                 "  --thickness UM        layer thickness in micrometres (default: the settings' slice\n"
                 "                        thickness, 50); below 5 the variable-step table is used\n"
                 "  --max-z MM            top of the slicing range (default: the top of the models)\n"
                 "  --settings FILE       environment settings file (setting*.ini): projector size,\n"
                 "                        pixel size, X/Y/Z scale compensation, variable-step table,\n"
                 "                        switched-on flex slices, mirroring\n"
                 "  --projector WxH       projector size in pixels (default 1920x1080 or the settings)\n"
                 "  --pixel-size UM[xUM]  projector pixel size in micrometres (default 33.5 or the settings)\n"
                 "  --no-repair           slice the meshes as read; without it, broken meshes (open\n"
                 "                        edges, mixed winding, shells inside out) are repaired first\n"
                 "  --allow-clipping      slice models that leave the printable area, cut at the image\n"
                 "                        border (without it such a run fails)\n"
                 "  --renderer NAME       how cross-sections are made; all give the same images:\n"
                 "                          cpu        the cut's outline filled on the processor, several\n"
                 "                                     layers at once (needs no graphics driver)\n"
                 "                          gpu        the cut's outline filled on the graphics card\n"
                 "                          reference  the whole scene drawn three times per layer on\n"
                 "                                     the graphics card (slow; for comparison)\n"
                 "                        default: gpu with a hardware graphics driver, else cpu\n"
                 "  --arrange             place the models on the plate side by side without overlap,\n"
                 "                        largest first, centred, each keeping its orientation (default:\n"
                 "                        every model centred on the plate); fails when they do not fit\n"
                 "  --supports            add automatic grid supports under every model before slicing\n"
                 "  --support-pitch MM    their grid pitch (default: the settings' pitch, 3)\n"
                 "  --support-size SIZE   small, medium, large or xl (default: the settings' dimensions)\n"
                 "%s"
                 "  --fail-on-islands     exit with status 1 when a layer has an island (a region with\n"
                 "                        nothing lit under it, which cures loose in the vat); the\n"
                 "                        layers or the package are still written, for a look at them\n"
                 "  --no-analysis         skip the island search and the resin and time estimate\n"
                 "  --hollow WALL_MM      hollow the models, leaving walls of WALL_MM (in X/Y and in Z;\n"
                 "                        the bottom of the stack and the top layers stay closed)\n"
                 "  --pillars RADIUS_MM,PITCH_MM\n"
                 "                        with --hollow: pillars of that radius on a grid of that pitch\n"
                 "                        stay standing inside the cavity\n"
                 "  --timings             also print where the time went (draws, read-back, encoding, ...;\n"
                 "                        with several layers at once, summed over the threads)\n"
                 "  --json                print one JSON object on standard output instead of the\n"
                 "                        summary (layers, images, path, sizes, timings, resin volume,\n"
                 "                        islands; a package adds its size, resin, machine, total\n"
                 "                        exposure and print time); nothing when the run fails\n"
                 "  -h, --help            show this help and exit\n"
                 "  --                    treat every following argument as a model file\n"
                 "\n"
                 "Progress goes to standard error when it is a terminal; the summary goes to standard\n"
                 "output: the layers and where they went, the resin the layers take (and for a package\n"
                 "the print time: exposures, then lifting and lowering the platform), and the islands\n"
                 "(\"no islands\", or \"3 islands: layer 120 at (12.4, \u22123.1) mm, ...\", layers counted\n"
                 "from 0, positions from the plate centre).\n"
                 "\n"
                 "Exit status: 0 when every layer was written, 1 when a model or scene file cannot be\n"
                 "read (a model a scene file names included), a model leaves the printable area\n"
                 "(without --allow-clipping), no GL context can be made for a renderer that needs\n"
                 "one, the projector size is too large for the graphics driver or a layer cannot be\n"
                 "written (the reason goes to standard error), or when --fail-on-islands finds islands,\n"
                 "2 for a wrong command line.\n",
                 packageOptionsHelp(), structureOptionsHelp());
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    std::fprintf(stderr, "Run 'orvell3d-cli slice --help' for the options.\n");
    return 2;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    return 1;
}

bool parsePositive(const QString &text, double *value, bool allowZero = false)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0.0 || (!allowZero && v == 0.0))
        return false;
    *value = v;
    return true;
}

// "1920x1080" (also with "X" or "×").
bool parseSize(const QString &text, int *w, int *h)
{
    static const QRegularExpression re("^(\\d{1,6})\\s*[xX×]\\s*(\\d{1,6})$");
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    *w = m.captured(1).toInt();
    *h = m.captured(2).toInt();
    return *w > 0 && *h > 0;
}

bool parsePixelSize(const QString &text, float *x, float *y)
{
    const QStringList parts = text.split(QRegularExpression("[xX×]"));
    double a = 0, b = 0;
    if (parts.size() == 1 && parsePositive(parts[0], &a)) {
        *x = *y = float(a);
        return true;
    }
    if (parts.size() == 2 && parsePositive(parts[0], &a) && parsePositive(parts[1], &b)) {
        *x = float(a);
        *y = float(b);
        return true;
    }
    return false;
}

bool pixelSizeInRange(float um)
{
    return um >= RunLimits::minPixelSizeUm && um <= RunLimits::maxPixelSizeUm;
}

// Removes the layer files of an earlier run, so the folder holds this run's layers only.
bool removeOldLayers(const QString &folder, QString *error)
{
    static const QRegularExpression layerName("^S\\d{6}_P1\\.png$");
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        if (layerName.match(name).hasMatch() && !dir.remove(name)) {
            *error = QString("The old layer file %1 cannot be removed.").arg(dir.filePath(name));
            return false;
        }
    }
    return true;
}

QtMessageHandler previousHandler = nullptr;

// The library's log lines ("Slicing started", "… has been loaded") belong in the window's log;
// on the command line only warnings and errors get through.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

struct QuietLog
{
    QuietLog() { previousHandler = qInstallMessageHandler(quietHandler); }
    ~QuietLog() { qInstallMessageHandler(previousHandler); }
};

} // namespace

int runSliceCommand(const QStringList &args)
{
    QStringList models;
    QString outFolder, settingsPath;
    double thickness = -1, maxZ = -1;
    int projW = 0, projH = 0;
    float pixelX = 0, pixelY = 0;
    bool optionsDone = false;
    bool printTimings = false;
    bool allowClipping = false;
    ModelReadOptions readOptions;
    bool arrange = false;
    PackageRequest package;
    RendererKind rendererKind = RendererKind::CpuFill;
    bool rendererChosen = false;
    bool withSupports = false;
    double supportPitch = -1;
    SupportSize supportSize = SupportSize::Medium;
    bool supportSizeChosen = false;
    StructureRequest structures;
    bool analyse = true;

    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (optionsDone || !a.startsWith('-') || a == "-") {
            models << a;
            continue;
        }
        if (a == "-h" || a == "--help") {
            printSliceHelp(stdout);
            return 0;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        if (a == "--timings") {
            printTimings = true;
            continue;
        }
        if (a == "--no-repair") {
            readOptions.repair = false;
            continue;
        }
        if (a == "--allow-clipping") {
            allowClipping = true;
            continue;
        }
        if (a == "--arrange") {
            arrange = true;
            continue;
        }
        if (a == "--json") {
            package.json = true;
            continue;
        }
        if (a == "--supports") {
            withSupports = true;
            continue;
        }
        if (a == "--fail-on-islands") {
            package.failOnIslands = true;
            continue;
        }
        if (a == "--no-analysis") {
            analyse = false;
            continue;
        }
        if (a == "--linkers") {
            structures.linkers = true;
            continue;
        }
        const QStringList valued = {"--out",   "--thickness", "--max-z",   "--settings", "--projector",
                                    "--pixel-size", "--resin", "--machine", "--renderer",
                                    "--support-pitch", "--support-size", "--base", "--base-margin",
                                    "--base-thickness", "--hollow", "--pillars"};
        QString name = a == "-o" ? QString("--out") : a, value;
        const int eq = a.indexOf('=');
        if (eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        }
        if (!valued.contains(name))
            return usageError(QString("unknown option '%1'").arg(a));
        if (eq < 0) {
            if (i + 1 >= args.size())
                return usageError(QString("option '%1' needs a value").arg(name));
            value = args[++i];
        }
        if (name == "--out") {
            outFolder = value;
        } else if (name == "--settings") {
            settingsPath = value;
        } else if (name == "--thickness") {
            if (!parsePositive(value, &thickness, true) || thickness > 10000)
                return usageError(QString("--thickness wants micrometres from 0 to 10000, not '%1'").arg(value));
        } else if (name == "--max-z") {
            if (!parsePositive(value, &maxZ) || maxZ > 10000)
                return usageError(QString("--max-z wants millimetres above 0, not '%1'").arg(value));
        } else if (name == "--projector") {
            if (!parseSize(value, &projW, &projH) || projW > RunLimits::maxProjectorPx || projH > RunLimits::maxProjectorPx)
                return usageError(QString("--projector wants WIDTHxHEIGHT in pixels, each from %1 to %2, not '%3'")
                                      .arg(RunLimits::minProjectorPx).arg(RunLimits::maxProjectorPx).arg(value));
        } else if (name == "--renderer") {
            if (!parseRendererKind(value, &rendererKind))
                return usageError(QString("--renderer wants cpu, gpu or reference, not '%1'").arg(value));
            rendererChosen = true;
        } else if (name == "--resin") {
            package.resinName = value;
        } else if (name == "--machine") {
            bool ok = false;
            package.machineId = value.toInt(&ok);
            if (!ok || machineModelName(package.machineId).isEmpty())
                return usageError(QString("--machine wants 0, 1 or 2, not '%1'").arg(value));
        } else if (name == "--support-pitch") {
            if (!parsePositive(value, &supportPitch) || supportPitch > 1000)
                return usageError(QString("--support-pitch wants millimetres above 0, not '%1'").arg(value));
        } else if (name == "--support-size") {
            if (!parseSupportSize(value, &supportSize))
                return usageError(QString("--support-size wants small, medium, large or xl, not '%1'").arg(value));
            supportSizeChosen = true;
        } else if (name == "--base") {
            if (!parseBaseKind(value, &structures.base))
                return usageError(QString("--base wants rect or global, not '%1'").arg(value));
        } else if (name == "--base-margin") {
            if (!parsePositive(value, &structures.baseMarginMm) || structures.baseMarginMm > 1000)
                return usageError(QString("--base-margin wants millimetres above 0, not '%1'").arg(value));
        } else if (name == "--base-thickness") {
            if (!parsePositive(value, &structures.baseThicknessMm) || structures.baseThicknessMm > 1000)
                return usageError(QString("--base-thickness wants millimetres above 0, not '%1'").arg(value));
        } else if (name == "--hollow") {
            if (!parsePositive(value, &package.hollowing.wallMm) || package.hollowing.wallMm > 100)
                return usageError(QString("--hollow wants a wall in millimetres above 0, up to 100, not '%1'").arg(value));
        } else if (name == "--pillars") {
            const QStringList parts = value.split(',');
            if (parts.size() != 2 || !parsePositive(parts[0], &package.hollowing.pillarRadiusMm)
                || !parsePositive(parts[1], &package.hollowing.pillarPitchMm)
                || package.hollowing.pillarPitchMm <= 2 * package.hollowing.pillarRadiusMm)
                return usageError(QString("--pillars wants RADIUS_MM,PITCH_MM above 0, the pitch above twice the "
                                          "radius, not '%1'").arg(value));
        } else if (name == "--pixel-size") {
            if (!parsePixelSize(value, &pixelX, &pixelY) || !pixelSizeInRange(pixelX) || !pixelSizeInRange(pixelY))
                return usageError(QString("--pixel-size wants micrometres from %1 to %2 (X or XxY), not '%3'")
                                      .arg(RunLimits::minPixelSizeUm).arg(RunLimits::maxPixelSizeUm).arg(value));
        }
    }
    if (models.isEmpty())
        return usageError("no model file given");
    if (structures.base == StructureRequest::Base::None && (structures.baseMarginMm > 0 || structures.baseThicknessMm > 0))
        return usageError("--base-margin and --base-thickness go with --base rect or --base global");
    if (outFolder.isEmpty())
        return usageError("no output folder given (--out FOLDER)");
    if (package.hollowing.pillars() && !package.hollowing.enabled())
        return usageError("--pillars goes with --hollow");

    // Only warnings and errors reach standard error, from the settings file on.
    QuietLog quiet;
    // Settings: the program's defaults, then the file, then the command line.
    EnvironmentSettings settings = defaultEnvironmentSettings();
    if (!settingsPath.isEmpty()) {
        QString error;
        if (!readSettingsFile(settingsPath, settings, &error))
            return failure(error.isEmpty() ? QString("cannot read the settings file %1").arg(settingsPath) : error);
    }
    const EnvironmentSettings defaults = defaultEnvironmentSettings();
    SliceParameters params;
    params.projectorWidthPx = settings.printer.displayOverrideXPx > 0 ? settings.printer.displayOverrideXPx
                                                                      : defaults.printer.displayOverrideXPx;
    params.projectorHeightPx = settings.printer.displayOverrideYPx > 0 ? settings.printer.displayOverrideYPx
                                                                       : defaults.printer.displayOverrideYPx;
    params.pixelSizeXUm = settings.printer.pixelSizeXUm > 0 ? settings.printer.pixelSizeXUm : defaults.printer.pixelSizeXUm;
    params.pixelSizeYUm = settings.printer.pixelSizeYUm > 0 ? settings.printer.pixelSizeYUm : defaults.printer.pixelSizeYUm;
    params.sliceScaleXPct = settings.slice.sliceScaleXPercent;
    params.sliceScaleYPct = settings.slice.sliceScaleYPercent;
    params.sliceScaleZPct = settings.slice.sliceScaleZPercent;
    if (projW > 0) {
        params.projectorWidthPx = projW;
        params.projectorHeightPx = projH;
    }
    if (pixelX > 0) {
        params.pixelSizeXUm = pixelX;
        params.pixelSizeYUm = pixelY;
    }
    const QString bad = params.check();
    if (!bad.isEmpty())
        return failure(bad);

    if (const QString range = checkSliceParameterRanges(params); !range.isEmpty())
        return failure(range);

    // Models, placed as the window places them.
    Scene scene;
    scene.setLoadPauseMs(0);
    scene.setProjector(params.projectorWidthPx, params.projectorHeightPx, params.pixelSizeXUm, params.pixelSizeYUm);
    {
        QString error;
        if (!loadCliInputs(models, scene, settings, &error, readOptions))
            return failure(error);
    }
    if (arrange) {
        const ArrangeResult placed = arrangeModels(scene);
        if (!placed.unplaced.isEmpty())
            return failure(QString("no room on the plate for %1").arg(placed.unplaced.join(", ")));
    }
    if (withSupports) {
        SupportParameters sp = supportParametersFrom(settings.support);
        if (supportSizeChosen)
            sp = withSize(sp, supportSize);
        if (supportPitch > 0)
            sp.sp = float(supportPitch);
        QString error;
        const int added = addSupportsUnderModels(scene, sp, settings.support, &error);
        if (added < 0)
            return failure(error);
        std::fprintf(stderr, "%d automatic supports added\n", added);
    }
    if (structures.base != StructureRequest::Base::None || structures.linkers) {
        QString error;
        if (!addRequestedStructures(scene, structures, settings, &error))
            return failure(error);
    }
    std::vector<SliceObject> objects = sliceObjectsOf(scene);
    if (objects.empty())
        return failure("There is no model to proceed.");
    const QString outside = modelsOutsidePrintableArea(scene);
    if (!outside.isEmpty() && !allowClipping)
        return failure(outside + " (--allow-clipping slices it anyway)");
    if (!outside.isEmpty())
        std::fprintf(stderr, "%s: warning: %s; the layers are cut at the image border\n", prefix, qPrintable(outside));

    SliceRunOptions options;
    options.sliceThicknessUm = float(thickness >= 0 ? thickness
                                     : (settings.slice.sliceThicknessUm > 0 ? settings.slice.sliceThicknessUm : 50));
    options.maxZ = float(maxZ > 0 ? maxZ : scene.topOfScene());
    if (!(options.maxZ > 0))
        return failure("the models have no height to slice");
    // The range ends at the machine's build height: nothing above it can be printed.
    const double buildHeightMm = settings.printer.stepperLimitZMm > 0
                                     ? std::min<double>(settings.printer.stepperLimitZMm, RunLimits::maxBuildHeightMm)
                                     : RunLimits::maxBuildHeightMm;
    if (maxZ > buildHeightMm)
        return failure(QString("--max-z %1 mm is above the build height of %2 mm (StepperLimitZ)")
                           .arg(maxZ).arg(buildHeightMm));
    if (options.maxZ > buildHeightMm) {
        std::fprintf(stderr, "%s: warning: the models are %.2f mm tall; only the build height of %g mm is sliced\n",
                     prefix, double(options.maxZ), buildHeightMm);
        options.maxZ = float(buildHeightMm);
    }
    options.variableSteps = VariableStepTable::fromInputs(settings.slice.variStepAngleDeg, settings.slice.variStepUm,
                                                          settings.slice.variStepMaxUm, settings.slice.variStepRelExp);
    for (const FlexSliceEntry &f : settings.slice.flexSlices) {
        if (f.enabled)
            options.flexSlices << FlexSliceRange{f.fromMm, f.toMm, f.thicknessUm, f.expRatioPercent / 100.0};
    }
    PostProcessSettings post;
    post.verticalMirror = settings.print.verticalMirror;
    post.horizontalMirror = settings.print.horizontalMirror;
    post.contourPenGray = settings.slice.subPixelSlicingIntensity;
    post.contrastCurve = settings.misc.pixelGrayscaleUpdate;
    options.litPostProcess = makeLitLayerPostProcess(post, params);
    options.litEncode = [](const LitImage &image) { return encodeLitLayerPng(image); };
    options.outlineUsed = post.contourAntialiasing;
    // The layer chain and the encoder are pure functions of their layer: safe on workers.
    options.workerThreads = -1;
    if (analyse)
        options.analysis = std::make_shared<LayerAnalysis>();
    if (const QString why = checkHollowing(package.hollowing, params, options.sliceThicknessUm);
        !why.isEmpty() && !outFolder.endsWith(".lpk", Qt::CaseInsensitive))
        return failure(why);
    options.stackStage = makeHollowingStage(package.hollowing, params, options.sliceThicknessUm);
    if (!rendererChosen)
        rendererKind = fastestAvailableRenderer();

    if (outFolder.endsWith(".lpk", Qt::CaseInsensitive)) {
        package.chosenPath = outFolder;
        package.thicknessUm = thickness;
        package.printTimings = printTimings;
        package.renderer = rendererKind;
        return slicePackage(scene, std::move(objects), params, settings, options, package);
    }

    QString error;
    const QFileInfo outInfo(outFolder);
    if (outInfo.exists() && !outInfo.isDir())
        return failure(QString("the output folder %1 is a file").arg(outFolder));
    // The topmost folder this run creates: a failed run takes it away again.
    QString createdFolder;
    for (QFileInfo up(outInfo.absoluteFilePath()); !up.exists(); up = QFileInfo(up.absolutePath()))
        createdFolder = up.absoluteFilePath();
    if (!QDir().mkpath(outFolder))
        return failure(QString("the output folder %1 cannot be created").arg(outFolder));
    options.outputFolder = outInfo.absoluteFilePath();
    auto fail = [&](const QString &message) {
        if (!createdFolder.isEmpty())
            QDir(createdFolder).removeRecursively();
        return failure(message);
    };
    if (!removeOldLayers(options.outputFolder, &error))
        return fail(error);

    std::unique_ptr<GlContext> context;
    if (rendererNeedsGl(rendererKind)) {
        context = GlContext::createCurrent(&error);
        if (!context)
            return fail(error);
    }
    const std::unique_ptr<CrossSectionRenderer> renderer = makeCrossSectionRenderer(rendererKind, true);
    Slicer slicer(renderer.get());
    if (!slicer.start(std::move(objects), params, options, &error))
        return fail(error);

    const Slicer::Step step = runSlicerShowingProgress(slicer);
    if (step != Slicer::Finished)
        return fail(slicer.errorString());

    const MotionSettings motion = motionSettingsFrom(settings);
    if (package.json) {
        QJsonObject report = sliceJsonReport(slicer, params, rendererKind, options.sliceThicknessUm, "folder",
                                             options.outputFolder);
        addAnalysisFacts(&report, slicer, options.sliceThicknessUm, nullptr, motion);
        printJsonReport(report);
        renderer->releaseGpuResources();
        return reportRunAnalysis(slicer, options.sliceThicknessUm, nullptr, motion, package.failOnIslands, true);
    }
    std::printf("%d layers (%lld images, %d x %d px) written to %s in %.2f s\n", slicer.layersDone(),
                static_cast<long long>(slicer.sliceFileNames().size()), params.projectorWidthPx,
                params.projectorHeightPx, qPrintable(options.outputFolder), double(slicer.elapsedMs()) / 1000.0);
    if (printTimings)
        printSliceTimings(rendererKind, slicer.timings());
    renderer->releaseGpuResources();
    return reportRunAnalysis(slicer, options.sliceThicknessUm, nullptr, motion, package.failOnIslands, false);
}

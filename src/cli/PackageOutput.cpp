#include "cli/PackageOutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "cli/JsonReport.h"
#include "cli/RunAnalysisReport.h"
#include "cli/SliceProgress.h"
#include "config/ResinProfile.h"
#include "package/Archiver.h"
#include "package/LayerSilhouettes.h"
#include "package/LpkExport.h"
#include "package/PackageFiles.h"
#include "slicing/GlContext.h"
#include "view/SceneRenderer.h"
#include "view/ScenePreviews.h"

namespace {

const char *const prefix = "orvell3d-cli slice";

int failure(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    return 1;
}

// "812 bytes", "557 KiB", "12.4 MiB": a size a reader takes in at a glance.
QString fileSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return QString("%1 KiB").arg(qRound64(double(bytes) / 1024));
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + " MiB";
}

// The profile for the package: the named resin (or the last used one, or the machine's
// first) at the asked thickness (or the last used one, or the resin's first).
bool chooseProfile(const PackageRequest &request, const EnvironmentSettings &settings, ResinProfile *chosen,
                   QString *error)
{
    QString why;
    if (!installDefaultResinProfiles(&why))
        std::fprintf(stderr, "%s: warning: %s\n", prefix, qPrintable(why));
    ResinProfileManager manager;
    manager.loadProfiles();
    const QStringList materials = manager.materials(request.machineId);
    if (materials.isEmpty()) {
        *error = QString("there is no resin profile for the machine \"%1\" in %2")
                     .arg(machineModelName(request.machineId), QDir::toNativeSeparators(manager.path()));
        return false;
    }
    QString material = request.resinName;
    if (material.isEmpty())
        material = materials.contains(settings.slice.lastUsedMaterial) ? settings.slice.lastUsedMaterial
                                                                       : materials.first();
    if (!materials.contains(material)) {
        *error = QString("there is no resin profile \"%1\" for the machine \"%2\"; known: %3")
                     .arg(material, machineModelName(request.machineId), materials.join(", "));
        return false;
    }
    const QList<int> thicknesses = manager.thicknesses(request.machineId, material);
    int thickness = thicknesses.first();
    if (request.thicknessUm >= 0)
        thickness = int(request.thicknessUm);
    else if (thicknesses.contains(settings.slice.lastUsedSliceThicknessUm))
        thickness = settings.slice.lastUsedSliceThicknessUm;
    const int i = manager.find(request.machineId, material, thickness);
    if (i < 0) {
        QStringList known;
        for (int t : thicknesses)
            known << QString::number(t);
        *error = QString("the resin \"%1\" has no profile for %2 µm; known: %3 µm")
                     .arg(material)
                     .arg(thickness)
                     .arg(known.join(", "));
        return false;
    }
    *chosen = manager.profiles().at(i);
    return true;
}

// The five previews as the window makes them, drawn headless in `context` (none: no OpenGL
// could be had). Empty, with a warning, when they cannot be drawn.
QList<QImage> scenePreviews(Scene &scene, const SliceParameters &params, const GlContext *context,
                            const QString &noContextReason)
{
    if (!context) {
        std::fprintf(stderr, "%s: warning: no OpenGL for the previews (%s); using layer silhouettes\n", prefix,
                     qPrintable(noContextReason));
        return {};
    }
    ViewSettings view;
    view.projectorWidthPx = params.projectorWidthPx;
    view.projectorHeightPx = params.projectorHeightPx;
    view.pixelSizeXUm = params.pixelSizeXUm;
    view.pixelSizeYUm = params.pixelSizeYUm;
    QString why;
    const QList<QImage> previews = renderScenePreviews(scene, view, &why);
    if (previews.isEmpty())
        std::fprintf(stderr, "%s: warning: previews could not be drawn (%s); using layer silhouettes\n", prefix,
                     qPrintable(why));
    return previews;
}

} // namespace

const char *packageOptionsHelp()
{
    return "  --resin NAME          resin profile for the package (default: the last used one, or\n"
           "                        the machine's first); exposures, compensation and image\n"
           "                        post-processing come from it\n"
           "  --machine ID          machine model of the profile: 0 Stellan Arc 2.0 (default),\n"
           "                        1 Stellan Arc 8.9 (layers packed three pixels per RGB pixel),\n"
           "                        2 OrvellDLP 50\n";
}

int slicePackage(Scene &scene, std::vector<SliceObject> objects, const SliceParameters &params,
                 const EnvironmentSettings &settings, const SliceRunOptions &base, const PackageRequest &request)
{
    LpkExportSettings s;
    QString error;
    if (!chooseProfile(request, settings, &s.profile, &error))
        return failure(error);
    s.machineIndex = request.machineId;
    s.verticalMirror = settings.print.verticalMirror;
    s.horizontalMirror = settings.print.horizontalMirror;
    for (const FlexSliceEntry &f : settings.slice.flexSlices) {
        if (f.enabled)
            s.flexRanges << FlexSliceRange{f.fromMm, f.toMm, f.thicknessUm, f.expRatioPercent / 100.0};
    }
    s.flexEnabled = !s.flexRanges.isEmpty();
    s.geometry = params;
    s.contourPenGray = settings.slice.subPixelSlicingIntensity;
    s.contrastCurve = settings.misc.pixelGrayscaleUpdate;
    s.hollowing = request.hollowing;
    if (const QString why = checkHollowing(s.hollowing, packageGeometry(s), s.profile.SliceThickness); !why.isEmpty())
        return failure(why);
    std::fprintf(stderr, "%s: resin profile \"%s\", %d µm, %s\n", prefix, qPrintable(s.profile.ResinName),
                 s.profile.SliceThickness, qPrintable(machineModelName(s.machineIndex)));

    PackageJob job;
    if (!beginPackage(packagePathFor(request.chosenPath, s.profile.SliceThickness), &job, &error))
        return failure(error);
    SliceRunOptions options = base;
    configurePackageRun(s, job, &options);

    // The previews come first: they need the scene's meshes on the graphics side, which are
    // released again before the layers take their memory.
    QString noContext;
    const std::unique_ptr<GlContext> context = GlContext::createCurrent(&noContext);
    if (!context && rendererNeedsGl(request.renderer)) {
        abandonPackage(job);
        return failure(noContext);
    }
    QElapsedTimer previewClock;
    previewClock.start();
    QList<QImage> previews = scenePreviews(scene, params, context.get(), noContext);
    const double previewMs = double(previewClock.nsecsElapsed()) / 1e6;
    // Where they cannot be drawn, the layers' silhouettes stand in, gathered as the layers
    // pass (in layer order, on this thread).
    std::shared_ptr<LayerSilhouettes> silhouettes;
    if (previews.isEmpty()) {
        silhouettes = std::make_shared<LayerSilhouettes>();
        options.layerRendered = [silhouettes](const std::vector<cv::Mat> &images, const LayerContext &) {
            if (!images.empty())
                silhouettes->addLayer(images.front());
        };
    }
    const std::unique_ptr<CrossSectionRenderer> renderer = makeCrossSectionRenderer(request.renderer, true);
    Slicer slicer(renderer.get());
    if (!slicer.start(std::move(objects), packageGeometry(s), options, &error)) {
        abandonPackage(job);
        return failure(error);
    }
    const bool tty = isatty(fileno(stderr));
    const Slicer::Step step = runSlicerShowingProgress(slicer);
    renderer->releaseGpuResources();
    if (step != Slicer::Finished) {
        abandonPackage(job);
        return failure(slicer.errorString());
    }

    if (tty)
        std::fprintf(stderr, "packing %lld images\n", static_cast<long long>(slicer.sliceHeights().size()));
    const PackageDescription run = packageDescription(s, slicer.sliceHeights(), slicer.layerCodes());
    QElapsedTimer packing;
    packing.start();
    if (silhouettes) {
        const double topMm = run.images.empty() ? 0.0 : run.images.back().zMm + s.profile.SliceThickness / 1000.0;
        previews = silhouettes->previews(topMm, params.pixelSizeXUm, params.pixelSizeYUm);
    }
    if (!finishPackage(job, run, previews, Archiver(), &error))
        return failure(error);
    const double packingMs = previewMs + double(packing.nsecsElapsed()) / 1e6;
    if (request.json) {
        QJsonObject report = sliceJsonReport(slicer, params, request.renderer, s.profile.SliceThickness, "package",
                                             job.packagePath);
        addPackageFacts(&report, run, packingMs);
        addAnalysisFacts(&report, slicer, s.profile.SliceThickness, &run, motionSettingsFrom(settings));
        printJsonReport(report);
        return reportRunAnalysis(slicer, s.profile.SliceThickness, &run, motionSettingsFrom(settings),
                                 request.failOnIslands, true);
    }

    std::printf("%d layers (%lld images, %d x %d px) packed into %s (%s) in %.2f s\n", slicer.layersDone(),
                static_cast<long long>(run.images.size()), params.projectorWidthPx, params.projectorHeightPx,
                qPrintable(QDir::toNativeSeparators(job.packagePath)),
                qPrintable(fileSizeText(QFileInfo(job.packagePath).size())), double(slicer.elapsedMs()) / 1000.0);
    if (request.printTimings)
        printSliceTimings(request.renderer, slicer.timings(), packingMs);
    return reportRunAnalysis(slicer, s.profile.SliceThickness, &run, motionSettingsFrom(settings),
                             request.failOnIslands, false);
}

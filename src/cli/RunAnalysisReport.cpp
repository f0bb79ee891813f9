#include "cli/RunAnalysisReport.h"

#include <QJsonArray>
#include <cmath>
#include <cstdio>

#include "slicing/LayerAnalysis.h"

int reportRunAnalysis(const Slicer &slicer, double thicknessUm, const PackageDescription *package,
                      const MotionSettings &motion, bool failOnIslands, bool quiet)
{
    const LayerAnalysis *analysis = slicer.analysis();
    if (!analysis)
        return 0;
    const std::vector<IslandReport> islands = analysis->islands();
    if (!quiet) {
        QString estimate = "resin " + resinVolumeText(analysis->resinVolumeMl(thicknessUm));
        if (package)
            estimate += ", print time " + durationText(printTimeSeconds(*package, motion));
        std::printf("%s\n%s\n", qPrintable(estimate), qPrintable(islandSummary(islands)));
        std::fflush(stdout);
    }
    if (failOnIslands && !islands.empty()) {
        std::fprintf(stderr, "orvell3d-cli slice: %zu %s found (--fail-on-islands)\n", islands.size(),
                     islands.size() == 1 ? "island" : "islands");
        return 1;
    }
    return 0;
}

void addAnalysisFacts(QJsonObject *report, const Slicer &slicer, double thicknessUm,
                      const PackageDescription *package, const MotionSettings &motion)
{
    const LayerAnalysis *analysis = slicer.analysis();
    if (!analysis)
        return;
    auto rounded = [](double v, double unit) { return std::round(v / unit) * unit; };
    QJsonObject &r = *report;
    r["resinMl"] = rounded(analysis->resinVolumeMl(thicknessUm), 0.001);
    if (package)
        r["printTimeS"] = rounded(printTimeSeconds(*package, motion), 0.1);
    QJsonArray list;
    for (const IslandReport &i : analysis->islands()) {
        list.append(QJsonObject{{"layer", i.layerIndex},
                                {"heightMm", rounded(i.heightMm, 0.001)},
                                {"xMm", rounded(i.xMm, 0.01)},
                                {"yMm", rounded(i.yMm, 0.01)},
                                {"areaMm2", rounded(i.areaMm2, 0.0001)}});
    }
    r["islands"] = list;
}

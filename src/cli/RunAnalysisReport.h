#pragma once

#include <QJsonObject>

#include "config/EnvironmentSettings.h"
#include "package/PrintEstimate.h"
#include "slicing/Slicer.h"

// What 'orvell3d-cli slice' tells about a finished run beyond its layers: the resin it takes
// (and, for a package, the print time) and the islands it found.

// Prints the estimate line ("resin 12.34 ml, print time 1 h 05 min"; no time without a
// package) and the island line ("no islands", "3 islands: layer 120 at (12.4, −3.1) mm, …")
// on standard output, unless `quiet`. Returns the exit status: 1 (with one line on standard
// error) when `failOnIslands` and the run has islands, else 0. A run without analysis prints
// nothing and returns 0.
int reportRunAnalysis(const Slicer &slicer, double thicknessUm, const PackageDescription *package,
                      const MotionSettings &motion, bool failOnIslands, bool quiet);

// The same facts for --json: "resinMl", "printTimeS" (packages), "islands" [{layer, heightMm,
// xMm, yMm, areaMm2}].
void addAnalysisFacts(QJsonObject *report, const Slicer &slicer, double thicknessUm,
                      const PackageDescription *package, const MotionSettings &motion);

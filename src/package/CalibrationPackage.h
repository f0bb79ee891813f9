#pragma once

#include <QString>

#include <functional>

#include "config/CalibrationPlan.h"
#include "package/PackageFiles.h"

class Archiver;

// Writes the exposure calibration package at `packagePath` (the path as chosen; an older file
// there is replaced only once the new package is complete). The package has the layout of a
// print package: the layer images, five previews, parameters.ini and buildscript.ini, packed
// with the package password.
//
// parameters.ini describes the machine and material as `machine` does, with the calibration's
// own projector size, pixel size, thickness and exposures (normal time = the table's last
// entry, first layers = the base layers at the base exposure), so both text files agree.
// The previews show the first pattern image the right way up (the layer files are flipped).
// `progress`, when set, is called with the number of images written so far (0 … N).
// Returns false with a sentence in `error`; the working folder is then removed, unless
// archiving failed (the error names the folder that is kept).
bool writeCalibrationPackage(const CalibrationSettings &settings, const PackageDescription &machine,
                             int machineIndex, const QString &packagePath, const Archiver &archiver,
                             const std::function<void(int done, int total)> &progress, QString *error);

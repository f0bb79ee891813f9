#pragma once

#include <QString>
#include <vector>

#include "slicing/CrossSection.h"
#include "slicing/SliceParameters.h"

struct SliceRunOptions;

// The ranges a slicing run accepts. Values outside them come from damaged or mistyped
// settings, and they are refused up front: a Z scale of 1e30 % makes every step vanish and
// the run write layers until the disk is full; a pixel size of 1e-45 µm leaves every layer
// black while the run reports success.
namespace RunLimits {
constexpr int minProjectorPx = 1;
constexpr int maxProjectorPx = 16384;           // the largest LCD masks have about 15000 columns
constexpr double minPixelSizeUm = 1.0;
constexpr double maxPixelSizeUm = 1000.0;
constexpr double minScalePercent = -90.0;       // SliceScaleX/Y/Z and the profiles' compensation
constexpr double maxScalePercent = 100.0;
constexpr double maxThicknessUm = 10000.0;      // layer thickness, flex and variable steps
constexpr double maxBuildHeightMm = 1000.0;     // slicing range of a machine that names no Z limit
}

// Empty when the projector, pixel size and scale compensation lie in their ranges; otherwise
// one sentence that names the setting.
QString checkSliceParameterRanges(const SliceParameters &params);

// Empty when the thicknesses and the slicing range lie in their ranges and the objects can
// light a pixel of some layer; otherwise why the run would make nothing but black layers.
QString checkRunRanges(const std::vector<SliceObject> &objects, const SliceParameters &params,
                       const SliceRunOptions &options);

#pragma once

#include <vector>

#include "imaging/LayerChain.h"
#include "slicing/LitImage.h"

// The layer chain of LayerChain.h for images kept as their lit box. Every step gives the
// pixels of its whole-image counterpart; the box grows by what the step can reach (the
// outline pen, the dilation, the blur kernel) and the work follows the box, not the panel.

// The outline drawn in and ORed with the base, as drawContourAntialiasing().
LitImage drawContourAntialiasing(const LitImage &base, const std::vector<OutlineSegment> &outline,
                                 const PostProcessSettings &settings, bool secondExposureGroup);

// As dilateAndSmooth(): the result is 8-bit grey.
LitImage dilateAndSmooth(const LitImage &in, int dilationLevel, int smoothingLevel);

// 8-bit grey (a grey input is returned as it is).
LitImage toGrey(const LitImage &in);

// As packSubpixelRgb(): three grey pixels per RGB pixel, the last W mod 3 columns dropped.
LitImage packSubpixelRgb(const LitImage &in);

// The outline step and the storage steps, as applyOutlineStep() and prepareForStorage().
void applyOutlineStep(std::vector<LitImage> &images, int layerCode, bool secondExposureGroup,
                      const OutlineProvider &outline, const PostProcessSettings &settings);
std::vector<LitImage> prepareForStorage(const std::vector<LitImage> &images, int layerCode,
                                        bool secondExposureGroup, const PostProcessSettings &settings);

// The slicer's post-process hook for runs whose layers travel as their lit box.
LitPostProcess makeLitLayerPostProcess(const PostProcessSettings &settings, const SliceParameters &geometry);

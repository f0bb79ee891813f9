#pragma once

#include <vector>

#include "slicing/LayerImage.h"
#include "slicing/LitImage.h"

// The layer steps of LayerImage.h for images kept as their lit box: the same pixels, with the
// work done on the boxes only.

bool hasLitPixel(const LitImage &image);

// Red 0, green = the second group's cross-section, blue = the first group's.
LitImage mergeSecondExposure(const LitImage &firstGroup, const LitImage &secondGroup);

struct LitSupportSplit
{
    int code = LayerSingle;
    std::vector<LitImage> images;   // one, or two for code 2
};
// Classifies a layer as splitSupportExposure() does.
LitSupportSplit splitSupportExposure(const LitImage &models, const LitImage &supports);

// Left-right and/or top-bottom mirror: the box moves to the mirrored place.
LitImage mirrorLayer(const LitImage &image, bool horizontal, bool vertical);

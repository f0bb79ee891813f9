#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

#include "slicing/LitImage.h"   // litBoundingBox

// Islands: regions of a layer that rest on nothing. A region (8-connected lit pixels) of layer
// n is an island when none of its pixels lies over a lit pixel of layer n − 1; such a region
// cures loose in the vat instead of on the part. Layer images are 8-bit with one or three
// channels; a pixel is lit when any channel is above zero. A layer is kept as the runs of lit
// pixels along its rows, so black margins cost one quick scan and a large panel's layer takes
// a few kilobytes instead of a copy of its image.

// A run of lit pixels in one image row: columns [x0, x1).
struct LitRun
{
    int y;
    int x0;
    int x1;
};

// The lit pixels of one layer: the union over its images (a layer split for the support
// exposure has two, and both cure), as runs ordered by row, then column.
struct LayerFootprint
{
    cv::Rect box;                  // in layer-image pixels; empty: nothing lit
    std::vector<LitRun> runs;
    long long litPixels() const;
};

// `boxHint`, when not empty, is a rectangle known to hold every lit pixel (the renderer may
// know it); the images are then only looked at inside it.
LayerFootprint layerFootprint(const std::vector<cv::Mat> &images, cv::Rect boxHint = cv::Rect());
// The same for images kept as their lit box: only the boxes are looked at.
LayerFootprint litFootprint(const std::vector<LitImage> &images);

// One island in layer-image pixels (x to the right, y with the row).
struct IslandRegion
{
    cv::Rect box;
    cv::Point2d centroidPx;   // mean of its pixel centres
    int areaPx = 0;
};

// The regions of `upper` with no pixel over a lit pixel of `lower`, ordered by the top, then
// the left edge of their boxes.
std::vector<IslandRegion> findIslands(const LayerFootprint &lower, const LayerFootprint &upper);

#pragma once

#include <opencv2/core.hpp>

#include "slicing/LitImage.h"

// A step that needs the layers above a layer before it can finish it (hollowing, which looks
// wallLayers up and down). The slicer feeds it every layer's model image in order and holds
// each layer back until the stage has seen lookaheadLayers() more; memory stays bounded by
// that window.
class LayerStackStage
{
public:
    // An 8-bit mask that covers only box of a layer image (zero elsewhere).
    struct Region
    {
        cv::Rect box;
        cv::Mat mask;   // box-sized, 255 or 0; empty: nothing
    };
    // What the stage does to one finished layer: its pixels under the mask go dark.
    struct Change
    {
        int layerIndex = -1;
        Region dark;
    };

    virtual ~LayerStackStage() = default;

    virtual int lookaheadLayers() const = 0;
    // The per-layer work that needs no other layer. Any thread, any order. Pixels beyond the
    // image count as dark.
    virtual Region prepare(const cv::Mat &modelImage) const = 0;
    // The same for a layer kept as its lit box: everything outside the box is dark, so the
    // box's pixels alone give the same region.
    Region prepareLit(const LitImage &modelImage) const;
    // Takes layer n's prepared result, n = 0, 1, 2, … in order, one call at a time. Returns
    // the change for layer n − lookaheadLayers() (layerIndex -1 while there is none).
    virtual Change admit(int n, const Region &prepared) = 0;
    // Applies a change to a layer image in place (all channels). Any thread.
    static void apply(cv::Mat &image, const Change &change);
    // The same for a layer kept as its lit box; its pixels must be its own.
    static void applyLit(LitImage &image, const Change &change);
};

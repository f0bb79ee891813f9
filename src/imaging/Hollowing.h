#pragma once

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

#include "slicing/LayerStackStage.h"

// Hollowing a stack of layer images: each layer keeps a wall of wallPx pixels in X/Y and of
// wallLayers layers in Z around a cavity; optional pillars stand in the cavity.
struct HollowingSettings
{
    int wallPx = 0;            // X/Y wall, pixels
    int wallLayers = 0;        // Z wall, layers
    bool capBottom = true;     // layers 0 … wallLayers of the stack stay solid
    bool pillars = false;
    float pillarRadiusPx = 0.5f;
    float pillarPitchPx = 2.0f;
};

// Converts a wall in millimetres into pixels (from the X pixel size) and layers.
HollowingSettings hollowingFromMm(double wallMm, double pixelSizeUm, double layerThicknessUm);

// The structuring element of the X/Y erosion: a Euclidean disk, every pixel whose centre
// lies within wallPx of the centre, 255 inside, size (2 wallPx + 1)².
cv::Mat hollowKernel(int wallPx);

// A layer's mask eroded by the disk of radius wallPx. Only box holds lit pixels; mask is
// box-sized. Pixels beyond the image border count as dark, so a part cut by the border gets
// a wall there too.
using ErodedMask = LayerStackStage::Region;

// Lit = any channel above 0. litBox, when given, must hold every lit pixel (it saves a scan).
ErodedMask erodeLayer(const cv::Mat &image, int wallPx, cv::Rect litBox = cv::Rect());

// Filled circles of pillarRadiusPx at (i·pitch, j·pitch), i, j = 1, 2, … while the rounded
// width / pitch (height / pitch) exceeds i (j).
cv::Mat pillarMask(cv::Size size, float pillarRadiusPx, float pillarPitchPx);

// The running Z intersection. Layer k's interior is the AND of the eroded masks of every
// layer from k − wallLayers to k + wallLayers (below the stack counts as lit when the bottom
// is not capped), kept cheap by a per-pixel count of how many layers in a row are lit.
class HollowingStack : public LayerStackStage
{
public:
    HollowingStack(const HollowingSettings &settings, cv::Size layerSize);

    int lookaheadLayers() const override { return m_settings.wallLayers; }
    Region prepare(const cv::Mat &modelImage) const override;
    Change admit(int n, const Region &prepared) override { return push(n, prepared); }

    // For callers that erode themselves: takes layer n's mask (n in order).
    Change push(int n, const ErodedMask &eroded);

private:
    HollowingSettings m_settings;
    cv::Size m_size;
    cv::Mat m_pillars;   // empty without pillars
    cv::Mat m_runs;      // lit layers in a row ending at the last pushed layer (8 or 16 bits)
    cv::Rect m_runsBox;  // m_runs is zero outside it
};

// Hollows a whole stack in memory. cancelled() is asked before each layer; a cancelled run
// returns an empty list (no partial result). progress(n) after layer n is eroded.
std::vector<cv::Mat> hollowLayers(const std::vector<cv::Mat> &layers, const HollowingSettings &settings,
                                  const std::function<bool()> &cancelled = {},
                                  const std::function<void(int)> &progress = {});

#pragma once

#include <opencv2/core.hpp>

#include <cstddef>
#include <functional>
#include <vector>

#include "slicing/LayerImage.h"   // layer codes: LayerSingle, LayerNoModel, LayerSplitFirst
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"       // LayerPostProcess, LayerContext

// The post-processing switches for the layers of a run. The package export fills them
// from the chosen resin profile and the settings; plain slicing uses what the last export left.
struct PostProcessSettings
{
    int dilationLevel = 0;          // > 0 grow the lit area by that many pixels, < 0 shrink it
    int smoothingLevel = 0;         // > 0 Gaussian smoothing with a (2·level + 1)² kernel
    bool contourAntialiasing = false;
    int contourPenWidth = 1;        // pixels
    int contourPenGray = 255;       // grey of the outline pen, clamped to 0..255
    bool contrastCurve = false;     // lift grey outline pixels after the outline step
    bool verticalMirror = false;    // top-bottom
    bool horizontalMirror = false;  // left-right
    bool subpixelPacking = false;   // three grey pixels per RGB pixel (the 8.9" LCD model)
};

// One piece of a layer's cross-section outline in projector pixel coordinates: x grows to the
// right, y grows with the image row, and pixel (i, j) covers [i, i+1) × [j, j+1).
struct OutlineSegment
{
    cv::Point2f a;
    cv::Point2f b;
};

// Converts outline segments in millimetres (plate centre at the origin, two points of three
// floats each per segment, as the slicer's outline pass delivers them) into projector pixels.
std::vector<OutlineSegment> outlineToPixels(const float *xyzPairs, std::size_t segmentCount,
                                            int widthPx, int heightPx,
                                            double pixelSizeXUm, double pixelSizeYUm);

// Draws the outline with an antialiased pen of the given grey and width into a black canvas
// and ORs the base image over it: inside the mask the result stays white, outside only the
// grey outline pixels remain. A base without a second exposure group is made 8-bit grey
// first; a colour base keeps its channels and the pen is grey on every channel.
// The contrast curve, when on, is applied to the result.
cv::Mat drawContourAntialiasing(const cv::Mat &base, const std::vector<OutlineSegment> &outline,
                                const PostProcessSettings &settings, bool secondExposureGroup);

// Fetches the cross-section outline of the current layer; called only when the outline step
// needs it, because extracting it costs a GPU pass.
using OutlineProvider = std::function<std::vector<OutlineSegment>()>;

// The outline the run offers for a layer (context.outlineMm), in projector pixels. Both
// arguments must outlive the provider.
OutlineProvider layerOutlineInPixels(const LayerContext &context, const SliceParameters &geometry);

// The outline step, applied to the layer's images in place: with contour antialiasing on and
// a layer that holds a model (code other than LayerNoModel), the first image gets its outline drawn in.
void applyOutlineStep(std::vector<cv::Mat> &images, int layerCode, bool secondExposureGroup,
                      const OutlineProvider &outline, const PostProcessSettings &settings);

// What goes to disk for a layer whose outline step is done: the images to encode, in file order.
// - Without a second exposure group the first image is dilated/eroded and smoothed when the
//   levels ask for it, mirrored, and made 8-bit grey (or packed RGB with subpixel packing).
// - With a second exposure group the first image keeps its colours and is only mirrored.
// - A split layer's second image (LayerSplitFirst) is mirrored and made 8-bit grey, never
//   packed or smoothed.
std::vector<cv::Mat> prepareForStorage(const std::vector<cv::Mat> &images, int layerCode,
                                       bool secondExposureGroup, const PostProcessSettings &settings);

// The whole chain for one layer that goes to disk: outline step, then prepareForStorage.
// This is the function the slicer's post-process hook calls.
std::vector<cv::Mat> postProcessLayer(std::vector<cv::Mat> images, int layerCode, bool secondExposureGroup,
                                      const OutlineProvider &outline, const PostProcessSettings &settings);

// The slicer's post-process hook for a run with these settings: the outline step for every
// layer, and the storage steps for layers that go to disk. The projector geometry converts
// the slicer's outline (millimetres) to pixels.
LayerPostProcess makeLayerPostProcess(const PostProcessSettings &settings, const SliceParameters &geometry);

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "slicing/CrossSection.h"
#include "slicing/LitImage.h"
#include "slicing/SliceParameters.h"

// Cross-sections taken from the cut itself. Only the triangles that cross a cut plane decide
// a layer: each gives one segment of the section's outline, oriented by the triangle's winding
// so that the inside lies on its left. Filling the segments with the positive-winding rule
// gives the same image as the stencil pass, which counts back minus front faces below the cut
// and lights the pixels whose count stays above zero.

// One oriented piece of a cross-section's outline in layer-image pixels: x grows with the
// column, y with the row (row 0 is the smallest world y); pixel (i, j) has its centre at
// (i + 0.5, j + 0.5). The section's inside is on the left of a → b.
struct CutSegment
{
    float x0, y0, x1, y1;
};

// The segments of one layer, grouped by object (segments [objectEnd[k-1], objectEnd[k]) belong
// to the k-th group), so a filler can treat each closed outline on its own.
struct LayerSegments
{
    std::vector<CutSegment> segments;
    std::vector<std::size_t> objectEnds;
};

// The triangles of a run's objects, placed and sorted by their lowest point once, and an
// active set swept upward layer by layer: a cut visits only the triangles near it. Cuts may
// come in any order; a cut below the previous one starts the sweep again from the bottom.
// Not thread-safe; the results it hands out are plain values.
class CutSweep
{
public:
    CutSweep();
    ~CutSweep();

    // Places the objects as the stencil pass does (model matrix, sceneScale, the X/Y slice
    // scale, the plate-centred framebuffer with the read-back region's offset). Quick when
    // neither the objects nor the geometry changed since the last call.
    void prepare(const std::vector<SliceObject> &objects, const SliceParameters &params);

    // The oriented segments of the objects drawn in render mode `mode` (see isDrawnInMode and
    // drawnIndexCount) at cutZ, the cut height in normalised units as the schedule gives it.
    LayerSegments segments(float cutZ, int mode, const RenderFlags &flags);

    // Outline of the visible models at heightMm, as the stencil renderer's outline(): two
    // points of x, y, z in mm per segment (x and y after the slice scale), at most
    // maxOutlineSegments segments.
    std::vector<float> outline(float heightMm);

    // Cosines to straight down of the visible surfaces crossing cutZ that are within 70° of
    // horizontal.
    NormalRange sampleNormals(float cutZ);

    // Forgets the placed triangles.
    void clear();

    // Triangles in the last cut's active set (for the benchmarks).
    std::size_t activeTriangles() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Fills the segments into an 8-bit image (CV_8UC1, already sized; cleared first): 255 where the
// positive-winding count at the pixel centre is above zero, 0 elsewhere. Segments may reach
// beyond the image.
void fillCutSegments(const std::vector<CutSegment> &segments, cv::Mat &image);
// The same fill for a panel of `size`, stored as the box the segments can light: the pixels
// equal those fillCutSegments() gives, but the work follows the box, not the panel.
LitImage fillCutSegmentsLit(const std::vector<CutSegment> &segments, cv::Size size);

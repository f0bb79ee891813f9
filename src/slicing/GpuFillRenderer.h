#pragma once

#include <memory>

#include "slicing/CrossSection.h"

// Cross-sections on the GPU from the cut itself: the processor finds the segments where the
// triangles cross the cut (see CutSweep), and the graphics card fills them into the stencil
// buffer as one triangle fan per object (each segment's triangle counts up or down by its
// facing, so the count is the outline's winding number), then paints white where the count is
// above zero in a single full-area pass. Only the few triangles at the cut are drawn, once,
// instead of the whole scene three times; clears and draws stay inside the read-back region.
//
// The colour texture of each render mode has the stencil pass's layout (E × E, the projector
// region centred), so the 3D view can show the cut the same way. Uses the GL context current at
// each call; destroy it, or call releaseGpuResources(), with that context current.
class GpuFillRenderer : public CrossSectionRenderer
{
public:
    GpuFillRenderer();
    ~GpuFillRenderer() override;

    bool configure(const SliceParameters &params, QString *error) override;
    const SliceParameters &parameters() const override;
    bool render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                cv::Mat *image, QString *error) override;
    std::vector<float> outline(const std::vector<SliceObject> &objects, float heightMm) override;
    NormalRange sampleNormals(const std::vector<SliceObject> &objects, float cutZ) override;
    // Keeps the textures (the view shows the last cut).
    void endRun() override;
    Timings timings() const override;

    bool hasOutlineLater() const override { return true; }
    std::function<std::vector<float>()> outlineLater(const std::vector<SliceObject> &objects,
                                                     float heightMm) override;

    unsigned int textureId(int mode) const override;
    void releaseGpuResources() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

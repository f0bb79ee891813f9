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

    // The colour texture of render mode m (0 until that mode has been rendered), as the
    // stencil renderer's: a read-back render updates its centred projector-size region.
    unsigned int textureId(int mode) const override;
    void releaseGpuResources() override;

    // Whether read-back renders also update the view's textures (the default). Without a view
    // (a headless run) they go to a projector-size target of one byte per pixel instead, which
    // takes less memory and time to paint and read back.
    void setViewTextures(bool on);

    // The largest tile edge, pixels. Layers larger than the driver's framebuffer limit are drawn
    // and read back in tiles of at most this size (and of at most the limit); 0 (the default)
    // takes the limit alone, or the environment variable ORVELL3D_GPU_TILE_PX when it is set.
    // The view textures are then left out: they would need a framebuffer 1.5 times as wide.
    void setMaxTilePx(int px);
    // The tile size the next read-back render uses, width × height.
    int tileWidthPx() const;
    int tileHeightPx() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

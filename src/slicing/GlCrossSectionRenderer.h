#pragma once

#include <memory>

#include "slicing/CrossSection.h"

// The stencil-counting cross-section pass on the GPU. For every pixel it counts the back
// faces minus the front faces of the geometry below the cut plane (three draws of the
// scene: count up, count down, paint where the count is not 0), so a closed mesh comes out
// filled and overlapping meshes as their union.
//
// Uses the GL context current at each call: the window's GL widget or a headless GlContext.
// GPU resources (meshes, textures, the framebuffer) belong to that context; destroy the
// renderer, or call releaseGpuResources(), with it current.
class GlCrossSectionRenderer : public CrossSectionRenderer
{
public:
    GlCrossSectionRenderer();
    ~GlCrossSectionRenderer() override;

    bool configure(const SliceParameters &params, QString *error) override;
    const SliceParameters &parameters() const override;
    bool render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                cv::Mat *image, QString *error) override;
    std::vector<float> outline(const std::vector<SliceObject> &objects, float heightMm) override;
    NormalRange sampleNormals(const std::vector<SliceObject> &objects, float cutZ) override;
    // Keeps the textures (the view shows the last cut) and the mesh copies.
    void endRun() override;
    Timings timings() const override;

    // The colour texture of render mode m (E × E RGBA, E = framebufferEdge()), for showing the
    // cut in the 3D view; 0 until that mode has been rendered. A read-back render updates only
    // the centred projector-size region; a render without read-back updates all of it.
    unsigned int textureId(int mode) const;

    // Drops the framebuffer, the textures and the mesh copies kept between renders (the
    // meshes come back on the next render). A run calls it when it ends.
    void releaseGpuResources();

    // Limits of the current context, pixels: the smallest of the renderbuffer, texture and
    // viewport limits. 0 when no context is current.
    static int maxFramebufferEdge();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

#pragma once

#include <memory>

#include "slicing/CrossSection.h"

struct CutSegment;

// Cross-sections on the processor: the cut's segments (see CutSweep) filled line by line with
// the positive-winding rule straight into the 8-bit layer image. Needs no GL context, so it
// also slices on machines without a graphics driver. The images match the stencil pass's up to
// single pixels on the outline.
//
// The filling can be handed to worker threads (renderLater), and outlines can be computed off
// this thread (outlineLater), so a run may process several layers at once.
class CpuFillRenderer : public CrossSectionRenderer
{
public:
    CpuFillRenderer();
    ~CpuFillRenderer() override;

    bool configure(const SliceParameters &params, QString *error) override;
    const SliceParameters &parameters() const override;
    // Without flags.readBack there is no texture to update: true, and *image stays empty.
    bool render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                cv::Mat *image, QString *error) override;
    std::vector<float> outline(const std::vector<SliceObject> &objects, float heightMm) override;
    NormalRange sampleNormals(const std::vector<SliceObject> &objects, float cutZ) override;
    void endRun() override;
    Timings timings() const override;

    std::function<cv::Mat()> renderLater(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                         const RenderFlags &flags) override;
    std::function<LitImage()> renderLitLater(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                             const RenderFlags &flags) override;
    bool hasOutlineLater() const override { return true; }
    std::function<std::vector<float>()> outlineLater(const std::vector<SliceObject> &objects,
                                                     float heightMm) override;

    // Largest image this renderer makes: a side of 32768 pixels, 2^28 pixels in all (a
    // quarter of a gigabyte per layer image).
    static constexpr int maxImageSide = 32768;
    static constexpr double maxImagePixels = 1 << 28;

private:
    // The cut's segments for a later fill; null when the renderer cannot cut in that mode.
    std::shared_ptr<std::vector<CutSegment>> takeSegments(const std::vector<SliceObject> &objects, float cutZ,
                                                          int mode, const RenderFlags &flags);

    struct Private;
    std::unique_ptr<Private> d;
};

#pragma once

#include <QString>
#include <memory>

#include "slicing/CrossSection.h"

// The cross-section renderers a run can use. All make the same images (up to single pixels on
// the outline); they differ in speed and in what they need.
enum class RendererKind {
    Reference,   // the stencil pass over the whole scene (GlCrossSectionRenderer); needs GL
    GpuFill,     // the cut's segments filled in the stencil buffer (GpuFillRenderer); needs GL
    CpuFill,     // the cut's segments filled on the processor (CpuFillRenderer); no GL
};

// "reference", "gpu", "cpu": the names orvell3d-cli's --renderer takes.
QString rendererKindName(RendererKind kind);
bool parseRendererKind(const QString &name, RendererKind *kind);

// Whether the renderer draws with the current GL context (the caller must provide one).
bool rendererNeedsGl(RendererKind kind);

// With `headless`, no 3D view will show the cut, so the renderer keeps no view textures.
std::unique_ptr<CrossSectionRenderer> makeCrossSectionRenderer(RendererKind kind, bool headless = false);

// True for GL drivers that rasterise on the processor (llvmpipe, softpipe, …), from the
// GL_RENDERER text.
bool isSoftwareGlRenderer(const QString &glRendererText);

// The fastest renderer on this machine for a headless run. With a hardware GL driver that is the
// GPU fill: it takes the filling off the processor, which also has to post-process and encode
// the layers. Without one (no driver, or one that rasterises on the processor itself) it is the
// processor fill, which fills on every core and needs no GL at all. Makes a short-lived headless
// context to find out, so call it with no GL context current; the window, whose context is its
// own, uses the GPU fill.
RendererKind fastestAvailableRenderer();

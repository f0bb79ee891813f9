#include <epoxy/gl.h>

#include "slicing/RendererFactory.h"

#include "slicing/CpuFillRenderer.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GpuFillRenderer.h"

QString rendererKindName(RendererKind kind)
{
    switch (kind) {
    case RendererKind::Reference: return QStringLiteral("reference");
    case RendererKind::GpuFill: return QStringLiteral("gpu");
    case RendererKind::CpuFill: return QStringLiteral("cpu");
    }
    return QString();
}

bool parseRendererKind(const QString &name, RendererKind *kind)
{
    for (RendererKind k : {RendererKind::Reference, RendererKind::GpuFill, RendererKind::CpuFill}) {
        if (name == rendererKindName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

bool rendererNeedsGl(RendererKind kind)
{
    return kind != RendererKind::CpuFill;
}

std::unique_ptr<CrossSectionRenderer> makeCrossSectionRenderer(RendererKind kind, bool headless)
{
    switch (kind) {
    case RendererKind::Reference: return std::make_unique<GlCrossSectionRenderer>();
    case RendererKind::GpuFill: {
        auto gpu = std::make_unique<GpuFillRenderer>();
        gpu->setViewTextures(!headless);
        return gpu;
    }
    case RendererKind::CpuFill: return std::make_unique<CpuFillRenderer>();
    }
    return nullptr;
}

bool isSoftwareGlRenderer(const QString &text)
{
    static const char *const names[] = {"llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"};
    for (const char *n : names) {
        if (text.contains(QLatin1String(n), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

RendererKind fastestAvailableRenderer()
{
    QString error;
    const std::unique_ptr<GlContext> probe = GlContext::createCurrent(&error);
    if (!probe)
        return RendererKind::CpuFill;
    const auto *text = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    const bool software = !text || isSoftwareGlRenderer(QString::fromUtf8(text));
    return software ? RendererKind::CpuFill : RendererKind::GpuFill;
}

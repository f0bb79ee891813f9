#include "slicing/CpuFillRenderer.h"

#include <QElapsedTimer>

#include "slicing/CutSegments.h"

struct CpuFillRenderer::Private
{
    SliceParameters params;
    bool configured = false;
    CutSweep sweep;
    Timings timings;
};

CpuFillRenderer::CpuFillRenderer() : d(new Private) {}

CpuFillRenderer::~CpuFillRenderer() = default;

bool CpuFillRenderer::configure(const SliceParameters &params, QString *error)
{
    d->configured = false;
    QString bad = params.check();
    if (bad.isEmpty()
        && (params.projectorWidthPx > maxImageSide || params.projectorHeightPx > maxImageSide
            || double(params.projectorWidthPx) * params.projectorHeightPx > maxImagePixels))
        bad = QString("The projector size %1 × %2 is too large for layer images.")
                  .arg(params.projectorWidthPx)
                  .arg(params.projectorHeightPx);
    if (!bad.isEmpty()) {
        if (error)
            *error = bad;
        return false;
    }
    d->params = params;
    d->configured = true;
    return true;
}

const SliceParameters &CpuFillRenderer::parameters() const
{
    return d->params;
}

bool CpuFillRenderer::render(const std::vector<SliceObject> &objects, float cutZ, int mode, const RenderFlags &flags,
                             cv::Mat *image, QString *error)
{
    if (image)
        *image = cv::Mat();
    if (!d->configured || mode < 0 || mode > 2) {
        if (error)
            *error = d->configured ? QString("Unknown render mode %1.").arg(mode)
                                   : QString("The slicer has no projector size.");
        return false;
    }
    if (!flags.readBack || !image)
        return true;
    QElapsedTimer clock;
    clock.start();
    *image = renderLater(objects, cutZ, mode, flags)();
    d->timings.drawMs += double(clock.nsecsElapsed()) / 1e6;
    return true;
}

std::shared_ptr<std::vector<CutSegment>> CpuFillRenderer::takeSegments(const std::vector<SliceObject> &objects,
                                                                        float cutZ, int mode, const RenderFlags &flags)
{
    if (!d->configured || mode < 0 || mode > 2)
        return nullptr;
    QElapsedTimer clock;
    clock.start();
    d->sweep.prepare(objects, d->params);
    auto segments = std::make_shared<std::vector<CutSegment>>(d->sweep.segments(cutZ, mode, flags).segments);
    d->timings.drawMs += double(clock.nsecsElapsed()) / 1e6;
    return segments;
}

std::function<cv::Mat()> CpuFillRenderer::renderLater(const std::vector<SliceObject> &objects, float cutZ, int mode,
                                                      const RenderFlags &flags)
{
    auto segments = takeSegments(objects, cutZ, mode, flags);
    if (!segments)
        return {};
    const int w = d->params.projectorWidthPx, h = d->params.projectorHeightPx;
    return [segments, w, h]() {
        cv::Mat image(h, w, CV_8UC1);
        fillCutSegments(*segments, image);
        return image;
    };
}

std::function<LitImage()> CpuFillRenderer::renderLitLater(const std::vector<SliceObject> &objects, float cutZ,
                                                         int mode, const RenderFlags &flags)
{
    auto segments = takeSegments(objects, cutZ, mode, flags);
    if (!segments)
        return {};
    const cv::Size size(d->params.projectorWidthPx, d->params.projectorHeightPx);
    return [segments, size]() { return fillCutSegmentsLit(*segments, size); };
}

std::vector<float> CpuFillRenderer::outline(const std::vector<SliceObject> &objects, float heightMm)
{
    if (!d->configured)
        return {};
    d->sweep.prepare(objects, d->params);
    return d->sweep.outline(heightMm);
}

std::function<std::vector<float>()> CpuFillRenderer::outlineLater(const std::vector<SliceObject> &objects,
                                                                  float heightMm)
{
    // Taking the outline costs about as much as remembering where to take it.
    auto segments = std::make_shared<const std::vector<float>>(outline(objects, heightMm));
    return [segments]() { return *segments; };
}

NormalRange CpuFillRenderer::sampleNormals(const std::vector<SliceObject> &objects, float cutZ)
{
    if (!d->configured)
        return {};
    d->sweep.prepare(objects, d->params);
    return d->sweep.sampleNormals(cutZ);
}

void CpuFillRenderer::endRun()
{
    // The placed triangles are only worth keeping while a run goes on.
    d->sweep.clear();
}

CrossSectionRenderer::Timings CpuFillRenderer::timings() const
{
    return d->timings;
}

#include "imaging/LayerChain.h"

#include "imaging/ImageOps.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// The chain's own images are usually grey already; spare them another copy.
cv::Mat greyView(const cv::Mat &m)
{
    return m.type() == CV_8UC1 ? m : toGrey(m);
}

} // namespace

std::vector<OutlineSegment> outlineToPixels(const float *xyzPairs, std::size_t segmentCount,
                                            int widthPx, int heightPx,
                                            double pixelSizeXUm, double pixelSizeYUm)
{
    std::vector<OutlineSegment> out;
    if (!xyzPairs || pixelSizeXUm <= 0 || pixelSizeYUm <= 0)
        return out;
    out.reserve(segmentCount);
    const double halfX = widthPx * pixelSizeXUm / 2000.0;
    const double halfY = heightPx * pixelSizeYUm / 2000.0;
    auto toPixel = [&](const float *p) {
        return cv::Point2f(static_cast<float>((p[0] + halfX) * 1000.0 / pixelSizeXUm),
                           static_cast<float>((p[1] + halfY) * 1000.0 / pixelSizeYUm));
    };
    for (std::size_t i = 0; i < segmentCount; ++i) {
        const float *s = xyzPairs + i * 6;
        out.push_back({toPixel(s), toPixel(s + 3)});
    }
    return out;
}

cv::Mat drawContourAntialiasing(const cv::Mat &base, const std::vector<OutlineSegment> &outline,
                                const PostProcessSettings &settings, bool secondExposureGroup)
{
    if (base.empty())
        return cv::Mat();
    cv::Mat layer = secondExposureGroup ? base : greyView(base);
    if (layer.depth() != CV_8U)
        layer.convertTo(layer, CV_8U);

    const int grey = std::clamp(settings.contourPenGray, 0, 255);
    const int width = std::max(1, settings.contourPenWidth);
    cv::Mat canvas = cv::Mat::zeros(layer.size(), layer.type());
    if (grey > 0) {
        // Sub-pixel end points: OpenCV puts pixel centres on integer coordinates, the outline
        // puts them at i + 0.5, hence the half-pixel shift.
        constexpr int shiftBits = 4;
        constexpr float one = 1 << shiftBits;
        const float limit = 4.0f * std::max(layer.cols, layer.rows);
        auto fixed = [&](cv::Point2f p) {
            const float x = std::clamp(p.x - 0.5f, -limit, limit);
            const float y = std::clamp(p.y - 0.5f, -limit, limit);
            return cv::Point(static_cast<int>(std::lround(x * one)), static_cast<int>(std::lround(y * one)));
        };
        const cv::Scalar colour(grey, grey, grey, 255);
        for (const OutlineSegment &s : outline) {
            if (!std::isfinite(s.a.x) || !std::isfinite(s.a.y) || !std::isfinite(s.b.x) || !std::isfinite(s.b.y))
                continue;
            cv::line(canvas, fixed(s.a), fixed(s.b), colour, width, cv::LINE_AA, shiftBits);
        }
    }
    cv::Mat result;
    cv::bitwise_or(canvas, layer, result);
    if (settings.contrastCurve)
        result = applyContrastCurve(result);
    return result;
}

void applyOutlineStep(std::vector<cv::Mat> &images, int layerCode, bool secondExposureGroup,
                      const OutlineProvider &outline, const PostProcessSettings &settings)
{
    if (!settings.contourAntialiasing || layerCode == LayerNoModel || images.empty())
        return;
    const std::vector<OutlineSegment> segments = outline ? outline() : std::vector<OutlineSegment>();
    images.front() = drawContourAntialiasing(images.front(), segments, settings, secondExposureGroup);
}

std::vector<cv::Mat> prepareForStorage(const std::vector<cv::Mat> &images, int layerCode,
                                       bool secondExposureGroup, const PostProcessSettings &settings)
{
    std::vector<cv::Mat> out;
    if (images.empty())
        return out;
    const bool h = settings.horizontalMirror;
    const bool v = settings.verticalMirror;
    if (secondExposureGroup) {
        // Colour layers skip the grey treatments, but still follow the optical path: an
        // unmirrored layer would print as the mirror image of the model.
        out.push_back(mirrorLayer(images.front(), h, v));
    } else {
        cv::Mat first = images.front();
        if (settings.dilationLevel != 0 || settings.smoothingLevel != 0)
            first = dilateAndSmooth(first, settings.dilationLevel, settings.smoothingLevel);
        first = mirrorLayer(first, h, v);
        out.push_back(settings.subpixelPacking ? packSubpixelRgb(first) : greyView(first));
    }
    if (layerCode == LayerSplitFirst && images.size() > 1)
        out.push_back(greyView(mirrorLayer(images[1], h, v)));
    return out;
}

std::vector<cv::Mat> postProcessLayer(std::vector<cv::Mat> images, int layerCode, bool secondExposureGroup,
                                      const OutlineProvider &outline, const PostProcessSettings &settings)
{
    applyOutlineStep(images, layerCode, secondExposureGroup, outline, settings);
    return prepareForStorage(images, layerCode, secondExposureGroup, settings);
}

OutlineProvider layerOutlineInPixels(const LayerContext &context, const SliceParameters &geometry)
{
    return [&context, &geometry]() {
        if (!context.outlineMm)
            return std::vector<OutlineSegment>();
        const std::vector<float> mm = context.outlineMm();
        return outlineToPixels(mm.data(), mm.size() / 6, geometry.projectorWidthPx, geometry.projectorHeightPx,
                               geometry.pixelSizeXUm, geometry.pixelSizeYUm);
    };
}

LayerPostProcess makeLayerPostProcess(const PostProcessSettings &settings, const SliceParameters &geometry)
{
    return [settings, geometry](std::vector<cv::Mat> images, const LayerContext &context) {
        const OutlineProvider outline = layerOutlineInPixels(context, geometry);
        applyOutlineStep(images, context.layerCode, context.secondExposureGroup, outline, settings);
        if (!context.forStorage)
            return images;
        return prepareForStorage(images, context.layerCode, context.secondExposureGroup, settings);
    };
}

#include "imaging/LitLayerChain.h"

#include "imaging/ImageOps.h"
#include "slicing/LitLayerSteps.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// As the whole-image operations clamp their levels: by the panel, not the box.
int clampLevel(int level, cv::Size size)
{
    const int limit = std::max(size.width, size.height);
    return std::clamp(level, -limit, limit);
}

cv::Mat ellipse(int radius)
{
    const int k = 2 * radius + 1;
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k));
}

LitImage withPixels(const LitImage &like, const cv::Rect &box, const cv::Mat &pixels)
{
    LitImage out = LitImage::blackImage(like.size, pixels.type());
    out.box = box;
    out.pixels = pixels;
    return out;
}

} // namespace

LitImage toGrey(const LitImage &in)
{
    if (in.type == CV_8UC1)
        return in;
    LitImage out = LitImage::blackImage(in.size, CV_8UC1);
    out.box = in.box;
    if (!in.black())
        out.pixels = toGrey(in.pixels);
    return out;
}

LitImage drawContourAntialiasing(const LitImage &base, const std::vector<OutlineSegment> &outline,
                                 const PostProcessSettings &settings, bool secondExposureGroup)
{
    if (base.empty())
        return base;
    const LitImage layer = secondExposureGroup ? base : toGrey(base);
    const int grey = std::clamp(settings.contourPenGray, 0, 255);
    const int width = std::max(1, settings.contourPenWidth);
    const cv::Rect panel(0, 0, layer.size.width, layer.size.height);

    // The same fixed-point end points as on the whole image, then the region they can touch:
    // the pen's half width and the antialiasing fringe around them.
    constexpr int shiftBits = 4;
    constexpr float one = 1 << shiftBits;
    const float limit = 4.0f * std::max(layer.size.width, layer.size.height);
    auto fixed = [&](cv::Point2f p) {
        const float x = std::clamp(p.x - 0.5f, -limit, limit);
        const float y = std::clamp(p.y - 0.5f, -limit, limit);
        return cv::Point(static_cast<int>(std::lround(x * one)), static_cast<int>(std::lround(y * one)));
    };
    std::vector<std::pair<cv::Point, cv::Point>> lines;
    cv::Rect region = layer.box;
    if (grey > 0) {
        const int margin = width / 2 + 3;
        for (const OutlineSegment &s : outline) {
            if (!std::isfinite(s.a.x) || !std::isfinite(s.a.y) || !std::isfinite(s.b.x) || !std::isfinite(s.b.y))
                continue;
            const cv::Point a = fixed(s.a), b = fixed(s.b);
            lines.push_back({a, b});
            const int x0 = (std::min(a.x, b.x) >> shiftBits) - margin, x1 = (std::max(a.x, b.x) >> shiftBits) + margin + 1;
            const int y0 = (std::min(a.y, b.y) >> shiftBits) - margin, y1 = (std::max(a.y, b.y) >> shiftBits) + margin + 1;
            const cv::Rect reach = cv::Rect(cv::Point(x0, y0), cv::Point(x1, y1)) & panel;
            if (!reach.empty())
                region = region.empty() ? reach : (region | reach);
        }
    }
    if (region.empty())
        return layer;
    cv::Mat canvas = scratchMat(region.size(), layer.type);
    canvas.setTo(0);
    const cv::Scalar colour(grey, grey, grey, 255);
    const cv::Point shift(region.x << shiftBits, region.y << shiftBits);
    for (const auto &l : lines)
        cv::line(canvas, l.first - shift, l.second - shift, colour, width, cv::LINE_AA, shiftBits);
    cv::Mat result = layer.crop(region);
    cv::bitwise_or(canvas, result, result);
    if (settings.contrastCurve) {
        const std::array<uchar, 256> &table = contrastCurveTable();
        cv::LUT(result, cv::Mat(1, 256, CV_8U, const_cast<uchar *>(table.data())), result);
    }
    return withPixels(layer, region, result);
}

LitImage dilateAndSmooth(const LitImage &in, int dilationLevel, int smoothingLevel)
{
    LitImage m = toGrey(in);
    if (m.empty() || m.black())
        return m;
    const int d = clampLevel(dilationLevel, m.size);
    if (d != 0) {
        // Real black pixels around the box, so the morphology sees what the panel holds there;
        // only at the panel's edge does the border rule apply, as on the whole image. (The
        // work buffers are views into larger ones: their borders are their own, not the
        // memory around them.)
        const cv::Rect padded = m.grownBox(std::abs(d));
        cv::Mat work = m.crop(padded);
        if (d > 0) {
            cv::dilate(work, work, ellipse(d), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED,
                       cv::morphologyDefaultBorderValue());
            m = withPixels(m, padded, work);
        } else {
            cv::erode(work, work, ellipse(-d), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT | cv::BORDER_ISOLATED,
                      cv::morphologyDefaultBorderValue());
            m.pixels = scratchMat(m.box.size(), CV_8UC1);   // erosion lights nothing new
            work(m.box - padded.tl()).copyTo(m.pixels);
        }
    }
    const int s = clampLevel(smoothingLevel, m.size);
    if (s > 0) {
        // The mirrored border reads pixels 1 … s inside the box's edge: black there, as
        // around it, with one more black pixel than the kernel's reach.
        const cv::Rect padded = m.grownBox(s + 1);
        cv::Mat work = m.crop(padded);
        cv::Mat out = scratchMat(work.size(), CV_8UC1);
        const int k = 2 * s + 1;
        cv::GaussianBlur(work, out, cv::Size(k, k), 0, 0, cv::BORDER_REFLECT_101 | cv::BORDER_ISOLATED);
        m = withPixels(m, padded, out);
    }
    return m;
}

LitImage packSubpixelRgb(const LitImage &in)
{
    const LitImage grey = toGrey(in);
    const int packedWidth = grey.size.width / 3;
    LitImage out = LitImage::blackImage(cv::Size(packedWidth, grey.size.height), CV_8UC3);
    if (packedWidth == 0 || grey.black())
        return out;
    // Whole RGB pixels: the box widened to multiples of three, without the dropped columns.
    const int x0 = grey.box.x / 3 * 3;
    const int x1 = std::min((grey.box.x + grey.box.width + 2) / 3 * 3, packedWidth * 3);
    if (x1 <= x0)
        return out;
    const cv::Rect region(x0, grey.box.y, x1 - x0, grey.box.height);
    out.box = cv::Rect(x0 / 3, grey.box.y, (x1 - x0) / 3, grey.box.height);
    out.pixels = grey.crop(region).reshape(3, region.height);
    return out;
}

void applyOutlineStep(std::vector<LitImage> &images, int layerCode, bool secondExposureGroup,
                      const OutlineProvider &outline, const PostProcessSettings &settings)
{
    if (!settings.contourAntialiasing || layerCode == LayerNoModel || images.empty())
        return;
    const std::vector<OutlineSegment> segments = outline ? outline() : std::vector<OutlineSegment>();
    images.front() = drawContourAntialiasing(images.front(), segments, settings, secondExposureGroup);
}

std::vector<LitImage> prepareForStorage(const std::vector<LitImage> &images, int layerCode,
                                        bool secondExposureGroup, const PostProcessSettings &settings)
{
    std::vector<LitImage> out;
    if (images.empty())
        return out;
    const bool h = settings.horizontalMirror;
    const bool v = settings.verticalMirror;
    if (secondExposureGroup) {
        out.push_back(mirrorLayer(images.front(), h, v));
    } else {
        LitImage first = images.front();
        if (settings.dilationLevel != 0 || settings.smoothingLevel != 0)
            first = dilateAndSmooth(first, settings.dilationLevel, settings.smoothingLevel);
        first = mirrorLayer(first, h, v);
        out.push_back(settings.subpixelPacking ? packSubpixelRgb(first) : toGrey(first));
    }
    if (layerCode == LayerSplitFirst && images.size() > 1)
        out.push_back(toGrey(mirrorLayer(images[1], h, v)));
    return out;
}

LitPostProcess makeLitLayerPostProcess(const PostProcessSettings &settings, const SliceParameters &geometry)
{
    return [settings, geometry](std::vector<LitImage> images, const LayerContext &context) {
        const OutlineProvider outline = layerOutlineInPixels(context, geometry);
        applyOutlineStep(images, context.layerCode, context.secondExposureGroup, outline, settings);
        if (!context.forStorage)
            return images;
        return prepareForStorage(images, context.layerCode, context.secondExposureGroup, settings);
    };
}

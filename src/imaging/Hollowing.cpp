#include "imaging/Hollowing.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

HollowingSettings hollowingFromMm(double wallMm, double pixelSizeUm, double layerThicknessUm)
{
    HollowingSettings s;
    if (wallMm > 0 && pixelSizeUm > 0)
        s.wallPx = int(std::lround(wallMm * 1000.0 / pixelSizeUm));
    if (wallMm > 0 && layerThicknessUm > 0)
        s.wallLayers = int(std::lround(wallMm * 1000.0 / layerThicknessUm));
    return s;
}

cv::Mat hollowKernel(int wallPx)
{
    const int r = std::max(0, wallPx);
    cv::Mat k = cv::Mat::zeros(2 * r + 1, 2 * r + 1, CV_8UC1);
    for (int y = -r; y <= r; ++y)
        for (int x = -r; x <= r; ++x)
            if (x * x + y * y <= r * r)
                k.at<uchar>(y + r, x + r) = 255;
    return k;
}

namespace {

cv::Mat litOf(const cv::Mat &image)
{
    if (image.channels() == 1)
        return image;
    std::vector<cv::Mat> channels;
    cv::split(image, channels);
    cv::Mat lit = channels[0];
    for (std::size_t c = 1; c < channels.size(); ++c)
        lit = cv::max(lit, channels[c]);
    return lit;
}

} // namespace

ErodedMask erodeLayer(const cv::Mat &image, int wallPx, cv::Rect litBox)
{
    ErodedMask out;
    if (image.empty())
        return out;
    const cv::Rect whole(0, 0, image.cols, image.rows);
    litBox = litBox.empty() ? whole : (litBox & whole);
    const cv::Mat lit = litOf(image(litBox));
    const cv::Rect inner = cv::boundingRect(lit);   // of the non-zero pixels
    if (inner.empty())
        return out;
    const cv::Rect box(inner.x + litBox.x, inner.y + litBox.y, inner.width, inner.height);
    const int r = std::max(0, wallPx);
    // A pixel survives when no dark pixel lies within r: its distance to the nearest dark
    // pixel, exact (Euclidean), is above r. One frame of dark pixels around the box stands
    // for everything outside it; the nearest dark pixel outside is never closer than the frame.
    cv::Mat framed;
    cv::copyMakeBorder(image(box).channels() == 1 ? image(box) : litOf(image(box)), framed, 1, 1, 1, 1,
                       cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::Mat survived;
    if (r == 0) {
        survived = framed != 0;
    } else {
        cv::Mat distance;
        cv::distanceTransform(framed != 0, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
        survived = distance > float(r);
    }
    // Nothing within r of the box edge survives.
    const cv::Rect kept(box.x + r, box.y + r, box.width - 2 * r, box.height - 2 * r);
    if (kept.width <= 0 || kept.height <= 0)
        return out;
    out.box = kept;
    out.mask = survived(cv::Rect(1 + r, 1 + r, kept.width, kept.height)).clone();
    return out;
}

cv::Mat pillarMask(cv::Size size, float pillarRadiusPx, float pillarPitchPx)
{
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    if (!(pillarPitchPx > 0))
        return mask;
    const int radius = int(pillarRadiusPx);
    for (int i = 1; std::lround(size.width / pillarPitchPx) > i; ++i)
        for (int j = 1; std::lround(size.height / pillarPitchPx) > j; ++j)
            cv::circle(mask, cv::Point(int(float(i) * pillarPitchPx), int(float(j) * pillarPitchPx)), radius,
                       cv::Scalar(255), cv::FILLED, cv::LINE_8);
    return mask;
}

HollowingStack::HollowingStack(const HollowingSettings &settings, cv::Size layerSize)
    : m_settings(settings), m_size(layerSize)
{
    m_settings.wallPx = std::max(0, m_settings.wallPx);
    m_settings.wallLayers = std::clamp(m_settings.wallLayers, 0, 30000);
    if (m_settings.pillars)
        m_pillars = pillarMask(layerSize, m_settings.pillarRadiusPx, m_settings.pillarPitchPx);
    m_runs = cv::Mat::zeros(layerSize, CV_16UC1);
}

LayerStackStage::Region HollowingStack::prepare(const cv::Mat &modelImage) const
{
    return erodeLayer(modelImage, m_settings.wallPx);
}

LayerStackStage::Change HollowingStack::push(int n, const ErodedMask &eroded)
{
    const cv::Rect whole(0, 0, m_size.width, m_size.height);
    const cv::Rect box = eroded.box & whole;
    // runs = runs + 1 where this layer's mask is lit, 0 elsewhere.
    cv::Mat next = cv::Mat::zeros(box.size(), CV_16UC1);
    if (!box.empty())
        cv::add(m_runs(box), cv::Scalar(1), next, eroded.mask(cv::Rect(box.x - eroded.box.x, box.y - eroded.box.y,
                                                                        box.width, box.height)));
    if (!m_runsBox.empty())
        m_runs(m_runsBox).setTo(0);
    if (!box.empty())
        next.copyTo(m_runs(box));
    m_runsBox = box;

    Change change;
    const int wall = m_settings.wallLayers;
    const int k = n - wall;
    if (k < 0)
        return change;
    change.layerIndex = k;
    if (m_settings.capBottom && k <= wall)
        return change;   // the floor of the stack stays solid
    if (box.empty())
        return change;
    // Every layer of the window, clipped at the bottom of the stack, must be lit.
    const int window = std::min(2 * wall + 1, n + 1);
    cv::Mat interior = m_runs(box) >= window;
    if (!m_pillars.empty())
        interior.setTo(0, m_pillars(box));
    if (cv::countNonZero(interior) == 0)
        return change;
    change.dark.box = box;
    change.dark.mask = interior;
    return change;
}

std::vector<cv::Mat> hollowLayers(const std::vector<cv::Mat> &layers, const HollowingSettings &settings,
                                  const std::function<bool()> &cancelled, const std::function<void(int)> &progress)
{
    if (layers.empty())
        return {};
    HollowingStack stack(settings, layers.front().size());
    std::vector<cv::Mat> out(layers.begin(), layers.end());
    for (int n = 0; n < int(layers.size()); ++n) {
        if (cancelled && cancelled())
            return {};
        const LayerStackStage::Change change = stack.push(n, stack.prepare(layers[std::size_t(n)]));
        if (progress)
            progress(n);
        if (change.layerIndex >= 0)
            out[std::size_t(change.layerIndex)] = LayerStackStage::apply(layers[std::size_t(change.layerIndex)], change);
    }
    return out;
}

#include "imaging/ImageOps.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Beyond the image's larger side a bigger kernel changes nothing but the running time,
// and absurd levels from a damaged profile must not overflow the kernel size.
int clampLevel(int level, const cv::Mat &img)
{
    const int limit = std::max(img.rows, img.cols);
    return std::clamp(level, -limit, limit);
}

cv::Mat ellipse(int radius)
{
    const int k = 2 * radius + 1;
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k));
}

cv::Mat blur(const cv::Mat &grey, int level)
{
    const int k = 2 * level + 1;
    cv::Mat out;
    cv::GaussianBlur(grey, out, cv::Size(k, k), 0, 0, cv::BORDER_REFLECT_101);
    return out;
}

} // namespace

cv::Mat toGrey(const cv::Mat &in)
{
    if (in.empty())
        return cv::Mat();
    cv::Mat src = in;
    if (src.depth() != CV_8U)
        src.convertTo(src, CV_8U);
    cv::Mat out;
    switch (src.channels()) {
    case 1:
        out = src.clone();
        break;
    case 3:
        cv::cvtColor(src, out, cv::COLOR_RGB2GRAY);
        break;
    case 4:
        cv::cvtColor(src, out, cv::COLOR_RGBA2GRAY);
        break;
    default:
        cv::extractChannel(src, out, 0);
        break;
    }
    return out;
}

cv::Mat dilateAndSmooth(const cv::Mat &in, int dilationLevel, int smoothingLevel)
{
    cv::Mat m = toGrey(in);
    if (m.empty())
        return m;
    const int d = clampLevel(dilationLevel, m);
    if (d > 0)
        cv::dilate(m, m, ellipse(d), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                   cv::morphologyDefaultBorderValue());
    else if (d < 0)
        cv::erode(m, m, ellipse(-d), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
                  cv::morphologyDefaultBorderValue());
    const int s = clampLevel(smoothingLevel, m);
    if (s > 0)
        m = blur(m, s);
    return m;
}

const std::array<uchar, 256> &contrastCurveTable()
{
    static const std::array<uchar, 256> table = [] {
        std::array<uchar, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<uchar>(std::pow(i * 255.0, 0.5));
        return t;
    }();
    return table;
}

cv::Mat applyContrastCurve(const cv::Mat &in)
{
    if (in.empty())
        return cv::Mat();
    cv::Mat src = in;
    if (src.depth() != CV_8U)
        src.convertTo(src, CV_8U);
    const std::array<uchar, 256> &t = contrastCurveTable();
    const cv::Mat lut(1, 256, CV_8U, const_cast<uchar *>(t.data()));
    cv::Mat out;
    cv::LUT(src, lut, out);
    return out;
}

cv::Mat packSubpixelRgb(const cv::Mat &in)
{
    const cv::Mat grey = toGrey(in);
    const int packedWidth = grey.cols / 3;
    if (packedWidth == 0)
        return cv::Mat(grey.rows, 0, CV_8UC3);
    // Each row's first 3·packedWidth bytes, read as packedWidth three-byte pixels.
    cv::Mat packed = grey.colRange(0, packedWidth * 3).clone();
    return packed.reshape(3, grey.rows);
}

cv::Mat gaussianSmooth(const cv::Mat &in, int level)
{
    cv::Mat grey = toGrey(in);
    const int s = clampLevel(level, grey);
    if (grey.empty() || s <= 0)
        return grey;
    return blur(grey, s);
}

cv::Mat dimInterior(const cv::Mat &in, int widthPx, int ratioPercent)
{
    const cv::Mat grey = toGrey(in);
    if (grey.empty())
        return grey;
    const int w = std::clamp(widthPx, 0, std::max(grey.rows, grey.cols));
    const int ratio = std::clamp(ratioPercent, 0, 100);
    cv::Mat eroded;
    cv::erode(grey, eroded, ellipse(w), cv::Point(-1, -1), 1, cv::BORDER_CONSTANT,
              cv::morphologyDefaultBorderValue());
    cv::Mat dimming;
    eroded.convertTo(dimming, CV_8U, ratio / 100.0);   // rounds and saturates
    cv::Mat out;
    cv::subtract(grey, dimming, out);                 // saturates at 0
    return out;
}

cv::Mat undistortBarrel(const cv::Mat &in, const std::array<double, 6> &coeffs)
{
    const cv::Mat grey = toGrey(in);
    if (grey.empty())
        return grey;
    for (double c : coeffs) {
        if (!std::isfinite(c))
            return grey;
    }
    const float cx = static_cast<float>(grey.cols * coeffs[0]);
    const float cy = static_cast<float>(grey.rows * coeffs[1]);
    const cv::Matx33f camera(10.0f, 0.0f, cx, 0.0f, 10.0f, cy, 0.0f, 0.0f, 1.0f);
    const cv::Matx14f distortion(static_cast<float>(coeffs[2] * 1e-5), static_cast<float>(coeffs[3] * 1e-9),
                                 static_cast<float>(coeffs[4] * 1e-4), static_cast<float>(coeffs[5] * 1e-4));
    cv::Mat out;
    cv::undistort(grey, out, camera, distortion, camera);
    return out;
}

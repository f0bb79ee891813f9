#include "slicing/IslandFinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>

namespace {

// Whether any of `n` bytes is non-zero, eight at a time: most rows of a layer are black.
bool anyByte(const uchar *p, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        uint64_t w[4];
        std::memcpy(w, p + i, 32);
        if (w[0] | w[1] | w[2] | w[3])
            return true;
    }
    for (; i < n; ++i) {
        if (p[i])
            return true;
    }
    return false;
}

// Lit pixels of `image` inside `box` as a CV_8UC1 mask of the box's size.
cv::Mat litMask(const cv::Mat &image, const cv::Rect &box)
{
    const cv::Mat part = image(box);
    cv::Mat grey;
    if (part.channels() == 1) {
        grey = part;
    } else {
        std::vector<cv::Mat> channels;
        cv::split(part, channels);
        grey = channels[0];
        for (std::size_t c = 1; c < channels.size(); ++c)
            grey = cv::max(grey, channels[c]);
    }
    cv::Mat mask;
    cv::threshold(grey, mask, 0, 255, cv::THRESH_BINARY);
    return mask;
}

} // namespace

cv::Rect litBoundingBox(const cv::Mat &image)
{
    if (image.empty() || image.depth() != CV_8U)
        return cv::Rect();
    const int channels = image.channels();
    const std::size_t rowBytes = std::size_t(image.cols) * std::size_t(channels);
    int top = -1, bottom = -1;
    for (int y = 0; y < image.rows; ++y) {
        if (anyByte(image.ptr<uchar>(y), rowBytes)) {
            top = y;
            break;
        }
    }
    if (top < 0)
        return cv::Rect();
    for (int y = image.rows - 1; y >= top; --y) {
        if (anyByte(image.ptr<uchar>(y), rowBytes)) {
            bottom = y;
            break;
        }
    }
    // Columns in bytes; each row only needs looking at outside the columns found so far.
    int left = int(rowBytes), right = -1;
    for (int y = top; y <= bottom; ++y) {
        const uchar *row = image.ptr<uchar>(y);
        for (int x = 0; x < left; ++x) {
            if (row[x]) {
                left = x;
                break;
            }
        }
        for (int x = int(rowBytes) - 1; x > right; --x) {
            if (row[x]) {
                right = x;
                break;
            }
        }
    }
    if (right < 0)
        return cv::Rect();
    left /= channels;
    right /= channels;
    return cv::Rect(left, top, right - left + 1, bottom - top + 1);
}

LayerFootprint layerFootprint(const std::vector<cv::Mat> &images, cv::Rect boxHint)
{
    LayerFootprint f;
    std::vector<cv::Rect> boxes;
    for (const cv::Mat &image : images) {
        cv::Rect box;
        if (!image.empty() && image.depth() == CV_8U) {
            const cv::Rect whole(0, 0, image.cols, image.rows);
            if (boxHint.empty()) {
                box = litBoundingBox(image);
            } else {
                const cv::Rect inside = boxHint & whole;
                if (!inside.empty()) {
                    box = litBoundingBox(image(inside));
                    box += inside.tl();
                }
            }
        }
        boxes.push_back(box);
        if (!box.empty())
            f.box = f.box.empty() ? box : (f.box | box);
    }
    if (f.box.empty())
        return f;
    f.mask = cv::Mat::zeros(f.box.size(), CV_8UC1);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (boxes[i].empty())
            continue;
        cv::Mat target = f.mask(boxes[i] - f.box.tl());
        cv::bitwise_or(target, litMask(images[i], boxes[i]), target);
    }
    return f;
}

std::vector<IslandRegion> findIslands(const LayerFootprint &lower, const LayerFootprint &upper)
{
    std::vector<IslandRegion> islands;
    if (upper.box.empty())
        return islands;
    // What lies under the upper layer's box.
    cv::Mat under = cv::Mat::zeros(upper.box.size(), CV_8UC1);
    const cv::Rect common = lower.box & upper.box;
    if (!common.empty())
        lower.mask(common - lower.box.tl()).copyTo(under(common - upper.box.tl()));
    // Most layers rest wholly on the one below: then there is nothing to label.
    cv::Mat bare;
    cv::bitwise_and(upper.mask, ~under, bare);
    if (cv::countNonZero(bare) == 0)
        return islands;

    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(upper.mask, labels, stats, centroids, 8, CV_32S);
    std::vector<char> supported(std::size_t(std::max(count, 1)), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        const uchar *u = under.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x) {
            if (u[x] && l[x])
                supported[std::size_t(l[x])] = 1;
        }
    }
    for (int k = 1; k < count; ++k) {
        if (supported[std::size_t(k)])
            continue;
        IslandRegion r;
        r.box = cv::Rect(stats.at<int>(k, cv::CC_STAT_LEFT) + upper.box.x, stats.at<int>(k, cv::CC_STAT_TOP) + upper.box.y,
                         stats.at<int>(k, cv::CC_STAT_WIDTH), stats.at<int>(k, cv::CC_STAT_HEIGHT));
        r.areaPx = stats.at<int>(k, cv::CC_STAT_AREA);
        // OpenCV's centroid is the mean pixel index; a pixel's centre lies half a pixel further.
        r.centroidPx = cv::Point2d(centroids.at<double>(k, 0) + upper.box.x + 0.5,
                                   centroids.at<double>(k, 1) + upper.box.y + 0.5);
        islands.push_back(r);
    }
    std::sort(islands.begin(), islands.end(), [](const IslandRegion &a, const IslandRegion &b) {
        return a.box.y != b.box.y ? a.box.y < b.box.y : a.box.x < b.box.x;
    });
    return islands;
}

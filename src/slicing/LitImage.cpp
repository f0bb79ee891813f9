#include "slicing/LitImage.h"

#include <algorithm>
#include <climits>
#include <vector>
#include <cstdint>
#include <cstring>

namespace {

// Whether any of `n` bytes is non-zero, 32 at a time: most rows of a layer are black.
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

std::vector<cv::Mat> &scratchPool()
{
    thread_local std::vector<cv::Mat> pool;   // one row of bytes each
    return pool;
}

} // namespace

void releaseScratchMats()
{
    scratchPool().clear();
}

cv::Mat scratchMat(cv::Size size, int type)
{
    constexpr std::size_t kept = 4;
    std::vector<cv::Mat> &pool = scratchPool();
    const std::size_t bytes = std::size_t(size.width) * std::size_t(size.height) * CV_ELEM_SIZE(type);
    if (bytes == 0 || bytes > std::size_t(INT_MAX) || CV_MAT_DEPTH(type) != CV_8U)
        return cv::Mat(size, type);
    // The smallest free buffer that is large enough, else a new one in place of the smallest free.
    cv::Mat *best = nullptr, *smallestFree = nullptr;
    for (cv::Mat &m : pool) {
        if (!m.u || m.u->refcount != 1)
            continue;
        if (std::size_t(m.cols) >= bytes && (!best || m.cols < best->cols))
            best = &m;
        if (!smallestFree || m.cols < smallestFree->cols)
            smallestFree = &m;
    }
    if (!best) {
        const int capacity = int(std::min<std::size_t>(bytes + bytes / 4, INT_MAX));   // room for growth
        if (smallestFree)
            best = smallestFree;
        else if (pool.size() < kept)
            best = &pool.emplace_back();
        else
            return cv::Mat(size, type);
        *best = cv::Mat(1, capacity, CV_8UC1);
    }
    return best->colRange(0, int(bytes)).reshape(CV_MAT_CN(type), size.height);
}

LitImage LitImage::blackImage(cv::Size size, int type)
{
    LitImage l;
    l.size = size;
    l.type = type;
    return l;
}

LitImage LitImage::fromFull(const cv::Mat &image)
{
    LitImage l = blackImage(image.size(), image.type());
    l.box = litBoundingBox(image);
    if (!l.box.empty())
        l.pixels = image(l.box);
    return l;
}

LitImage LitImage::whole(const cv::Mat &image)
{
    LitImage l = blackImage(image.size(), image.type());
    if (!image.empty()) {
        l.box = cv::Rect(0, 0, image.cols, image.rows);
        l.pixels = image;
    }
    return l;
}

cv::Mat LitImage::full() const
{
    if (box == cv::Rect(0, 0, size.width, size.height) && pixels.size() == size)
        return pixels;
    return crop(cv::Rect(0, 0, size.width, size.height));
}

cv::Mat LitImage::crop(const cv::Rect &region) const
{
    cv::Mat out = scratchMat(region.size(), type);
    const cv::Rect common = region & box;
    if (common.empty()) {
        out.setTo(0);
        return out;
    }
    // Black around the copied part: the rows above and below it, the columns beside it.
    const cv::Rect inside = common - region.tl();
    out.rowRange(0, inside.y).setTo(0);
    out.rowRange(inside.y + inside.height, out.rows).setTo(0);
    out(cv::Rect(0, inside.y, inside.x, inside.height)).setTo(0);
    out(cv::Rect(inside.x + inside.width, inside.y, out.cols - inside.x - inside.width, inside.height)).setTo(0);
    pixels(common - box.tl()).copyTo(out(inside));
    return out;
}

cv::Rect LitImage::grownBox(int margin) const
{
    if (box.empty())
        return box;
    const int m = std::max(0, margin);
    const cv::Rect grown(box.x - m, box.y - m, box.width + 2 * m, box.height + 2 * m);
    return grown & cv::Rect(0, 0, size.width, size.height);
}

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
    // Columns in bytes; each row only needs looking at outside the columns found so far, and
    // mostly has nothing there.
    int left = int(rowBytes), right = -1;
    for (int y = top; y <= bottom; ++y) {
        const uchar *row = image.ptr<uchar>(y);
        if (left > 0 && anyByte(row, std::size_t(left))) {
            for (int x = 0; x < left; ++x) {
                if (row[x]) {
                    left = x;
                    break;
                }
            }
        }
        const int from = right + 1;
        if (from < int(rowBytes) && anyByte(row + from, rowBytes - std::size_t(from))) {
            for (int x = int(rowBytes) - 1; x > right; --x) {
                if (row[x]) {
                    right = x;
                    break;
                }
            }
        }
    }
    if (right < 0)
        return cv::Rect();
    left /= channels;
    right /= channels;
    return cv::Rect(left, top, right - left + 1, bottom - top + 1);
}

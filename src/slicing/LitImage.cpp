#include "slicing/LitImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Whether any byte of the row is non-zero, eight bytes at a time.
bool rowLit(const uchar *p, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word)
            return true;
    }
    for (; i < n; ++i) {
        if (p[i])
            return true;
    }
    return false;
}

} // namespace

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
    cv::Mat out = cv::Mat::zeros(region.size(), type);
    const cv::Rect common = region & box;
    if (!common.empty())
        pixels(common - box.tl()).copyTo(out(common - region.tl()));
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
    if (image.empty())
        return cv::Rect();
    const std::size_t rowBytes = std::size_t(image.cols) * image.elemSize();
    int top = -1, bottom = -1;
    for (int y = 0; y < image.rows; ++y) {
        if (rowLit(image.ptr(y), rowBytes)) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    if (top < 0)
        return cv::Rect();
    // Columns: the first and last lit byte over the lit rows.
    const std::size_t elem = image.elemSize();
    std::size_t left = rowBytes, right = 0;
    for (int y = top; y <= bottom; ++y) {
        const uchar *p = image.ptr(y);
        std::size_t a = 0;
        while (a < left && !p[a])
            ++a;
        left = std::min(left, a);
        std::size_t b = rowBytes;
        while (b > right && !p[b - 1])
            --b;
        right = std::max(right, b);
    }
    if (right <= left)
        return cv::Rect();
    const int x0 = int(left / elem), x1 = int((right + elem - 1) / elem);
    return cv::Rect(x0, top, x1 - x0, bottom - top + 1);
}

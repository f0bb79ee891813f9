// Filling a layer's cut segments with the positive-winding rule, into the whole image or into
// the box that the segments can light.
#include "slicing/CutSegments.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Crossing
{
    int32_t firstPixel;   // the first pixel whose centre lies at or after the crossing
    int winding;
};

int64_t ceilDiv(int64_t a, int64_t b)   // b > 0
{
    const int64_t q = a / b;
    return q + ((a % b) != 0 && a > 0 ? 1 : 0);
}

// On the rasteriser's grid: 1/256 pixel, 0 at the centre of pixel 0, so pixel k's centre is
// at 256·k. There every decision is exact; a centre lying on the outline belongs to the side
// it would fall on if moved a hair to the right (up, for a level edge), as graphics cards
// decide it with their top-left rule.
struct Fixed
{
    int64_t xa, ya, xb, yb;   // ya < yb
    int winding;
};

std::vector<Fixed> toFixed(const std::vector<CutSegment> &segments)
{
    constexpr double limit = double(int64_t(1) << 32);
    std::vector<Fixed> fixed;
    fixed.reserve(segments.size());
    for (const CutSegment &s : segments) {
        if (!std::isfinite(s.x0) || !std::isfinite(s.x1) || !std::isfinite(s.y0) || !std::isfinite(s.y1))
            continue;
        auto grid = [limit](float v) { return int64_t(std::clamp(std::nearbyint((double(v) - 0.5) * 256.0), -limit, limit)); };
        const int64_t x0 = grid(s.x0), y0 = grid(s.y0), x1 = grid(s.x1), y1 = grid(s.y1);
        if (y0 == y1)
            continue;
        // Going down (towards row 0) the inside is on the right: entering it from the left.
        if (y1 < y0)
            fixed.push_back({x1, y1, x0, y0, 1});
        else
            fixed.push_back({x0, y0, x1, y1, -1});
    }
    return fixed;
}

// A segment covers the rows whose centre lies in [lower end, upper end), so a vertex shared by
// two segments is counted once; rows are clipped to [rowFrom, rowTo).
bool rowsOf(const Fixed &f, int rowFrom, int rowTo, int *from, int *to)
{
    *from = int(std::clamp<int64_t>(ceilDiv(f.ya, 256), rowFrom, rowTo));
    *to = int(std::clamp<int64_t>(ceilDiv(f.yb, 256), rowFrom, rowTo));
    return *from < *to;
}

// Where the segments can light pixels of a panel of `size`: the rows they cross and the
// columns between their leftmost and rightmost crossings.
cv::Rect reachOf(const std::vector<Fixed> &fixed, cv::Size size)
{
    int top = size.height, bottom = 0;
    int64_t left = size.width, right = 0;
    for (const Fixed &f : fixed) {
        int a, b;
        if (!rowsOf(f, 0, size.height, &a, &b))
            continue;
        top = std::min(top, a);
        bottom = std::max(bottom, b);
        left = std::min(left, ceilDiv(std::min(f.xa, f.xb), 256));
        right = std::max(right, ceilDiv(std::max(f.xa, f.xb), 256));
    }
    left = std::clamp<int64_t>(left, 0, size.width);
    right = std::clamp<int64_t>(right, 0, size.width);
    if (top >= bottom || left >= right)
        return cv::Rect();
    return cv::Rect(int(left), top, int(right - left), bottom - top);
}

// Fills the pixels of the panel region that `target` stands for (its top-left at `origin`):
// every pixel of `target` is written once, 255 inside and 0 outside.
void fillRegion(const std::vector<Fixed> &fixed, cv::Mat &target, cv::Point origin, cv::Size panel)
{
    const int rowFrom = origin.y, rowTo = origin.y + target.rows;
    const int colFrom = origin.x, colTo = origin.x + target.cols;
    const int w = panel.width;
    if (target.empty())
        return;
    std::vector<std::size_t> offset(std::size_t(target.rows) + 1, 0);
    for (const Fixed &f : fixed) {
        int a, b;
        if (rowsOf(f, rowFrom, rowTo, &a, &b)) {
            for (int j = a; j < b; ++j)
                ++offset[std::size_t(j - rowFrom) + 1];
        }
    }
    for (int j = 0; j < target.rows; ++j)
        offset[std::size_t(j) + 1] += offset[std::size_t(j)];
    std::vector<Crossing> crossings(offset[std::size_t(target.rows)]);
    std::vector<std::size_t> fill(offset.begin(), offset.end() - 1);
    for (const Fixed &f : fixed) {
        int a, b;
        if (!rowsOf(f, rowFrom, rowTo, &a, &b))
            continue;
        const int64_t dy = f.yb - f.ya, dx = f.xb - f.xa;
        for (int j = a; j < b; ++j) {
            // The crossing lies at xa + (256·j − ya)·dx/dy; the first centre at or after it:
            const int64_t first = ceilDiv(f.xa * dy + (256 * int64_t(j) - f.ya) * dx, 256 * dy);
            crossings[fill[std::size_t(j - rowFrom)]++] = {int32_t(std::clamp<int64_t>(first, -1, int64_t(w) + 1)),
                                                           f.winding};
        }
    }

    for (int j = 0; j < target.rows; ++j) {
        Crossing *c = crossings.data() + offset[std::size_t(j)];
        const std::size_t n = offset[std::size_t(j) + 1] - offset[std::size_t(j)];
        uchar *row = target.ptr<uchar>(j);
        if (n == 0) {
            std::memset(row, 0, std::size_t(target.cols));
            continue;
        }
        if (n <= 16) {
            for (std::size_t i = 1; i < n; ++i) {
                const Crossing key = c[i];
                std::size_t k = i;
                for (; k > 0 && c[k - 1].firstPixel > key.firstPixel; --k)
                    c[k] = c[k - 1];
                c[k] = key;
            }
        } else {
            std::sort(c, c + n, [](const Crossing &a, const Crossing &b) { return a.firstPixel < b.firstPixel; });
        }
        // Pixel i is inside when the crossings before it add up to more than zero.
        int count = 0;
        int done = colFrom;   // pixels before this one are written
        for (std::size_t i = 0; i < n; ++i) {
            count += c[i].winding;
            if (count <= 0 || i + 1 == n)
                continue;
            const int from = std::max({0, colFrom, c[i].firstPixel});
            const int to = std::min({w, colTo, c[i + 1].firstPixel});
            if (from < to) {
                if (from > done)
                    std::memset(row + (done - colFrom), 0, std::size_t(from - done));
                std::memset(row + (from - colFrom), 255, std::size_t(to - from));
                done = std::max(done, to);
            }
        }
        if (done < colTo)
            std::memset(row + (done - colFrom), 0, std::size_t(colTo - done));
    }
}

} // namespace

void fillCutSegments(const std::vector<CutSegment> &segments, cv::Mat &image)
{
    CV_Assert(image.type() == CV_8UC1);
    if (segments.empty()) {
        image.setTo(0);
        return;
    }
    fillRegion(toFixed(segments), image, cv::Point(0, 0), image.size());
}

LitImage fillCutSegmentsLit(const std::vector<CutSegment> &segments, cv::Size size)
{
    LitImage lit = LitImage::blackImage(size, CV_8UC1);
    if (size.width <= 0 || size.height <= 0 || segments.empty())
        return lit;
    const std::vector<Fixed> fixed = toFixed(segments);
    lit.box = reachOf(fixed, size);
    if (lit.box.empty())
        return lit;
    lit.pixels = scratchMat(lit.box.size(), CV_8UC1);
    fillRegion(fixed, lit.pixels, lit.box.tl(), size);
    return lit;
}

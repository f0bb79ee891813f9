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
    // Any value above zero is lit; the footprint keeps the values (a copy: the layer's own
    // image may still be drawn into).
    return grey.data == part.data ? grey.clone() : grey;
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
    if (images.size() == 1) {
        f.mask = litMask(images[0], f.box);
        return f;
    }
    f.mask = cv::Mat::zeros(f.box.size(), CV_8UC1);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (boxes[i].empty())
            continue;
        cv::Mat target = f.mask(boxes[i] - f.box.tl());
        cv::bitwise_or(target, litMask(images[i], boxes[i]), target);
    }
    return f;
}

namespace {

// A run of lit pixels in one row of a footprint: columns [x0, x1).
struct LitRun
{
    int y;
    int x0;
    int x1;
};

bool hasZeroByte(uint64_t v)
{
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// The runs of lit pixels of one row, appended to `runs`.
void rowRuns(const uchar *row, int width, int y, std::vector<LitRun> &runs)
{
    int x = 0;
    while (x < width) {
        // Skip black, eight pixels at a time.
        while (x + 8 <= width) {
            uint64_t w;
            std::memcpy(&w, row + x, 8);
            if (w)
                break;
            x += 8;
        }
        while (x < width && !row[x])
            ++x;
        if (x >= width)
            break;
        int end = x + 1;
        while (end + 8 <= width) {
            uint64_t w;
            std::memcpy(&w, row + end, 8);
            if (hasZeroByte(w))
                break;
            end += 8;
        }
        while (end < width && row[end])
            ++end;
        runs.push_back({y, x, end});
        x = end;
    }
}

int findRoot(std::vector<int> &parent, int i)
{
    while (parent[std::size_t(i)] != i) {
        parent[std::size_t(i)] = parent[std::size_t(parent[std::size_t(i)])];
        i = parent[std::size_t(i)];
    }
    return i;
}

} // namespace

std::vector<IslandRegion> findIslands(const LayerFootprint &lower, const LayerFootprint &upper)
{
    std::vector<IslandRegion> islands;
    if (upper.box.empty())
        return islands;
    // The layer's lit pixels as runs along its rows; a run rests when a pixel of it lies over a
    // lit pixel of the layer below, and runs of neighbouring rows that touch (diagonally too)
    // are one region. Regions without a resting run are islands. One pass over the layer and
    // a look below each run: no labelling of whole images.
    std::vector<LitRun> runs;
    std::vector<std::size_t> rowStart(std::size_t(upper.mask.rows) + 1, 0);
    for (int y = 0; y < upper.mask.rows; ++y) {
        rowStart[std::size_t(y)] = runs.size();
        rowRuns(upper.mask.ptr<uchar>(y), upper.mask.cols, y, runs);
    }
    rowStart[std::size_t(upper.mask.rows)] = runs.size();

    std::vector<char> resting(runs.size(), 0);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LitRun &r = runs[i];
        const int y = r.y + upper.box.y - lower.box.y;
        const int x0 = std::max(r.x0 + upper.box.x - lower.box.x, 0);
        const int x1 = std::min(r.x1 + upper.box.x - lower.box.x, lower.box.width);
        if (y >= 0 && y < lower.box.height && x0 < x1)
            resting[i] = anyByte(lower.mask.ptr<uchar>(y) + x0, std::size_t(x1 - x0));
    }
    if (std::all_of(resting.begin(), resting.end(), [](char c) { return c != 0; }))
        return islands;

    std::vector<int> parent(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i)
        parent[i] = int(i);
    for (int y = 1; y < upper.mask.rows; ++y) {
        std::size_t a = rowStart[std::size_t(y) - 1], b = rowStart[std::size_t(y)];
        const std::size_t aEnd = rowStart[std::size_t(y)], bEnd = rowStart[std::size_t(y) + 1];
        while (a < aEnd && b < bEnd) {
            // Touching, diagonals included: [x0, x1) and [u0, u1) with x0 <= u1 and u0 <= x1.
            if (runs[a].x0 <= runs[b].x1 && runs[b].x0 <= runs[a].x1) {
                const int ra = findRoot(parent, int(a)), rb = findRoot(parent, int(b));
                if (ra != rb)
                    parent[std::size_t(std::max(ra, rb))] = std::min(ra, rb);
            }
            if (runs[a].x1 < runs[b].x1)
                ++a;
            else
                ++b;
        }
    }

    struct Region
    {
        bool rests = false;
        long long area = 0;
        double sumX = 0, sumY = 0;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };
    std::vector<Region> regions(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LitRun &r = runs[i];
        Region &g = regions[std::size_t(findRoot(parent, int(i)))];
        const int n = r.x1 - r.x0;
        if (g.area == 0) {
            g.x0 = r.x0;
            g.x1 = r.x1;
            g.y0 = r.y;
            g.y1 = r.y + 1;
        } else {
            g.x0 = std::min(g.x0, r.x0);
            g.x1 = std::max(g.x1, r.x1);
            g.y0 = std::min(g.y0, r.y);
            g.y1 = std::max(g.y1, r.y + 1);
        }
        g.rests = g.rests || resting[i];
        g.area += n;
        // Pixel centres: x + 0.5 over the run, y + 0.5.
        g.sumX += double(n) * (double(r.x0) + double(r.x1)) / 2.0;
        g.sumY += double(n) * (double(r.y) + 0.5);
    }
    for (const Region &g : regions) {
        if (g.area == 0 || g.rests)
            continue;
        IslandRegion r;
        r.box = cv::Rect(g.x0 + upper.box.x, g.y0 + upper.box.y, g.x1 - g.x0, g.y1 - g.y0);
        r.areaPx = int(g.area);
        r.centroidPx = cv::Point2d(g.sumX / double(g.area) + upper.box.x, g.sumY / double(g.area) + upper.box.y);
        islands.push_back(r);
    }
    std::sort(islands.begin(), islands.end(), [](const IslandRegion &a, const IslandRegion &b) {
        return a.box.y != b.box.y ? a.box.y < b.box.y : a.box.x < b.box.x;
    });
    return islands;
}

#include "slicing/IslandFinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>

namespace {

// The union of the images' lit pixels inside `box`, as one grey image (any channel counts).
cv::Mat unitedImages(const std::vector<cv::Mat> &images, const cv::Rect &box)
{
    cv::Mat united = cv::Mat::zeros(box.size(), CV_8UC1);
    for (const cv::Mat &image : images) {
        if (image.empty() || image.depth() != CV_8U)
            continue;
        const cv::Rect inside = box & cv::Rect(0, 0, image.cols, image.rows);
        if (inside.empty())
            continue;
        const cv::Mat part = image(inside);
        cv::Mat grey = part;
        if (part.channels() > 1) {
            std::vector<cv::Mat> channels;
            cv::split(part, channels);
            grey = channels[0];
            for (std::size_t c = 1; c < channels.size(); ++c)
                grey = cv::max(grey, channels[c]);
        }
        cv::Mat target = united(inside - box.tl());
        cv::bitwise_or(target, grey, target);
    }
    return united;
}

bool hasZeroByte(uint64_t v)
{
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// The runs of lit pixels of one row (`width` pixels from column `x0` of the image), appended
// to `runs` in image columns.
void rowRuns(const uchar *row, int width, int x0, int y, std::vector<LitRun> &runs)
{
    int x = 0;
    while (x < width) {
        // Skip black, 32 and then eight pixels at a time.
        while (x + 32 <= width) {
            uint64_t w[4];
            std::memcpy(w, row + x, 32);
            if (w[0] | w[1] | w[2] | w[3])
                break;
            x += 32;
        }
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
        runs.push_back({y, x0 + x, x0 + end});
        x = end;
    }
}

} // namespace

long long LayerFootprint::litPixels() const
{
    long long n = 0;
    for (const LitRun &r : runs)
        n += r.x1 - r.x0;
    return n;
}

LayerFootprint layerFootprint(const std::vector<cv::Mat> &images, cv::Rect boxHint)
{
    LayerFootprint f;
    std::vector<const cv::Mat *> usable;
    cv::Rect area;
    for (const cv::Mat &image : images) {
        if (image.empty() || image.depth() != CV_8U)
            continue;
        usable.push_back(&image);
        area |= cv::Rect(0, 0, image.cols, image.rows);
    }
    if (usable.empty())
        return f;
    if (!boxHint.empty())
        area &= boxHint;
    // One grey image is read where it is; several, or colour, are united first (rare layers).
    cv::Mat grey;
    if (usable.size() == 1 && usable[0]->channels() == 1 && !area.empty())
        grey = (*usable[0])(area);
    else if (!area.empty())
        grey = unitedImages(images, area);
    for (int y = 0; y < grey.rows; ++y)
        rowRuns(grey.ptr<uchar>(y), grey.cols, area.x, area.y + y, f.runs);
    if (f.runs.empty())
        return f;
    int x0 = f.runs.front().x0, x1 = f.runs.front().x1;
    for (const LitRun &r : f.runs) {
        x0 = std::min(x0, r.x0);
        x1 = std::max(x1, r.x1);
    }
    f.box = cv::Rect(x0, f.runs.front().y, x1 - x0, f.runs.back().y - f.runs.front().y + 1);
    return f;
}

LayerFootprint litFootprint(const std::vector<LitImage> &images)
{
    cv::Rect area;
    for (const LitImage &image : images)
        if (!image.black())
            area |= image.box;
    if (area.empty())
        return LayerFootprint();
    // Each image over the united boxes, as an image of its own placed at the origin.
    std::vector<cv::Mat> parts;
    for (const LitImage &image : images)
        if (!image.black())
            parts.push_back(image.box == area ? image.pixels : image.crop(area));
    LayerFootprint f = layerFootprint(parts);
    for (LitRun &r : f.runs) {
        r.y += area.y;
        r.x0 += area.x;
        r.x1 += area.x;
    }
    if (!f.box.empty())
        f.box += area.tl();
    return f;
}

namespace {

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
    // A run of the layer rests when a pixel of it lies over a lit pixel of the layer below;
    // runs of neighbouring rows that touch (diagonals too) are one region, and regions without
    // a resting run are islands.
    const std::vector<LitRun> &runs = upper.runs;
    std::vector<char> resting(runs.size(), 0);
    std::size_t below = 0;   // lower runs are ordered like the upper ones: one sweep serves all
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LitRun &r = runs[i];
        while (below < lower.runs.size()
               && (lower.runs[below].y < r.y || (lower.runs[below].y == r.y && lower.runs[below].x1 <= r.x0)))
            ++below;
        for (std::size_t k = below; k < lower.runs.size() && lower.runs[k].y == r.y && lower.runs[k].x0 < r.x1; ++k) {
            if (lower.runs[k].x1 > r.x0) {
                resting[i] = 1;
                break;
            }
        }
    }
    if (std::all_of(resting.begin(), resting.end(), [](char c) { return c != 0; }))
        return islands;

    // Where each row's runs start.
    const int firstRow = upper.box.y, rows = upper.box.height;
    std::vector<std::size_t> rowStart(std::size_t(rows) + 1, runs.size());
    for (std::size_t i = runs.size(); i-- > 0;)
        rowStart[std::size_t(runs[i].y - firstRow)] = i;
    for (int y = rows - 1; y >= 0; --y)
        rowStart[std::size_t(y)] = std::min(rowStart[std::size_t(y)], rowStart[std::size_t(y) + 1]);

    std::vector<int> parent(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i)
        parent[i] = int(i);
    for (int y = 1; y < rows; ++y) {
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
        r.box = cv::Rect(g.x0, g.y0, g.x1 - g.x0, g.y1 - g.y0);
        r.areaPx = int(g.area);
        r.centroidPx = cv::Point2d(g.sumX / double(g.area), g.sumY / double(g.area));
        islands.push_back(r);
    }
    std::sort(islands.begin(), islands.end(), [](const IslandRegion &a, const IslandRegion &b) {
        return a.box.y != b.box.y ? a.box.y < b.box.y : a.box.x < b.box.x;
    });
    return islands;
}

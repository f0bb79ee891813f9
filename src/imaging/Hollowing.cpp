#include "imaging/Hollowing.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

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

namespace {

// The lit pixels of `lit` (8-bit) that have no dark pixel within r, where everything beyond
// the matrix counts as dark: exact Euclidean distance, in two steps. First, per column, the
// vertical distance g to the nearest dark pixel (capped at r + 1); then, per row, a pixel is
// near the dark when some column x' has (x − x')² + g(x')² ≤ r², i.e. it lies within
// floor(√(r² − g²)) of x': those spans are darkened. Only the rows and columns r and more
// inside the edge can survive; the result covers just those.
template <typename Distance>
cv::Mat erodeByDisk(const cv::Mat &lit, int r)
{
    const int w = lit.cols, h = lit.rows;
    const Distance cap = Distance(r + 1);
    std::vector<int> span(std::size_t(r) + 1);
    for (int g = 0; g <= r; ++g) {
        int a = int(std::sqrt(double(r * r - g * g)));
        while (a * a > r * r - g * g)
            --a;
        while ((a + 1) * (a + 1) <= r * r - g * g)
            ++a;
        span[std::size_t(g)] = a;
    }
    // Reused between layers: a fresh buffer of this size costs more in page faults than the
    // passes over it. Branch-free loops over whole rows, so the compiler can vectorise them;
    // the rows beyond the top and bottom are dark (g = 0 there).
    thread_local std::vector<Distance> buffer;
    buffer.resize(std::size_t(w) * std::size_t(h + 1));
    auto rowOf = [&](int y) { return buffer.data() + std::size_t(y) * std::size_t(w); };
    Distance *dark = rowOf(h);
    std::fill(dark, dark + w, Distance(0));
    for (int y = 0; y < h; ++y) {
        const uchar *l = lit.ptr<uchar>(y);
        Distance *gr = rowOf(y);
        const Distance *up = y > 0 ? rowOf(y - 1) : dark;
        for (int x = 0; x < w; ++x) {
            const Distance next = Distance(up[x] + 1);
            gr[x] = Distance((next < cap ? next : cap) & Distance(-Distance(l[x] != 0)));
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        Distance *gr = rowOf(y);
        const Distance *down = rowOf(y + 1);
        for (int x = 0; x < w; ++x) {
            const Distance below = Distance(down[x] + 1);
            gr[x] = gr[x] < below ? gr[x] : below;
        }
    }
    const int keptW = w - 2 * r, keptH = h - 2 * r;
    cv::Mat out(keptH, keptW, CV_8UC1);
    // The dark beyond the left and right edges lies more than r from the kept columns; the
    // pixels that can darken kept ones are those with g ≤ r, except dark pixels between two
    // dark ones (the run's ends reach whatever they reach). They are few: found word by word.
    thread_local std::vector<uchar> near;
    near.resize(std::size_t(w) + 8);
    const Distance reach = Distance(r);
    for (int y = r; y < h - r; ++y) {
        const Distance *gr = rowOf(y);
        const uchar *l = lit.ptr<uchar>(y) + r;
        uchar *o = out.ptr<uchar>(y - r);
        for (int x = 0; x < keptW; ++x)
            o[x] = uchar(-uchar(l[x] != 0));
        uchar *t = near.data();
        t[0] = gr[0] <= reach;
        t[w - 1] = gr[w - 1] <= reach;
        for (int x = 1; x + 1 < w; ++x)
            t[x] = uchar((gr[x] <= reach) & !((gr[x] == 0) & (gr[x - 1] == 0) & (gr[x + 1] == 0)));
        std::fill(t + w, t + w + 8, uchar(0));
        for (int x0 = 0; x0 < w; x0 += 8) {
            uint64_t word;
            std::memcpy(&word, t + x0, 8);
            if (!word)
                continue;
            for (int x = x0; x < x0 + 8 && x < w; ++x) {
                if (!t[x])
                    continue;
                const int a = span[std::size_t(gr[x])];
                const int lo = std::max(x - a, r), hi = std::min(x + a, w - 1 - r);
                if (lo <= hi)
                    std::memset(o + (lo - r), 0, std::size_t(hi - lo + 1));
            }
        }
    }
    return out;
}

// The bounding box of the non-zero pixels of an 8-bit matrix, eight pixels at a time: dark
// rows and margins cost one test per eight pixels.
cv::Rect litBoxOf(const cv::Mat &lit)
{
    const int w = lit.cols;
    int top = -1, bottom = -1, left = w, right = -1;
    auto word = [](const uchar *p) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    };
    for (int y = 0; y < lit.rows; ++y) {
        const uchar *row = lit.ptr<uchar>(y);
        int x = 0;
        while (x + 8 <= w && !word(row + x))
            x += 8;
        while (x < w && !row[x])
            ++x;
        if (x == w)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
        left = std::min(left, x);
        int e = w;
        while (e - 8 >= x && !word(row + e - 8))
            e -= 8;
        while (e > x && !row[e - 1])
            --e;
        right = std::max(right, e - 1);
    }
    if (top < 0)
        return cv::Rect();
    return cv::Rect(left, top, right - left + 1, bottom - top + 1);
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
    const cv::Rect inner = litBoxOf(lit);
    if (inner.empty())
        return out;
    const int r = std::max(0, wallPx);
    // Nothing within r of the lit box's edge survives.
    const cv::Rect kept(inner.x + r, inner.y + r, inner.width - 2 * r, inner.height - 2 * r);
    if (kept.width <= 0 || kept.height <= 0)
        return out;
    const cv::Mat boxLit = lit(inner);
    out.box = kept + litBox.tl();
    if (r == 0) {
        out.mask = boxLit != 0;
        return out;
    }
    // Pixels outside the box are dark, so the box alone decides.
    out.mask = r < 254 ? erodeByDisk<uchar>(boxLit, r) : erodeByDisk<ushort>(boxLit, r);
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

namespace {

// The per-layer pass of HollowingStack::push over runs of type T: runs + 1 (saturating) where
// the layer's eroded mask is lit, 0 elsewhere, and the interior (when asked for: not empty)
// where the run covers the window. True when that interior has a pixel.
template <typename T>
bool updateRuns(cv::Mat &runs, const cv::Rect &runsBox, const ErodedMask &eroded, const cv::Rect &box, int window,
                cv::Mat &interior)
{
    // Where the last layer's runs were and this layer has no box, they end.
    const cv::Rect area = box | runsBox;
    for (int y = area.y; y < area.y + area.height; ++y) {
        T *run = runs.ptr<T>(y);
        const bool rowInBox = y >= box.y && y < box.y + box.height;
        const int x0 = rowInBox ? box.x : area.x + area.width;
        const int x1 = rowInBox ? box.x + box.width : area.x + area.width;
        std::fill(run + area.x, run + x0, T(0));
        std::fill(run + std::max(x1, area.x), run + area.x + area.width, T(0));
    }
    if (box.empty())
        return false;
    const cv::Mat lit = eroded.mask(cv::Rect(box.x - eroded.box.x, box.y - eroded.box.y, box.width, box.height));
    cv::Mat r = runs(box);
    cv::add(r, cv::Scalar(1), r);   // saturating
    if (sizeof(T) == 1)
        cv::bitwise_and(r, lit, r);   // the mask is 255 or 0
    else
        r.setTo(0, lit == 0);
    if (interior.empty())
        return false;
    cv::compare(r, cv::Scalar(std::min<int>(window, std::numeric_limits<T>::max())), interior, cv::CMP_GE);
    return !litBoxOf(interior).empty();
}

} // namespace

HollowingStack::HollowingStack(const HollowingSettings &settings, cv::Size layerSize)
    : m_settings(settings), m_size(layerSize)
{
    m_settings.wallPx = std::max(0, m_settings.wallPx);
    m_settings.wallLayers = std::clamp(m_settings.wallLayers, 0, 30000);
    if (m_settings.pillars)
        m_pillars = pillarMask(layerSize, m_settings.pillarRadiusPx, m_settings.pillarPitchPx);
    // Bytes while the window fits in them: half the memory traffic of the per-layer pass.
    m_runs = cv::Mat::zeros(layerSize, 2 * m_settings.wallLayers + 1 < 255 ? CV_8UC1 : CV_16UC1);
}

LayerStackStage::Region HollowingStack::prepare(const cv::Mat &modelImage) const
{
    return erodeLayer(modelImage, m_settings.wallPx);
}

LayerStackStage::Change HollowingStack::push(int n, const ErodedMask &eroded)
{
    const cv::Rect whole(0, 0, m_size.width, m_size.height);
    const cv::Rect box = eroded.mask.empty() ? cv::Rect() : (eroded.box & whole);
    const int wall = m_settings.wallLayers;
    const int k = n - wall;
    // Every layer of the window, clipped at the bottom of the stack, must be lit.
    const int window = std::min(2 * wall + 1, n + 1);
    const bool finishes = k >= 0 && !(m_settings.capBottom && k <= wall) && !box.empty();
    cv::Mat interior;
    if (finishes)
        interior.create(box.size(), CV_8UC1);   // every pixel is written

    const bool any = m_runs.depth() == CV_8U ? updateRuns<uchar>(m_runs, m_runsBox, eroded, box, window, interior)
                                             : updateRuns<ushort>(m_runs, m_runsBox, eroded, box, window, interior);
    m_runsBox = box;

    Change change;
    if (k < 0)
        return change;
    change.layerIndex = k;
    if (!finishes || !any)
        return change;   // solid: the floor of the stack, or no room for a cavity
    if (!m_pillars.empty())
        interior.setTo(0, m_pillars(box));
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
        if (change.layerIndex >= 0 && !change.dark.mask.empty()) {
            cv::Mat &layer = out[std::size_t(change.layerIndex)];
            layer = layer.clone();   // the caller's layers stay as they are
            LayerStackStage::apply(layer, change);
        }
    }
    return out;
}

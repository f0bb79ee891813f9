#include "slicing/LayerAnalysis.h"

#include <algorithm>
#include <opencv2/core.hpp>

void LayerAnalysis::reset(const SliceParameters &geometry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_geometry = geometry;
    m_footprints.clear();
    m_checkedBelow.clear();
    m_heights.clear();
    m_litPixels.clear();
    m_islands.clear();
}

LayerPostProcess LayerAnalysis::attach(const SliceParameters &geometry, LayerPostProcess inner)
{
    reset(geometry);
    std::weak_ptr<LayerAnalysis> self = weak_from_this();
    return [self, inner](std::vector<cv::Mat> images, const LayerContext &ctx) {
        const std::shared_ptr<LayerAnalysis> analysis = self.lock();
        if (analysis)
            analysis->addRendered(images, ctx);   // before the hook may draw into them
        std::vector<cv::Mat> out = inner ? inner(std::move(images), ctx) : std::move(images);
        if (analysis)
            analysis->addStored(out, ctx);
        return out;
    };
}

LitPostProcess LayerAnalysis::attachLit(const SliceParameters &geometry, LitPostProcess inner)
{
    reset(geometry);
    std::weak_ptr<LayerAnalysis> self = weak_from_this();
    return [self, inner](std::vector<LitImage> images, const LayerContext &ctx) {
        const std::shared_ptr<LayerAnalysis> analysis = self.lock();
        if (analysis)
            analysis->addRendered(images, ctx);
        std::vector<LitImage> out = inner ? inner(std::move(images), ctx) : std::move(images);
        if (analysis) {
            // Outside its box a lit image is black, so the box's pixels hold all of its resin.
            std::vector<cv::Mat> boxes;
            for (const LitImage &image : out)
                boxes.push_back(image.pixels);
            analysis->addStored(boxes, ctx);
        }
        return out;
    };
}

void LayerAnalysis::addRendered(const std::vector<cv::Mat> &images, const LayerContext &ctx)
{
    if (m_on.islands)
        addFootprint(std::make_shared<const LayerFootprint>(layerFootprint(images)), ctx);
}

void LayerAnalysis::addRendered(const std::vector<LitImage> &images, const LayerContext &ctx)
{
    if (m_on.islands)
        addFootprint(std::make_shared<const LayerFootprint>(litFootprint(images)), ctx);
}

void LayerAnalysis::addFootprint(std::shared_ptr<const LayerFootprint> footprint, const LayerContext &ctx)
{
    const int n = ctx.layerIndex;
    // The pairs this layer completes: with the layer below and with the one above, whichever
    // of them is here already. The checks run outside the lock.
    std::shared_ptr<const LayerFootprint> below, above;
    float aboveHeight = 0.0f;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_heights[n] = ctx.heightMm;
        m_footprints[n] = footprint;
        if (n == 0) {
            m_checkedBelow.insert(0);
        } else if (auto it = m_footprints.find(n - 1); it != m_footprints.end()) {
            below = it->second;
            m_checkedBelow.insert(n);
        }
        if (auto it = m_footprints.find(n + 1); it != m_footprints.end() && !m_checkedBelow.count(n + 1)) {
            above = it->second;
            aboveHeight = m_heights[n + 1];
            m_checkedBelow.insert(n + 1);
        }
        // A footprint is done with once both of its pairs are checked.
        for (int k : {n - 1, n, n + 1}) {
            if (m_checkedBelow.count(k) && m_checkedBelow.count(k + 1))
                m_footprints.erase(k);
        }
    }
    if (below)
        checkPair(n, below, footprint, ctx.heightMm);
    if (above)
        checkPair(n + 1, footprint, above, aboveHeight);
}

void LayerAnalysis::checkPair(int upperLayer, const std::shared_ptr<const LayerFootprint> &lower,
                              const std::shared_ptr<const LayerFootprint> &upper, float heightMm)
{
    const std::vector<IslandRegion> regions = findIslands(*lower, *upper);
    if (regions.empty())
        return;
    const double px = m_geometry.pixelSizeXUm / 1000.0, py = m_geometry.pixelSizeYUm / 1000.0;
    const double cx = m_geometry.projectorWidthPx / 2.0, cy = m_geometry.projectorHeightPx / 2.0;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const IslandRegion &r : regions) {
        IslandReport report;
        report.layerIndex = upperLayer;
        report.heightMm = heightMm;
        report.region = r;
        report.xMm = (r.centroidPx.x - cx) * px;
        report.yMm = (r.centroidPx.y - cy) * py;
        report.areaMm2 = r.areaPx * px * py;
        m_islands.push_back(report);
    }
}

void LayerAnalysis::addStored(const std::vector<cv::Mat> &images, const LayerContext &ctx)
{
    if (!m_on.resin)
        return;
    const double lit = litPixels(images, ctx.layerCode, ctx.secondExposureGroup);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heights[ctx.layerIndex] = ctx.heightMm;
    m_litPixels[ctx.layerIndex] = lit;
}

double LayerAnalysis::litPixels(const std::vector<cv::Mat> &images, int layerCode, bool secondExposureGroup)
{
    (void)layerCode;   // the second image of a split layer cures the first image's area again
    if (images.empty() || images.front().empty())
        return 0.0;
    const cv::Mat &image = images.front();
    double sum = 0.0;
    if (secondExposureGroup && image.channels() == 3) {
        std::vector<cv::Mat> channels;
        cv::split(image, channels);
        sum = cv::sum(cv::max(channels[1], channels[2]))[0];
    } else {
        const cv::Scalar s = cv::sum(image);
        for (int c = 0; c < image.channels(); ++c)
            sum += s[c];
    }
    return sum / 255.0;
}

std::vector<IslandReport> LayerAnalysis::islands() const
{
    std::vector<IslandReport> out;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        out = m_islands;
    }
    std::stable_sort(out.begin(), out.end(), [](const IslandReport &a, const IslandReport &b) {
        if (a.layerIndex != b.layerIndex)
            return a.layerIndex < b.layerIndex;
        return a.region.box.y != b.region.box.y ? a.region.box.y < b.region.box.y : a.region.box.x < b.region.box.x;
    });
    return out;
}

double LayerAnalysis::resinVolumeMl(double lastThicknessUm) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const double pixelAreaMm2 = double(m_geometry.pixelSizeXUm) * double(m_geometry.pixelSizeYUm) / 1e6;
    double mm3 = 0.0;
    for (auto it = m_litPixels.begin(); it != m_litPixels.end(); ++it) {
        const auto next = m_heights.find(it->first + 1);
        const auto here = m_heights.find(it->first);
        double thicknessMm = lastThicknessUm / 1000.0;
        if (next != m_heights.end() && here != m_heights.end())
            thicknessMm = double(next->second) - double(here->second);
        mm3 += it->second * pixelAreaMm2 * thicknessMm;
    }
    return mm3 / 1000.0;
}

int LayerAnalysis::layersSeen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::max(m_litPixels.size(), m_heights.size()));
}

QString islandSummary(const std::vector<IslandReport> &islands, int listed)
{
    if (islands.empty())
        return QStringLiteral("no islands");
    // Negative coordinates with a true minus sign, as printed texts write them.
    auto coordinate = [](double mm) {
        const QString text = QString::number(std::abs(mm) < 0.05 ? 0.0 : mm, 'f', 1);
        return text.startsWith('-') ? QStringLiteral("\u2212") + text.mid(1) : text;
    };
    QStringList parts;
    for (int i = 0; i < int(islands.size()) && i < listed; ++i) {
        const IslandReport &r = islands[std::size_t(i)];
        parts << QString("layer %1 at (%2, %3) mm").arg(r.layerIndex).arg(coordinate(r.xMm), coordinate(r.yMm));
    }
    if (int(islands.size()) > listed)
        parts << QStringLiteral("\u2026");
    return QString("%1 %2: %3")
        .arg(islands.size())
        .arg(islands.size() == 1 ? "island" : "islands")
        .arg(parts.join(", "));
}

#pragma once

#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "slicing/IslandFinder.h"
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"

// An island found by a run, where the user looks for it.
struct IslandReport
{
    int layerIndex = 0;       // from 0, as the slice viewer counts layers of a run without split layers
    float heightMm = 0.0f;    // the layer's recorded height
    IslandRegion region;      // in layer-image pixels, before any mirroring
    double xMm = 0.0;         // centroid on the plate (plate centre = 0, y with the image row)
    double yMm = 0.0;
    double areaMm2 = 0.0;
};

// What a run learns about its layers while they pass: the islands, and the resin the layers
// use. One object per run; the slicer feeds it from its worker threads (any order of layers),
// the caller reads it when the run is over.
//
// Resin: each layer's stored images (what the printer cures) are summed with grey levels
// weighted value / 255, times the pixel area, times the layer's thickness (the step to the next
// layer's height; the last layer gets the run's thickness).
class LayerAnalysis : public std::enable_shared_from_this<LayerAnalysis>
{
public:
    struct Switches
    {
        bool islands = true;
        bool resin = true;
    };
    LayerAnalysis() = default;
    explicit LayerAnalysis(Switches on) : m_on(on) {}

    // Forgets earlier layers and returns the post-process hook of a run with this geometry: it
    // looks at each layer's images as rendered and as stored and calls `inner` in between.
    LayerPostProcess attach(const SliceParameters &geometry, LayerPostProcess inner);
    // The same for a run whose layers travel as their lit box.
    LitPostProcess attachLit(const SliceParameters &geometry, LitPostProcess inner);

    // Thread-safe. The rendered images of a layer (the islands look at these).
    void addRendered(const std::vector<cv::Mat> &images, const LayerContext &ctx);
    void addRendered(const std::vector<LitImage> &images, const LayerContext &ctx);
    // Thread-safe. The images of a layer as they are stored.
    void addStored(const std::vector<cv::Mat> &images, const LayerContext &ctx);

    // Islands by layer, then position.
    std::vector<IslandReport> islands() const;
    // Resin of the layers seen, ml; `lastThicknessUm` is the last layer's thickness.
    double resinVolumeMl(double lastThicknessUm) const;
    int layersSeen() const;

    // Lit amount of stored images in pixels, grey levels weighted value / 255. A layer split
    // for the support exposure counts its first image only (the second cures the same area
    // again); a layer with a second exposure group counts a pixel lit in either group once;
    // a packed layer (three grey pixels per RGB pixel) counts every channel.
    static double litPixels(const std::vector<cv::Mat> &images, int layerCode, bool secondExposureGroup);

private:
    void reset(const SliceParameters &geometry);
    void addFootprint(std::shared_ptr<const LayerFootprint> footprint, const LayerContext &ctx);
    void checkPair(int upperLayer, const std::shared_ptr<const LayerFootprint> &lower,
                   const std::shared_ptr<const LayerFootprint> &upper, float heightMm);

    Switches m_on;
    SliceParameters m_geometry;
    mutable std::mutex m_mutex;   // guards everything below
    // Footprints still waiting for a neighbour, by layer; each goes once both pairs it is
    // part of have been checked.
    std::map<int, std::shared_ptr<const LayerFootprint>> m_footprints;
    std::set<int> m_checkedBelow;   // layers whose pair with the layer below has been checked
    std::map<int, float> m_heights;
    std::map<int, double> m_litPixels;
    std::vector<IslandReport> m_islands;
};

// "3 islands: layer 120 at (12.4, −3.1) mm, …" (at most `listed` of them named), or
// "no islands".
QString islandSummary(const std::vector<IslandReport> &islands, int listed = 5);

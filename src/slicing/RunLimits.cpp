#include "slicing/RunLimits.h"

#include <QVector3D>
#include <algorithm>
#include <cmath>
#include <limits>

#include "slicing/Slicer.h"

namespace {

bool within(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

struct Box
{
    double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                    std::numeric_limits<double>::max()};
    double hi[3] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                    std::numeric_limits<double>::lowest()};
    bool empty() const { return lo[0] > hi[0]; }
};

// A box around every shown object in world millimetres: the corners of each mesh's own box
// through its matrix, so it may be larger than the objects but never smaller.
Box shownBox(const std::vector<SliceObject> &objects)
{
    Box box;
    for (const SliceObject &o : objects) {
        if (!o.isShow || !o.mesh || o.mesh->vertexCount() == 0)
            continue;
        for (int corner = 0; corner < 8; ++corner) {
            const QVector3D local((corner & 1) ? o.mesh->maxCoord(0) : o.mesh->minCoord(0),
                                  (corner & 2) ? o.mesh->maxCoord(1) : o.mesh->minCoord(1),
                                  (corner & 4) ? o.mesh->maxCoord(2) : o.mesh->minCoord(2));
            const QVector3D world = o.matrix.map(local);
            for (int a = 0; a < 3; ++a) {
                box.lo[a] = std::min(box.lo[a], double(world[a]));
                box.hi[a] = std::max(box.hi[a], double(world[a]));
            }
        }
    }
    return box;
}

} // namespace

QString checkSliceParameterRanges(const SliceParameters &p)
{
    using namespace RunLimits;
    if (p.projectorWidthPx < minProjectorPx || p.projectorWidthPx > maxProjectorPx || p.projectorHeightPx < minProjectorPx
        || p.projectorHeightPx > maxProjectorPx)
        return QString("The projector size %1 × %2 px (DisplayOverrideX, DisplayOverrideY) is outside %3 to %4 px.")
            .arg(p.projectorWidthPx).arg(p.projectorHeightPx).arg(minProjectorPx).arg(maxProjectorPx);
    const struct { double value; const char *name; } pixels[] = {{p.pixelSizeXUm, "PixelSizeX"},
                                                                {p.pixelSizeYUm, "PixelSizeY"}};
    for (const auto &px : pixels) {
        if (!within(px.value, minPixelSizeUm, maxPixelSizeUm))
            return QString("The pixel size %1 µm (%2) is outside %3 to %4 µm.")
                .arg(number(px.value), px.name, number(minPixelSizeUm), number(maxPixelSizeUm));
    }
    const struct { double value; const char *name; } scales[] = {
        {p.sliceScaleXPct, "SliceScaleX"}, {p.sliceScaleYPct, "SliceScaleY"}, {p.sliceScaleZPct, "SliceScaleZ"}};
    for (const auto &s : scales) {
        if (!within(s.value, minScalePercent, maxScalePercent))
            return QString("The scale compensation %1 % (%2) is outside %3 % to %4 %.")
                .arg(number(s.value), s.name, number(minScalePercent), number(maxScalePercent));
    }
    return QString();
}

QString checkRunRanges(const std::vector<SliceObject> &objects, const SliceParameters &params,
                       const SliceRunOptions &options)
{
    using namespace RunLimits;
    if (!within(options.sliceThicknessUm, 0.0, maxThicknessUm))
        return QString("The layer thickness %1 µm (SliceThickness) is outside 0 to %2 µm.")
            .arg(number(options.sliceThicknessUm), number(maxThicknessUm));
    for (const FlexSliceRange &r : options.flexSlices) {
        if (r.thickness > maxThicknessUm || !std::isfinite(r.from) || !std::isfinite(r.to))
            return QString("The flex slice range %1 – %2 mm with %3 µm layers is not valid.")
                .arg(number(r.from), number(r.to)).arg(r.thickness);
    }
    if (options.sliceThicknessUm < 5.0f) {
        for (float step : options.variableSteps.steps) {
            if (!within(step, 0.0, maxThicknessUm))
                return QString("The variable step %1 µm (VariStep0 … VariStep4) is outside 0 to %2 µm.")
                    .arg(number(step), number(maxThicknessUm));
        }
        if (!within(options.variableSteps.maxStep, 0.0, maxThicknessUm))
            return QString("The maximum variable step %1 µm (VariStepMax) is outside 0 to %2 µm.")
                .arg(number(options.variableSteps.maxStep), number(maxThicknessUm));
    }
    if (!within(options.maxZ, 0.0, maxBuildHeightMm) || options.maxZ <= 0.0f)
        return QString("The slicing range of %1 mm is outside 0 to %2 mm.")
            .arg(number(options.maxZ), number(maxBuildHeightMm));

    // Objects that light no pixel of any layer would make a package of black images.
    const Box box = shownBox(objects);
    if (box.empty())
        return QString("There is no visible object to slice.");
    const double zScale = params.zScaleFactor();
    if (box.hi[2] <= 0.0 || box.lo[2] * zScale >= double(options.maxZ))
        return QString("The objects lie entirely outside the slicing range 0 to %1 mm.").arg(number(options.maxZ));
    const double scaleX = 1.0 + params.sliceScaleXPct / 100.0;
    const double scaleY = 1.0 + params.sliceScaleYPct / 100.0;
    // Half the image in mm, taking the larger pixel size for both axes so that no way of
    // mapping the axes can make a lit image look black here.
    const double pixelMm = std::max(params.pixelSizeXUm, params.pixelSizeYUm) / 1000.0;
    const double halfX = params.projectorWidthPx * pixelMm / 2.0;
    const double halfY = params.projectorHeightPx * pixelMm / 2.0;
    if (box.hi[0] * scaleX < -halfX || box.lo[0] * scaleX > halfX || box.hi[1] * scaleY < -halfY
        || box.lo[1] * scaleY > halfY)
        return QString("The objects lie entirely outside the image of %1 × %2 mm; every layer would be black.")
            .arg(number(2 * halfX), number(2 * halfY));
    return QString();
}

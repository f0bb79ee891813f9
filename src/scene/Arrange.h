#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <vector>

class Scene;

// An axis-aligned rectangle on the plate, mm.
struct PlateRect
{
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    float width() const { return maxX - minX; }
    float height() const { return maxY - minY; }
    bool overlaps(const PlateRect &o, float gapMm) const;
};

// Gap kept between models by arranging and by duplicate's placement, mm.
constexpr float kArrangeGapMm = 2.0f;

// Packs rectangles of the given sizes (width, height in mm), in the given order, into a
// plate of plateWidthMm × plateHeightMm with gapMm between them: each goes to the lowest,
// then leftmost, place where it fits (skyline packing). Returns each rectangle's lower-left
// corner relative to the plate's lower-left corner, or nothing when it does not fit.
struct RectSize
{
    float widthMm = 0, heightMm = 0;
};
struct PlatePoint
{
    float xMm = 0, yMm = 0;
};
std::vector<std::optional<PlatePoint>> packRectangles(const std::vector<RectSize> &sizes, float plateWidthMm,
                                                    float plateHeightMm, float gapMm);

// A place for a rectangle of the given size inside `plate` that keeps gapMm from every taken
// rectangle, as its lower-left corner; of the places tried, the one nearest to `preferred`.
// Nothing when there is no room.
std::optional<PlatePoint> findFreeSpot(float widthMm, float heightMm, const QList<PlateRect> &taken,
                                     const PlateRect &plate, PlatePoint preferred, float gapMm);

struct ArrangeResult
{
    int placed = 0;              // models now on the plate
    QStringList unplaced;        // names of the models that did not fit (set beside the plate)
};

// Places every model of the scene on the plate without overlap: largest footprint first,
// the whole arrangement centred on the plate, each model keeping its rotation, height and
// children (supports, bases, drain holes go along). Models of one group (a multi-part file)
// move as one piece. Models that do not fit are lined up beside the plate, to the right,
// and named in the result. The global base and the support linkers, which no longer match,
// are removed. One undo step puts every model back.
ArrangeResult arrangeModels(Scene &scene, float gapMm = kArrangeGapMm);

#include "scene/Arrange.h"

#include <QMap>
#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/Scene.h"

bool PlateRect::overlaps(const PlateRect &o, float gapMm) const
{
    // Touching at exactly the gap is no overlap; a little slack absorbs float rounding.
    const float g = gapMm - 1e-4f;
    return minX < o.maxX + g && o.minX < maxX + g && minY < o.maxY + g && o.minY < maxY + g;
}

// --- skyline packing --------------------------------------------------------------------------

namespace {

struct SkySegment
{
    float x, y, width;
};

// The height at which a rectangle of width w starting at segment i rests, or -1 when it
// runs past the plate's right edge.
float restingHeight(const std::vector<SkySegment> &sky, std::size_t i, float w, float plateW)
{
    if (sky[i].x + w > plateW + 1e-4f)
        return -1.0f;
    float y = 0.0f, covered = 0.0f;
    for (std::size_t k = i; k < sky.size() && covered < w - 1e-4f; ++k) {
        y = std::max(y, sky[k].y);
        covered += sky[k].width;
    }
    return y;
}

void addToSkyline(std::vector<SkySegment> &sky, std::size_t i, float x, float top, float w)
{
    const float end = x + w;
    std::vector<SkySegment> next(sky.begin(), sky.begin() + long(i));
    next.push_back({x, top, w});
    for (std::size_t k = i; k < sky.size(); ++k) {
        const float segEnd = sky[k].x + sky[k].width;
        if (segEnd <= end + 1e-5f)
            continue;   // covered by the new segment
        const float start = std::max(sky[k].x, end);
        next.push_back({start, sky[k].y, segEnd - start});
    }
    // Neighbours of equal height become one segment.
    sky.clear();
    for (const SkySegment &s : next) {
        if (!sky.empty() && std::abs(sky.back().y - s.y) < 1e-5f)
            sky.back().width += s.width;
        else
            sky.push_back(s);
    }
}

} // namespace

std::vector<std::optional<PlatePoint>> packRectangles(const std::vector<RectSize> &sizes, float plateWidthMm,
                                                    float plateHeightMm, float gapMm)
{
    // Every rectangle carries one gap to its right and top; the plate gets one extra gap so
    // the last row and column may touch its edges.
    const float plateW = plateWidthMm + gapMm, plateH = plateHeightMm + gapMm;
    std::vector<SkySegment> sky{{0.0f, 0.0f, plateW}};
    std::vector<std::optional<PlatePoint>> places;
    for (const RectSize &size : sizes) {
        const float w = size.widthMm + gapMm, h = size.heightMm + gapMm;
        float bestY = std::numeric_limits<float>::max(), bestX = 0.0f;
        std::size_t best = sky.size();
        for (std::size_t i = 0; i < sky.size(); ++i) {
            const float y = restingHeight(sky, i, w, plateW);
            if (y < 0.0f || y + h > plateH + 1e-4f)
                continue;
            if (y < bestY - 1e-5f || (std::abs(y - bestY) <= 1e-5f && sky[i].x < bestX)) {
                bestY = y;
                bestX = sky[i].x;
                best = i;
            }
        }
        if (best == sky.size()) {
            places.emplace_back();
            continue;
        }
        addToSkyline(sky, best, bestX, bestY + h, w);
        places.push_back(PlatePoint{bestX, bestY});
    }
    return places;
}

std::optional<PlatePoint> findFreeSpot(float widthMm, float heightMm, const QList<PlateRect> &taken,
                                     const PlateRect &plate, PlatePoint preferred, float gapMm)
{
    // Places worth trying: the preferred one, and beside every taken rectangle on each side,
    // lined up with its edges or with the preferred place.
    std::vector<PlatePoint> tries{preferred};
    for (const PlateRect &t : taken) {
        const float rightX = t.maxX + gapMm, leftX = t.minX - gapMm - widthMm;
        const float aboveY = t.maxY + gapMm, belowY = t.minY - gapMm - heightMm;
        for (float y : {t.minY, t.maxY - heightMm, preferred.yMm}) {
            tries.push_back({rightX, y});
            tries.push_back({leftX, y});
        }
        for (float x : {t.minX, t.maxX - widthMm, preferred.xMm}) {
            tries.push_back({x, aboveY});
            tries.push_back({x, belowY});
        }
    }
    std::optional<PlatePoint> best;
    double bestDistance = std::numeric_limits<double>::max();
    for (const PlatePoint &p : tries) {
        const PlateRect r{p.xMm, p.yMm, p.xMm + widthMm, p.yMm + heightMm};
        if (r.minX < plate.minX - 1e-4f || r.minY < plate.minY - 1e-4f || r.maxX > plate.maxX + 1e-4f ||
            r.maxY > plate.maxY + 1e-4f)
            continue;
        if (std::any_of(taken.begin(), taken.end(), [&](const PlateRect &t) { return r.overlaps(t, gapMm); }))
            continue;
        const double dx = p.xMm - preferred.xMm, dy = p.yMm - preferred.yMm;
        const double distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = p;
        }
    }
    return best;
}

// --- arranging the scene ----------------------------------------------------------------------

namespace {

// Models that move together (one group, or one model alone) and their common footprint.
struct Piece
{
    QList<int> ids;
    PlateRect box;
    float area() const { return box.width() * box.height(); }
};

QList<Piece> piecesOf(const Scene &scene)
{
    QList<Piece> pieces;
    QMap<int, int> pieceOfGroup;
    for (int id = 1; id < scene.objectCount(); ++id) {
        const Object *o = scene.object(id);
        if (o->type != TypeModel || o->bbox.size() != 6)
            continue;
        const PlateRect box{o->bbox[4], o->bbox[2], o->bbox[5], o->bbox[3]};
        if (o->groupId >= 0 && pieceOfGroup.contains(o->groupId)) {
            Piece &p = pieces[pieceOfGroup.value(o->groupId)];
            p.ids << id;
            p.box = {std::min(p.box.minX, box.minX), std::min(p.box.minY, box.minY),
                     std::max(p.box.maxX, box.maxX), std::max(p.box.maxY, box.maxY)};
            continue;
        }
        if (o->groupId >= 0)
            pieceOfGroup.insert(o->groupId, pieces.size());
        pieces.append(Piece{{id}, box});
    }
    return pieces;
}

} // namespace

ArrangeResult arrangeModels(Scene &scene, float gapMm)
{
    ArrangeResult result;
    scene.removeGlobalBase();
    scene.removeSupportLinkers();

    QList<Piece> pieces = piecesOf(scene);
    QList<int> moved;
    for (const Piece &p : pieces)
        moved << p.ids;
    scene.recordMoves(moved);   // one Ctrl+Z puts them all back
    // Largest first; equal ones keep their list order.
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) { return a.area() > b.area(); });

    const float hx = scene.halfWidthXMm(), hy = scene.halfWidthYMm();
    std::vector<RectSize> sizes;
    for (const Piece &p : pieces)
        sizes.push_back({p.box.width(), p.box.height()});
    const std::vector<std::optional<PlatePoint>> places = packRectangles(sizes, 2 * hx, 2 * hy, gapMm);

    // The packed pieces, centred on the plate as a whole.
    float lo[2] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    float hi[2] = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
    for (int k = 0; k < pieces.size(); ++k) {
        if (!places[std::size_t(k)])
            continue;
        const PlatePoint &at = *places[std::size_t(k)];
        lo[0] = std::min(lo[0], at.xMm);
        lo[1] = std::min(lo[1], at.yMm);
        hi[0] = std::max(hi[0], at.xMm + pieces[k].box.width());
        hi[1] = std::max(hi[1], at.yMm + pieces[k].box.height());
    }
    const float originX = -(lo[0] + hi[0]) * 0.5f, originY = -(lo[1] + hi[1]) * 0.5f;

    float besideX = hx + 2 * gapMm;   // where pieces that do not fit are lined up
    for (int k = 0; k < pieces.size(); ++k) {
        const Piece &p = pieces[k];
        QVector3D d;
        if (const auto &at = places[std::size_t(k)]) {
            d = QVector3D(originX + at->xMm - p.box.minX, originY + at->yMm - p.box.minY, 0.0f);
            result.placed += p.ids.size();
        } else {
            d = QVector3D(besideX - p.box.minX, -(p.box.minY + p.box.maxY) * 0.5f, 0.0f);
            besideX += p.box.width() + gapMm;
            for (int id : p.ids)
                result.unplaced << scene.object(id)->name;
        }
        for (int id : p.ids)
            scene.moveWithChildren(id, d);
    }
    scene.checkPosConflict();
    emit scene.repaintRequested();
    return result;
}

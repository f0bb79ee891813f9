#include "slicing/SectionOutlines.h"

#include <QHash>
#include <cmath>
#include <vector>

#include "scene/Scene.h"
#include "slicing/CutSegments.h"

QList<QPolygonF> chainSegments(const std::vector<float> &segments, double toleranceMm)
{
    const std::size_t n = segments.size() / 6;
    auto pointOf = [&segments](std::size_t s, int end) {
        return QPointF(segments[6 * s + std::size_t(3 * end)], segments[6 * s + std::size_t(3 * end) + 1]);
    };
    // Ends in grid cells of the tolerance; a lookup searches the 3 × 3 cells around a point.
    auto cellOf = [toleranceMm](const QPointF &p) {
        return qMakePair(qint64(std::floor(p.x() / toleranceMm)), qint64(std::floor(p.y() / toleranceMm)));
    };
    QMultiHash<QPair<qint64, qint64>, quint64> ends;   // value: segment · 2 + end
    for (std::size_t s = 0; s < n; ++s)
        for (int e = 0; e < 2; ++e)
            ends.insert(cellOf(pointOf(s, e)), quint64(s) * 2 + quint64(e));
    std::vector<bool> used(n, false);
    auto takeNear = [&](const QPointF &p) -> qint64 {
        const auto c = cellOf(p);
        for (qint64 dx = -1; dx <= 1; ++dx)
            for (qint64 dy = -1; dy <= 1; ++dy)
                for (auto it = ends.find(qMakePair(c.first + dx, c.second + dy)); it != ends.end() && it.key() == qMakePair(c.first + dx, c.second + dy); ++it) {
                    const std::size_t s = std::size_t(it.value() / 2);
                    if (used[s])
                        continue;
                    const QPointF q = pointOf(s, int(it.value() % 2));
                    if (std::hypot(q.x() - p.x(), q.y() - p.y()) <= toleranceMm)
                        return qint64(it.value());
                }
        return -1;
    };

    QList<QPolygonF> outlines;
    for (std::size_t start = 0; start < n; ++start) {
        if (used[start])
            continue;
        used[start] = true;
        QPolygonF chain;
        chain << pointOf(start, 0) << pointOf(start, 1);
        // Forward from the second end, then backward from the first, until the chain closes.
        for (int direction = 0; direction < 2; ++direction) {
            for (;;) {
                const QPointF tip = direction == 0 ? chain.last() : chain.first();
                const qint64 next = takeNear(tip);
                if (next < 0)
                    break;
                const std::size_t s = std::size_t(next / 2);
                used[s] = true;
                const QPointF far = pointOf(s, 1 - int(next % 2));
                if (direction == 0)
                    chain << far;
                else
                    chain.prepend(far);
            }
        }
        // A closed chain ends where it began.
        if (chain.size() > 2 && std::hypot(chain.first().x() - chain.last().x(), chain.first().y() - chain.last().y())
                                    <= toleranceMm)
            chain.removeLast();
        if (chain.size() >= 3)
            outlines << chain;
    }
    return outlines;
}

QList<QPolygonF> sectionOutlinesMm(const Scene &scene, int objectId, float heightMm)
{
    const Object *o = scene.object(objectId);
    if (!o || objectId < 1 || !o->mesh || o->type != TypeModel)
        return {};
    SliceObject s = SliceObject::fromObject(*o);
    s.isShow = true;
    SliceParameters params;
    params.pixelSizeXUm = params.pixelSizeYUm = scene.pixelSizeXUm();
    CutSweep sweep;
    sweep.prepare({s}, params);
    return chainSegments(sweep.outline(heightMm));
}

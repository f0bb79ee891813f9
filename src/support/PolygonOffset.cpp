#include "support/PolygonOffset.h"

#include <clipper.hpp>
#include <cmath>

namespace {

constexpr double kUnitsPerMm = 1.0e5;   // 10 nm: far below a pixel, far from int64 limits

ClipperLib::Path toPath(const QPolygonF &outline)
{
    ClipperLib::Path path;
    path.reserve(std::size_t(outline.size()));
    for (const QPointF &p : outline)
        path.emplace_back(ClipperLib::cInt(std::llround(p.x() * kUnitsPerMm)),
                          ClipperLib::cInt(std::llround(p.y() * kUnitsPerMm)));
    return path;
}

QPolygonF toOutline(const ClipperLib::Path &path)
{
    QPolygonF outline;
    outline.reserve(int(path.size()));
    for (const ClipperLib::IntPoint &p : path)
        outline << QPointF(double(p.X) / kUnitsPerMm, double(p.Y) / kUnitsPerMm);
    return outline;
}

} // namespace

double signedAreaMm2(const QPolygonF &outline)
{
    double twice = 0.0;
    const int n = outline.size();
    for (int i = 0; i < n; ++i) {
        const QPointF &a = outline[i], &b = outline[(i + 1) % n];
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return twice / 2.0;
}

QPolygonF counterClockwise(QPolygonF outline)
{
    if (signedAreaMm2(outline) < 0.0)
        std::reverse(outline.begin(), outline.end());
    return outline;
}

QList<QPolygonF> offsetOutlines(const QList<QPolygonF> &outlines, double deltaMm)
{
    ClipperLib::Paths in;
    for (const QPolygonF &o : outlines) {
        if (o.size() < 3)
            continue;
        ClipperLib::Path p = toPath(counterClockwise(o));
        // Outlines traced from images or cuts may touch themselves; make them simple first.
        ClipperLib::Paths simple;
        ClipperLib::SimplifyPolygon(p, simple, ClipperLib::pftNonZero);
        for (ClipperLib::Path &s : simple)
            in.push_back(std::move(s));
    }
    ClipperLib::ClipperOffset offset(2.0, 0.01 * kUnitsPerMm);
    offset.AddPaths(in, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
    ClipperLib::PolyTree tree;
    offset.Execute(tree, deltaMm * kUnitsPerMm);

    QList<QPolygonF> result;
    for (ClipperLib::PolyNode *node = tree.GetFirst(); node; node = node->GetNext()) {
        if (node->IsHole())
            continue;
        ClipperLib::Path path = node->Contour;
        // Points closer than 2 µm or nearly in line only make caps and walls harder to close.
        ClipperLib::CleanPolygon(path, 0.002 * kUnitsPerMm);
        if (path.size() < 3)
            continue;
        QPolygonF o = counterClockwise(toOutline(path));
        if (std::abs(signedAreaMm2(o)) > 1e-6)
            result << o;
    }
    return result;
}

QPolygonF mergeClosePoints(const QPolygonF &outline, double minGapMm)
{
    QPolygonF out;
    for (const QPointF &p : outline) {
        if (!out.isEmpty() && std::hypot(p.x() - out.last().x(), p.y() - out.last().y()) < minGapMm)
            continue;
        out << p;
    }
    while (out.size() > 1 && std::hypot(out.first().x() - out.last().x(), out.first().y() - out.last().y()) < minGapMm)
        out.removeLast();
    return out;
}

QList<QPolygonF> simpleOutlines(const QPolygonF &outline)
{
    QList<QPolygonF> result;
    if (outline.size() < 3)
        return result;
    ClipperLib::Paths simple;
    ClipperLib::SimplifyPolygon(toPath(outline), simple, ClipperLib::pftNonZero);
    for (ClipperLib::Path &path : simple) {
        ClipperLib::CleanPolygon(path, 0.002 * kUnitsPerMm);
        if (path.size() < 3)
            continue;
        QPolygonF o = counterClockwise(toOutline(path));
        if (std::abs(signedAreaMm2(o)) > 1e-6)
            result << o;
    }
    return result;
}

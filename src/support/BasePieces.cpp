#include "support/BasePieces.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

MeshPiece boxPiece(QVector3D lo, QVector3D hi)
{
    MeshPiece p;
    for (int k = 0; k < 8; ++k) {
        p.vertices.push_back(k & 1 ? hi.x() : lo.x());
        p.vertices.push_back(k & 2 ? hi.y() : lo.y());
        p.vertices.push_back(k & 4 ? hi.z() : lo.z());
    }
    // Corner k has x from bit 0, y from bit 1, z from bit 2.
    p.indices = {0, 2, 1, 1, 2, 3,   // bottom
                 4, 5, 6, 5, 7, 6,   // top
                 0, 1, 4, 1, 5, 4,   // front (y low)
                 2, 6, 3, 3, 6, 7,   // back
                 0, 4, 2, 2, 4, 6,   // left
                 1, 3, 5, 3, 7, 5};  // right
    return p;
}

namespace {

// One rounded corner: a wedge of a quarter cylinder around (cx, cy), from startDeg over 90°
// in six steps of 15°, whose bottom rises towards the diagonal.
MeshPiece cornerPiece(float cx, float cy, float radius, float t, float startDeg)
{
    MeshPiece p;
    auto add = [&p](float x, float y, float z) {
        p.vertices.push_back(x);
        p.vertices.push_back(y);
        p.vertices.push_back(z);
        return int(p.vertexCount() - 1);
    };
    const int c0 = add(cx, cy, 0.0f), c1 = add(cx, cy, t);
    int bottom[7], top[7];
    for (int u = 0; u <= 6; ++u) {
        const double a = qDegreesToRadians(double(startDeg) + u * 15.0);
        const double s = std::sin(2.0 * a);
        const float lift = u == 0 || u == 6 ? 0.0f : float(kRectBaseCornerRiseMm * s * s);
        const float x = cx + radius * float(std::cos(a)), y = cy + radius * float(std::sin(a));
        bottom[u] = add(x, y, lift);
        top[u] = add(x, y, lift + t);
    }
    auto tri = [&p](int a, int b, int c) { p.indices.insert(p.indices.end(), {a, b, c}); };
    for (int u = 0; u < 6; ++u) {
        tri(c1, top[u], top[u + 1]);
        tri(c0, bottom[u + 1], bottom[u]);
        tri(bottom[u], bottom[u + 1], top[u + 1]);
        tri(bottom[u], top[u + 1], top[u]);
    }
    tri(c0, bottom[0], top[0]);
    tri(c0, top[0], c1);
    tri(bottom[6], c0, c1);
    tri(bottom[6], c1, top[6]);
    return p;
}

double cross(const QPointF &o, const QPointF &a, const QPointF &b)
{
    return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
}

bool inTriangle(const QPointF &p, const QPointF &a, const QPointF &b, const QPointF &c)
{
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Triangles joining two closed counter-clockwise rings, a band that faces outward when
// `lower` lies below `upper` (or inside it, for a band in one plane facing down). Each ring
// edge is used once, so the band closes against whatever else uses the rings.
void stitch(MeshPiece &p, const std::vector<int> &lower, const std::vector<int> &upper)
{
    auto at = [&p](int v) { return QVector3D(p.vertices[std::size_t(v) * 3], p.vertices[std::size_t(v) * 3 + 1],
                                             p.vertices[std::size_t(v) * 3 + 2]); };
    const int n = int(lower.size()), m = int(upper.size());
    // Start the upper ring at its point nearest the lower ring's first point.
    int j0 = 0;
    float best = std::numeric_limits<float>::max();
    for (int j = 0; j < m; ++j) {
        const QVector3D d = at(upper[std::size_t(j)]) - at(lower[0]);
        const float dd = d.x() * d.x() + d.y() * d.y();
        if (dd < best) {
            best = dd;
            j0 = j;
        }
    }
    auto L = [&](int i) { return lower[std::size_t(i % n)]; };
    auto U = [&](int j) { return upper[std::size_t((j0 + j) % m)]; };
    int i = 0, j = 0;
    while (i < n || j < m) {
        bool advanceLower;
        if (i == n)
            advanceLower = false;
        else if (j == m)
            advanceLower = true;
        else
            advanceLower = (at(L(i + 1)) - at(U(j))).lengthSquared() <= (at(L(i)) - at(U(j + 1))).lengthSquared();
        if (advanceLower) {
            p.indices.insert(p.indices.end(), {L(i), L(i + 1), U(j)});
            ++i;
        } else {
            p.indices.insert(p.indices.end(), {L(i), U(j + 1), U(j)});
            ++j;
        }
    }
}

std::vector<int> addRing(MeshPiece &p, const QPolygonF &outline, float z)
{
    std::vector<int> ring;
    for (const QPointF &q : outline) {
        ring.push_back(int(p.vertexCount()));
        p.vertices.push_back(float(q.x()));
        p.vertices.push_back(float(q.y()));
        p.vertices.push_back(z);
    }
    return ring;
}

} // namespace

Mesh rectBaseMesh(float sx, float sy, float t)
{
    const float hx = sx / 2, hy = sy / 2, e = kRectBaseOverlapMm;
    // Corners keep apart from each other even on the smallest bases.
    const float c = std::min(kRectBaseCornerMm, 0.45f * std::min(sx, sy));
    std::vector<MeshPiece> pieces;
    pieces.push_back(boxPiece({c - hx - e, c - hy - e, 0}, {hx - c + e, hy - c + e, t}));
    // The strips overlap their neighbours by e but end at the base's edges, so the base
    // measures exactly sx × sy.
    pieces.push_back(boxPiece({-hx, c - hy - e, 0}, {c - hx + e, hy - c + e, t}));
    pieces.push_back(boxPiece({hx - c - e, c - hy - e, 0}, {hx, hy - c + e, t}));
    pieces.push_back(boxPiece({c - hx - e, -hy, 0}, {hx - c + e, c - hy + e, t}));
    pieces.push_back(boxPiece({c - hx - e, hy - c - e, 0}, {hx - c + e, hy, t}));
    pieces.push_back(cornerPiece(hx - c, hy - c, c, t, 0.0f));
    pieces.push_back(cornerPiece(c - hx, hy - c, c, t, 90.0f));
    pieces.push_back(cornerPiece(c - hx, c - hy, c, t, 180.0f));
    pieces.push_back(cornerPiece(hx - c, c - hy, c, t, 270.0f));
    return meshFromPieces(pieces);
}

std::vector<int> triangulateOutline(const QPolygonF &outline)
{
    std::vector<int> tris;
    std::vector<int> left;
    for (int i = 0; i < outline.size(); ++i)
        left.push_back(i);
    if (left.size() < 3)
        return tris;
    std::size_t k = 0, sinceLastEar = 0;
    while (left.size() > 3) {
        const std::size_t n = left.size();
        const int a = left[(k + n - 1) % n], b = left[k % n], c = left[(k + 1) % n];
        const QPointF &pa = outline[a], &pb = outline[b], &pc = outline[c];
        bool ear = cross(pa, pb, pc) > 0;
        for (std::size_t q = 0; ear && q < n; ++q) {
            const int v = left[q];
            if (v == a || v == b || v == c)
                continue;
            const QPointF &pv = outline[v];
            // Points on the ear's corners (touching outlines) do not block it.
            if (pv == pa || pv == pb || pv == pc)
                continue;
            ear = !inTriangle(pv, pa, pb, pc);
        }
        // An outline with no proper ear left (only nearly straight runs) still closes: after a
        // full round without one, the next corner is cut anyway.
        if (ear || sinceLastEar > n) {
            tris.insert(tris.end(), {a, b, c});
            left.erase(left.begin() + long(k % n));
            sinceLastEar = 0;
            k = k % left.size();
        } else {
            k = (k + 1) % n;
            ++sinceLastEar;
        }
    }
    tris.insert(tris.end(), {left[0], left[1], left[2]});
    return tris;
}

MeshPiece prismPiece(const QPolygonF &outline, float z0, float z1)
{
    MeshPiece p;
    if (outline.size() < 3)
        return p;
    const std::vector<int> bottom = addRing(p, outline, z0);
    const std::vector<int> top = addRing(p, outline, z1);
    const int n = outline.size();
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        p.indices.insert(p.indices.end(), {bottom[std::size_t(i)], bottom[std::size_t(j)], top[std::size_t(j)],
                                           bottom[std::size_t(i)], top[std::size_t(j)], top[std::size_t(i)]});
    }
    const std::vector<int> cap = triangulateOutline(outline);
    for (std::size_t k = 0; k + 2 < cap.size(); k += 3) {
        p.indices.insert(p.indices.end(), {top[std::size_t(cap[k])], top[std::size_t(cap[k + 1])],
                                           top[std::size_t(cap[k + 2])]});
        p.indices.insert(p.indices.end(), {bottom[std::size_t(cap[k])], bottom[std::size_t(cap[k + 2])],
                                           bottom[std::size_t(cap[k + 1])]});
    }
    return p;
}

Mesh ringBaseMesh(const QPolygonF &outline, const QList<QPolygonF> &offsets, float zTop)
{
    if (outline.size() < 3 || offsets.size() != 3)
        return Mesh();
    for (const QPolygonF &o : offsets)
        if (o.size() < 3)
            return Mesh();
    MeshPiece p;
    const float zBottom = -0.001f;
    const std::vector<int> widest = addRing(p, offsets[0], zBottom);
    const std::vector<int> middle = addRing(p, offsets[1], zTop * 0.333f);
    const std::vector<int> narrow = addRing(p, offsets[2], zTop * 0.666f);
    const std::vector<int> top = addRing(p, outline, zTop);
    const std::vector<int> innerBottom = addRing(p, outline, zBottom);
    // Outer side, widening downward; inner side straight down (facing the outline's inside,
    // hence its rings in reverse roles); the bottom annulus facing down.
    stitch(p, widest, middle);
    stitch(p, middle, narrow);
    stitch(p, narrow, top);
    std::vector<int> topRing = top, bottomRing = innerBottom;
    const int n = int(top.size());
    for (int i = 0; i < n; ++i)
        p.indices.insert(p.indices.end(), {topRing[std::size_t(i)], topRing[std::size_t((i + 1) % n)],
                                           bottomRing[std::size_t((i + 1) % n)], topRing[std::size_t(i)],
                                           bottomRing[std::size_t((i + 1) % n)], bottomRing[std::size_t(i)]});
    stitch(p, innerBottom, widest);
    return meshFromPieces({p});
}

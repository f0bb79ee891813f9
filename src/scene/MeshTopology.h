#pragma once

// Building blocks shared by the mesh check and the mesh repair: the half-edges of a mesh
// grouped by their first vertex, a union-find over vertices, and volumes and winding numbers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdint>
#include <vector>

#include "scene/Mesh.h"

namespace meshtopo {

// Every triangle (a, b, c) gives the half-edges a→b, b→c and c→a. They are stored grouped by
// their first vertex, so the half-edges of an edge u–w are found by scanning the few that leave
// u and the few that leave w.
struct HalfEdges
{
    std::vector<uint32_t> offset;   // vertexCount + 1 entries
    std::vector<uint32_t> target;   // second vertex of each half-edge
    std::vector<uint32_t> face;     // its triangle (only when built with faces)

    void build(const std::vector<uint32_t> &indices, std::size_t vertexCount, bool withFaces);

    uint32_t begin(uint32_t v) const { return offset[v]; }
    uint32_t end(uint32_t v) const { return offset[v + 1]; }
    // Half-edges u→w.
    uint32_t count(uint32_t u, uint32_t w) const
    {
        uint32_t n = 0;
        for (uint32_t k = offset[u], e = offset[u + 1]; k < e; ++k)
            n += target[k] == w;
        return n;
    }
};

class UnionFind
{
public:
    explicit UnionFind(std::size_t n);
    uint32_t find(uint32_t v);
    void unite(uint32_t a, uint32_t b);

private:
    std::vector<uint32_t> m_parent;
};

using Point = std::array<double, 3>;

inline Point vertexAt(const Mesh &m, uint32_t v, const Point &origin)
{
    const float *p = &m.vertices[3 * std::size_t(v)];
    return {double(p[0]) - origin[0], double(p[1]) - origin[1], double(p[2]) - origin[2]};
}

// Six times the signed volume of the tetrahedron (origin, a, b, c).
inline double tripleProduct(const Point &a, const Point &b, const Point &c)
{
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
}

// Solid angle of the triangle (a, b, c) seen from the origin, signed by its winding, over 4π;
// summed over a closed surface this is the winding number of the origin.
double windingPart(const Point &a, const Point &b, const Point &c);

// Winding numbers of the triangles around each query point: corners(t, a, b, c) fills the
// corners of triangle t (in its winding) and returns false to leave it out. One pass over the
// triangles for all points together.
template <class Corners>
std::vector<double> windingNumbers(std::size_t triangleCount, const std::vector<Point> &queries, Corners corners)
{
    std::vector<double> w(queries.size(), 0.0);
    if (queries.empty())
        return w;
    Point a, b, c;
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (!corners(t, a, b, c))
            continue;
        for (std::size_t q = 0; q < queries.size(); ++q) {
            const Point &p = queries[q];
            w[q] += windingPart({a[0] - p[0], a[1] - p[1], a[2] - p[2]}, {b[0] - p[0], b[1] - p[1], b[2] - p[2]},
                                {c[0] - p[0], c[1] - p[1], c[2] - p[2]});
        }
    }
    return w;
}

// Which shells to turn outside out. A shell's nesting depth is the number of other shells around
// it (tested at one point of it by winding number); solids lie at even depths and enclose a
// positive volume, cavities at odd depths and enclose a negative one. Turned are: negative
// shells at even depth (the outside of a part turned inward), and positive shells at odd
// depth whose nearest enclosing shell is itself negative (a part inside out as a whole, its
// cavities included). Positive shells inside positive ones (a separate body inside another)
// stay as they are.
struct ShellGeometry
{
    std::vector<double> volume6;      // per shell, six times the signed volume
    std::vector<Point> point;         // per shell, a point on its surface
    std::vector<Point> lo, hi;        // per shell, its bounding box
};
// shellOf(t) gives the shell of triangle t; corners(t, a, b, c) its corners as windingNumbers().
template <class ShellOf, class Corners>
std::vector<uint8_t> shellsToTurn(const ShellGeometry &g, std::size_t triangleCount, ShellOf shellOf, Corners corners);

// Centre of the mesh's bounding box: volumes are summed around it to keep the products small.
Point boxCentre(const Mesh &m);

// True when every index names a vertex.
bool indicesInRange(const Mesh &m);

template <class ShellOf, class Corners>
std::vector<uint8_t> shellsToTurn(const ShellGeometry &g, std::size_t triangleCount, ShellOf shellOf, Corners corners)
{
    const std::size_t n = g.volume6.size();
    std::vector<uint8_t> turn(n, 0);
    bool anyNegative = false;
    for (double v : g.volume6)
        anyNegative = anyNegative || v < 0.0;
    if (!anyNegative)
        return turn;
    // Pairs (shell, possible container) whose boxes allow it, found by the container's triangles.
    struct Pair
    {
        std::size_t inner, outer;
        double winding;
    };
    std::vector<Pair> pairs;
    std::vector<std::vector<std::size_t>> pairsOf(n);
    std::size_t work = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const Point &p = g.point[s];
        for (std::size_t o = 0; o < n; ++o) {
            if (o == s || !(p[0] > g.lo[o][0] && p[0] < g.hi[o][0] && p[1] > g.lo[o][1] && p[1] < g.hi[o][1]
                            && p[2] > g.lo[o][2] && p[2] < g.hi[o][2]))
                continue;
            pairsOf[o].push_back(pairs.size());
            pairs.push_back({s, o, 0.0});
        }
    }
    std::vector<std::size_t> trianglesOf(n, 0);
    for (std::size_t t = 0; t < triangleCount; ++t)
        ++trianglesOf[shellOf(t)];
    for (std::size_t o = 0; o < n; ++o)
        work += trianglesOf[o] * pairsOf[o].size();
    // Beyond some hundred million solid angles a load would stall: nesting is not looked at then.
    if (work <= 200000000) {
        Point a, b, c;
        for (std::size_t t = 0; t < triangleCount; ++t) {
            const std::vector<std::size_t> &ids = pairsOf[shellOf(t)];
            if (ids.empty() || !corners(t, a, b, c))
                continue;
            for (std::size_t id : ids) {
                const Point &p = g.point[pairs[id].inner];
                pairs[id].winding += windingPart({a[0] - p[0], a[1] - p[1], a[2] - p[2]},
                                                 {b[0] - p[0], b[1] - p[1], b[2] - p[2]},
                                                 {c[0] - p[0], c[1] - p[1], c[2] - p[2]});
            }
        }
    } else {
        pairs.clear();
    }
    std::vector<std::size_t> depth(n, 0), nearest(n, SIZE_MAX);
    for (const Pair &q : pairs) {
        if (std::abs(q.winding) < 0.5)
            continue;
        ++depth[q.inner];
        const std::size_t &best = nearest[q.inner];
        if (best == SIZE_MAX || std::abs(g.volume6[q.outer]) < std::abs(g.volume6[best]))
            nearest[q.inner] = q.outer;
    }
    for (std::size_t s = 0; s < n; ++s) {
        const bool odd = depth[s] % 2 == 1;
        if (g.volume6[s] < 0.0 && !odd)
            turn[s] = 1;
        else if (g.volume6[s] > 0.0 && odd && g.volume6[nearest[s]] < 0.0)
            turn[s] = 1;
    }
    return turn;
}

} // namespace meshtopo

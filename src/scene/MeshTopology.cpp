#include "scene/MeshTopology.h"

#include <algorithm>
#include <numeric>

namespace meshtopo {

void HalfEdges::build(const std::vector<uint32_t> &indices, std::size_t vertexCount, bool withFaces)
{
    offset.assign(vertexCount + 1, 0);
    const std::size_t n = indices.size() / 3 * 3;
    for (std::size_t k = 0; k < n; ++k)
        ++offset[indices[k] + 1];
    for (std::size_t v = 0; v < vertexCount; ++v)
        offset[v + 1] += offset[v];
    target.resize(n);
    if (withFaces)
        face.resize(n);
    else
        face.clear();
    std::vector<uint32_t> fill(offset.begin(), offset.end() - 1);
    for (std::size_t t = 0; t < n / 3; ++t) {
        const uint32_t *i = &indices[3 * t];
        for (int c = 0; c < 3; ++c) {
            const uint32_t at = fill[i[c]]++;
            target[at] = i[(c + 1) % 3];
            if (withFaces)
                face[at] = uint32_t(t);
        }
    }
}

UnionFind::UnionFind(std::size_t n) : m_parent(n)
{
    std::iota(m_parent.begin(), m_parent.end(), 0u);
}

uint32_t UnionFind::find(uint32_t v)
{
    while (m_parent[v] != v) {
        m_parent[v] = m_parent[m_parent[v]];   // path halving
        v = m_parent[v];
    }
    return v;
}

void UnionFind::unite(uint32_t a, uint32_t b)
{
    a = find(a);
    b = find(b);
    if (a == b)
        return;
    // The smaller number becomes the root: roots come out in vertex order, independent of
    // the order of the unions.
    if (a < b)
        m_parent[b] = a;
    else
        m_parent[a] = b;
}

double windingPart(const Point &a, const Point &b, const Point &c)
{
    const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    const double lc = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    if (la == 0.0 || lb == 0.0 || lc == 0.0)
        return 0.0;
    auto dot = [](const Point &p, const Point &q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
    const double num = tripleProduct(a, b, c);
    const double den = la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la;
    return std::atan2(num, den) / (2.0 * M_PI);
}

Point boxCentre(const Mesh &m)
{
    if (m.vertexCount() == 0)
        return {0, 0, 0};
    Point c;
    for (int a = 0; a < 3; ++a)
        c[std::size_t(a)] = (double(m.minCoord(a)) + double(m.maxCoord(a))) / 2.0;
    return c;
}

bool indicesInRange(const Mesh &m)
{
    const std::size_t n = m.vertexCount();
    return std::all_of(m.indices.begin(), m.indices.end(), [n](uint32_t i) { return i < n; });
}

} // namespace meshtopo

#include "scene/Mesh.h"

#include <algorithm>
#include <limits>

Mesh::Mesh(std::vector<float> &&v, std::vector<uint32_t> &&i, std::vector<uint32_t> &&r)
    : vertices(std::move(v)), indices(std::move(i)), reversedIndices(std::move(r))
{
    v.clear();
    i.clear();
    r.clear();
}

float Mesh::minCoord(int axis) const
{
    float m = std::numeric_limits<float>::max();
    for (std::size_t k = std::size_t(axis); k < vertices.size(); k += 3)
        m = std::min(m, vertices[k]);
    return m;
}

float Mesh::maxCoord(int axis) const
{
    float m = std::numeric_limits<float>::lowest();
    for (std::size_t k = std::size_t(axis); k < vertices.size(); k += 3)
        m = std::max(m, vertices[k]);
    return m;
}

std::vector<uint32_t> reverseWinding(const std::vector<uint32_t> &indices)
{
    std::vector<uint32_t> r(indices.size());
    const std::size_t whole = indices.size() - indices.size() % 3;
    for (std::size_t k = 0; k < whole; k += 3) {
        r[k] = indices[k];
        r[k + 1] = indices[k + 2];
        r[k + 2] = indices[k + 1];
    }
    for (std::size_t k = whole; k < indices.size(); ++k)
        r[k] = indices[k];
    return r;
}

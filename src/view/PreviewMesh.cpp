#include "view/PreviewMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::shared_ptr<Mesh> clusteredMesh(const Mesh &mesh, float cellSize)
{
    const std::size_t n = mesh.vertexCount();
    if (n == 0 || !(cellSize > 0.0f))
        return std::make_shared<Mesh>(mesh);
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    for (std::size_t k = 0; k < n; ++k) {
        for (int a = 0; a < 3; ++a)
            low[a] = std::min(low[a], mesh.vertices[3 * k + std::size_t(a)]);
    }
    // Each vertex's cell as one number (21 bits an axis), looked up in an open hash table.
    std::size_t tableSize = 1;
    while (tableSize < 2 * n)
        tableSize <<= 1;
    constexpr uint64_t unused = ~uint64_t(0);
    std::vector<uint64_t> keys(tableSize, unused);
    std::vector<uint32_t> ids(tableSize, 0);
    std::vector<uint32_t> newIndex(n);
    std::vector<double> sums;
    std::vector<uint32_t> counts;
    uint64_t lastKey = 0;
    uint32_t lastId = 0;
    for (std::size_t k = 0; k < n; ++k) {
        uint64_t key = 0;
        for (int a = 0; a < 3; ++a) {
            const float v = mesh.vertices[3 * k + std::size_t(a)];
            const double c = std::isfinite(v) ? std::floor((double(v) - low[a]) / cellSize) : 0.0;
            key = key << 21 | uint64_t(std::clamp(c, 0.0, double((1 << 21) - 1)));
        }
        if (k > 0 && key == lastKey) {   // neighbours in the vertex list often share a cell
            newIndex[k] = lastId;
            ++counts[lastId];
            for (int a = 0; a < 3; ++a)
                sums[3 * std::size_t(lastId) + std::size_t(a)] += mesh.vertices[3 * k + std::size_t(a)];
            continue;
        }
        std::size_t slot = std::size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & (tableSize - 1);
        while (keys[slot] != unused && keys[slot] != key)
            slot = (slot + 1) & (tableSize - 1);
        if (keys[slot] == unused) {
            keys[slot] = key;
            ids[slot] = uint32_t(counts.size());
            counts.push_back(0);
            sums.insert(sums.end(), {0.0, 0.0, 0.0});
        }
        const uint32_t id = ids[slot];
        lastKey = key;
        lastId = id;
        newIndex[k] = id;
        ++counts[id];
        for (int a = 0; a < 3; ++a)
            sums[3 * std::size_t(id) + std::size_t(a)] += mesh.vertices[3 * k + std::size_t(a)];
    }
    std::vector<float> vertices(sums.size());
    for (std::size_t i = 0; i < sums.size(); ++i)
        vertices[i] = float(sums[i] / counts[i / 3]);
    std::vector<uint32_t> indices;
    indices.reserve(mesh.indices.size() / 4);
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const uint32_t a = mesh.indices[t], b = mesh.indices[t + 1], c = mesh.indices[t + 2];
        if (a >= n || b >= n || c >= n)
            continue;
        const uint32_t na = newIndex[a], nb = newIndex[b], nc = newIndex[c];
        if (na == nb || nb == nc || na == nc)
            continue;   // collapsed into a line or a point
        indices.insert(indices.end(), {na, nb, nc});
    }
    std::vector<uint32_t> reversed = reverseWinding(indices);
    return std::make_shared<Mesh>(std::move(vertices), std::move(indices), std::move(reversed));
}

#pragma once

#include <cstdint>
#include <vector>

#include "scene/Mesh.h"
#include "scene/ReadProgress.h"

// Builds an indexed mesh from the corner records of a triangle soup, given in file order
// (three records per triangle). Records whose x, y and z are exactly equal as floats
// (so +0 and -0 count as equal) become one vertex. The welded vertices are ordered by
// x, then y, then z; each carries the coordinates of its first record in the file, and
// every record's index is the number of its vertex in that order.
//
// Works with a hash table over the distinct points and one sort of the distinct points
// only, so memory stays near the size of the finished mesh and no per-record array of
// coordinates is kept.
class VertexWelder
{
public:
    // expectedRecords sizes the tables up front; it is only a hint.
    explicit VertexWelder(std::size_t expectedRecords = 0);

    // Adds the next record. Coordinates must be finite.
    void add(float x, float y, float z);
    // Adds `count` records (x, y, z each) in order; faster than one at a time because the
    // table lookups of later records are started while earlier ones are compared.
    void add(const float *xyz, std::size_t count);

    std::size_t recordCount() const { return m_indices.size(); }
    std::size_t distinctCount() const { return m_points.size() / 3; }

    // Produces the mesh (vertices, indices, reversedIndices) and leaves the welder empty.
    // Reports 90 once the points are sorted and 90 to 100 while it numbers the records.
    Mesh finish(ProgressMeter *progress = nullptr);

private:
    // One entry of the open-addressing table: the point's canonical bit patterns and its id + 1
    // (0 marks a free slot), so a lookup touches one cache line only.
    struct Slot
    {
        uint32_t x, y, z;
        uint32_t idPlusOne;
    };

    void addKeyed(float x, float y, float z, uint32_t kx, uint32_t ky, uint32_t kz, uint64_t hash);
    void grow();

    std::vector<float> m_points;       // x, y, z of the first record of each distinct point
    std::vector<uint32_t> m_indices;   // per record: its distinct point, later its vertex number
    std::vector<Slot> m_slots;
    uint64_t m_mask = 0;
};

// Welds a flat record list (x, y, z per record, in file order) in one call.
Mesh weldVertices(const std::vector<float> &records);

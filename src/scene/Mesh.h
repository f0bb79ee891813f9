#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <cstdint>
#include <vector>

// An indexed triangle mesh in the model file's own coordinates (mm).
// Travels between the loader thread and the view by value.
struct Mesh
{
    std::vector<float> vertices;              // x, y, z per vertex
    std::vector<uint32_t> indices;            // three vertex numbers per triangle, file winding
    std::vector<uint32_t> reversedIndices;    // same triangles, second and third corner swapped
    QString checkSummary;                     // what the load-time check found and repaired; empty when clean

    Mesh() = default;
    // Takes the three vectors over; the sources are left empty.
    Mesh(std::vector<float> &&v, std::vector<uint32_t> &&i, std::vector<uint32_t> &&r);

    std::size_t vertexCount() const { return vertices.size() / 3; }
    std::size_t triangleCount() const { return indices.size() / 3; }

    // Smallest / largest coordinate along an axis (0 x, 1 y, 2 z). Only for non-empty meshes.
    float minCoord(int axis) const;
    float maxCoord(int axis) const;
};

// The same triangles with the second and third corner of each exchanged,
// so a mirrored object can keep its outward winding.
std::vector<uint32_t> reverseWinding(const std::vector<uint32_t> &indices);

Q_DECLARE_METATYPE(Mesh)
Q_DECLARE_METATYPE(QList<Mesh>)

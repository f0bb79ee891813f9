#pragma once

#include <QString>
#include <QVector3D>
#include <QVector>
#include <memory>
#include <vector>

#include "scene/Mesh.h"
#include "scene/SupportRecord.h"

// An indexed closed solid: x, y, z per vertex and three indices per triangle,
// counter-clockwise seen from outside.
struct MeshPiece
{
    std::vector<float> vertices;
    std::vector<int> indices;

    std::size_t vertexCount() const { return vertices.size() / 3; }
    std::size_t triangleCount() const { return indices.size() / 3; }
};

// Builds the closed primitives supports (and later bases, linkers and drain holes) are
// made of. Overlapping pieces are simply put together: the stencil slicer fills a union
// of closed solids correctly, so no boolean union is needed.
class SupportMeshBuilder
{
public:
    // Thin-tip variant for the next support built: a neck below the contact point.
    bool thinTip = false;
    // Segments around every sphere and frustum, and latitude rings of a sphere.
    unsigned int segmentCount = 12;

    // N·N + 2 vertices, 2·N·N triangles (146 and 288 for N = 12).
    MeshPiece sphere(QVector3D centre, float radius) const;
    // 2·N + 2 vertices, 4·N triangles (26 and 48 for N = 12).
    MeshPiece frustum(QVector3D a, float radiusA, QVector3D b, float radiusB) const;

    // The pieces of a support in the order they are made: for each point its joint sphere
    // (when it has one), then the section down to the next point. The contact point's
    // sphere, when there is one, therefore comes first.
    std::vector<MeshPiece> supportPieces(const QVector<QVector3D> &points, const QVector<float> &radii) const;
    // The support's mesh: the pieces welded into one indexed mesh, triangle order kept.
    Mesh build(const QVector<QVector3D> &points, const QVector<float> &radii) const;
    Mesh build(const spUnit &unit) const { return build(unit.points, unit.radii); }

private:
    struct Tables;
    const Tables &tables() const;
    mutable std::shared_ptr<const Tables> m_tables;
};

// Puts pieces together and welds them as model files are welded.
Mesh meshFromPieces(const std::vector<MeshPiece> &pieces);

// Why a record cannot become a sound support (empty when it can): no points, radii not
// matching the points, coordinates or radii that are not finite numbers, radii that are
// not positive, or two consecutive points at the same place (a section without a
// direction would give a mesh of NaNs).
QString supportRecordProblem(const spUnit &unit);

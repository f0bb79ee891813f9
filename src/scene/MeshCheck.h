#pragma once

#include <QString>
#include <cstddef>

#include "scene/Mesh.h"

// What a look at a mesh's topology found, and what a repair did about it. A mesh prints right
// when every edge has exactly two faces running along it in opposite directions (closed and
// consistently oriented) and every shell encloses a positive volume, apart from cavities:
// shells turned inward that lie inside another shell, as in a hollowed part.
struct MeshCheckReport
{
    bool checked = false;              // false: the mesh was empty or its indices out of range
    std::size_t openEdges = 0;         // edges with one face only
    std::size_t crowdedEdges = 0;      // edges with more than two faces
    std::size_t misorientedEdges = 0;  // edges whose two faces run the same way along them
    std::size_t shells = 0;            // pieces connected through shared vertices
    std::size_t insideOutShells = 0;   // shells of negative volume that are no cavity
    double volumeMm3 = 0.0;            // signed volume of the whole mesh as read

    // Done by repairMesh().
    std::size_t flippedTriangles = 0;  // turned to agree with their neighbours
    std::size_t flippedShells = 0;     // turned outside out
    std::size_t closedHoles = 0;
    std::size_t addedTriangles = 0;    // the triangles that close them

    // Nothing a repair would change.
    bool needsRepair() const { return checked && (openEdges > 0 || misorientedEdges > 0 || insideOutShells > 0); }
    bool repaired() const { return flippedTriangles > 0 || flippedShells > 0 || closedHoles > 0; }

    // "open edges: 0, shells: 1, repaired: 2 flipped shells" (what was found, then what was done;
    // "repaired: nothing" for a clean or unrepaired mesh). Edges with more than two faces are
    // named only when there are some.
    QString summary() const;
};

// Counts open, crowded and misoriented edges and the shells with their volumes. Linear in the
// size of the mesh; the mesh is not changed.
MeshCheckReport checkMesh(const Mesh &mesh);

// Checks the mesh and, when something is wrong, repairs it: each shell's triangles are turned to
// agree with their neighbours (flooding over edges with two faces), holes are closed with a fan
// of triangles, and shells enclosing a negative volume are turned outside out unless they are
// cavities of another shell. A clean mesh is left exactly as it is (same triangles, same order);
// a repaired one keeps its triangles in place (flipped ones with their second and third corner
// exchanged) and gets the closing triangles appended.
MeshCheckReport checkAndRepairMesh(Mesh &mesh);

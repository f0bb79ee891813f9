#pragma once

#include <memory>

#include "scene/Mesh.h"

// A lighter copy of a mesh for pictures of it: the vertices merged on a grid of cells
// `cellSize` wide (mesh units; each cell's vertices become their mean) and the triangles that
// collapse dropped. Where a cell covers a pixel or two of the picture it looks the same, and
// the software renderer draws it many times faster than the full mesh.
std::shared_ptr<Mesh> clusteredMesh(const Mesh &mesh, float cellSize);

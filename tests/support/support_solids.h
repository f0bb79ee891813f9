#pragma once

// Checks that a triangle soup is a closed, outward-wound solid, computed directly from the
// corners (no code of the program involved).

#include <QString>
#include <vector>

#include "scene/Mesh.h"

// Volume enclosed by the triangles (positive for outward winding).
double signedVolume(const std::vector<float> &xyz, const std::vector<int> &indices);
double signedVolume(const Mesh &mesh);
// Empty when every edge belongs to exactly two triangles that use it in opposite
// directions (closed and consistently wound); otherwise the first offending edge.
QString closednessProblem(const std::vector<int> &indices);

#include <QVector3D>

class Scene;
// The box from `lo` to `hi`: 8 corners, 12 triangles wound outwards.
Mesh boxMesh(QVector3D lo, QVector3D hi);
// Loads a box model of the given size into the scene (standing on the plate, centred)
// and returns its id.
int addBoxModel(Scene &scene, QVector3D size, const QString &name = "box.stl");

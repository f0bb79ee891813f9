#pragma once

#include <QPolygonF>
#include <QVector3D>
#include <vector>

#include "scene/Mesh.h"
#include "support/SupportMeshBuilder.h"

// Closed pieces bases are made of, wound outward like the support pieces, and the base
// meshes put together from them. Outlines are in millimetres.

// The box from lo to hi: 8 corners, 12 triangles.
MeshPiece boxPiece(QVector3D lo, QVector3D hi);

// Corner radius of a rectangular base, and how far its corners rise at the diagonal.
constexpr float kRectBaseCornerMm = 2.0f;
constexpr float kRectBaseCornerRiseMm = 1.2f;
// Neighbouring boxes of a rectangular base overlap by this much.
constexpr float kRectBaseOverlapMm = 0.05f;

// A rectangular base of sx × sy × t mm centred on the origin, standing on z = 0: five boxes
// and four quarter-round corners that lift off the plate by up to 1.2 mm at the diagonal, so a
// spatula gets under them. Bases smaller than two corner radii get smaller corners.
Mesh rectBaseMesh(float sx, float sy, float t);

// The counter-clockwise outline filled with triangles (ear clipping), as indices into it.
// Empty for fewer than three points.
std::vector<int> triangulateOutline(const QPolygonF &outline);

// A prism on a counter-clockwise outline from z0 up to z1.
MeshPiece prismPiece(const QPolygonF &outline, float z0, float z1);

// A ring base: a skirt whose inner side follows the outline straight down from zTop to the
// plate and whose outer side widens towards the plate: the outline itself at zTop, offsets
// of 0.301 mm at 0.666·zTop, 0.701 mm at 0.333·zTop and 1.301 mm at the bottom (z = −0.001).
// `offsets` are those three outward offsets of the outline, widest first. Empty when an
// outline has fewer than three points.
Mesh ringBaseMesh(const QPolygonF &outline, const QList<QPolygonF> &offsets, float zTop);

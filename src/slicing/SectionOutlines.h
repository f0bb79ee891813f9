#pragma once

#include <QList>
#include <QPolygonF>

class Scene;

// The closed outlines (mm, x and y) where the plane z = heightMm cuts object objectId (a
// model), from the same cut the processor renderer fills: its segments chained end to end.
// A cut through a mesh with gaps may leave chains open; they count as outlines too.
QList<QPolygonF> sectionOutlinesMm(const Scene &scene, int objectId, float heightMm);

// Chains segments (x0, y0, z0, x1, y1, z1 per segment, as CutSweep::outline gives them)
// into outlines; ends closer than toleranceMm meet.
QList<QPolygonF> chainSegments(const std::vector<float> &segments, double toleranceMm = 1e-4);

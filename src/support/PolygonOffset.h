#pragma once

#include <QList>
#include <QPolygonF>

// Closed outlines in millimetres, x and y. Offsets, clean-ups and orientation for the
// outlines bases are built from; the offsetting is Clipper's (integer coordinates at
// 10 nm, rounded joins).

// Twice nothing: the area enclosed, positive when the outline runs counter-clockwise.
double signedAreaMm2(const QPolygonF &outline);

// The outline running counter-clockwise.
QPolygonF counterClockwise(QPolygonF outline);

// Offsets the outlines outward by deltaMm (inward when negative) and returns the resulting
// outer outlines, counter-clockwise, without near-collinear points. Holes that an offset
// may close off are dropped (a base fills them). An outline that shrinks away gives nothing.
QList<QPolygonF> offsetOutlines(const QList<QPolygonF> &outlines, double deltaMm);

// Merges consecutive points closer than minGapMm (also the last with the first); fewer
// than three points may remain.
QPolygonF mergeClosePoints(const QPolygonF &outline, double minGapMm);

// The simple outlines (counter-clockwise, no self-crossings) an outline encloses: one for a
// simple outline, several where it crosses itself into lobes, none when it encloses nothing.
QList<QPolygonF> simpleOutlines(const QPolygonF &outline);

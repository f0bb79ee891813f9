#pragma once

#include <QString>
#include <QVector3D>

#include "scene/Mesh.h"

class Scene;

// Drain holes: closed 12-sided cylinders along a model's surface normal that the slicer
// takes out of the layers of the model, so uncured resin can run out of a hollow part.

// The hole's cylinder (world mm): from 1 mm outside the surface point down the normal to
// heightMm + 1 mm inside it, diameterMm across. Empty for a zero normal or sizes not above 0.
Mesh drainHoleMesh(QVector3D surfacePointMm, QVector3D normal, double diameterMm, double heightMm);

struct DrainHoleSettings
{
    double diameterMm = 2.0;
    double heightMm = 4.0;
};

// Places a drain hole at a surface point of object hitObject (a model or a hollowed model),
// child of parentId (the selected object). A preview is see-through (opacity 0.3), has no
// history and no log line, and is always the last object. Returns the new object's id, or -1
// with *error (nothing placed) when the point is not on a model or the sizes are not above 0.
int placeDrainHole(Scene &scene, int hitObject, int parentId, QVector3D surfacePointMm, QVector3D normal,
                   const DrainHoleSettings &settings, bool preview, QString *error = nullptr);

// Removes the drain-hole preview when it is the last object.
bool deleteDrainHolePreview(Scene &scene);

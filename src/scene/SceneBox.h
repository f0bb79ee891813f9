#pragma once

#include <QList>
#include <QMatrix4x4>

#include "scene/Mesh.h"

// The axis-aligned world box of a mesh placed by toWorld, measured on every vertex:
// top z, bottom z, smallest y, largest y, smallest x, largest x (the order of Object::bbox).
// Empty for a mesh without vertices.
QList<float> measureWorldBox(const Mesh &mesh, const QMatrix4x4 &toWorld);

#pragma once

// Small models and files shared by the scene tests.

#include <QByteArray>
#include <QString>
#include <QVector3D>

#include "scene/Mesh.h"

// The box from `lo` to `hi`: 8 corners, 12 triangles wound outwards.
Mesh boxMesh(QVector3D lo, QVector3D hi);

// Writes a fixture file and returns its path; stops the test program when it cannot.
QString writeFixture(const QString &path, const QByteArray &data);

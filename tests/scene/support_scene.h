#pragma once

// Small models and files shared by the scene tests.

#include <QByteArray>
#include <QString>
#include <QVector3D>
#include <array>
#include <vector>

#include "scene/Mesh.h"

// The box from `lo` to `hi`: 8 corners, 12 triangles wound outwards.
Mesh boxMesh(QVector3D lo, QVector3D hi);

#include "scene/Scene.h"

// A scene that places the meshes of a file at once, without the pause that keeps a window live.
struct QuickScene : Scene
{
    QuickScene() { setLoadPauseMs(0); }
};

// Loads a box model into the scene and returns its id.
int addBox(Scene &s, QVector3D lo, QVector3D hi, const QString &name = "box.stl");
// The same for a 1 × 1 × heightMm box.
int addBox(Scene &s, const QString &name, float heightMm = 1);
// Adds a child object (a 1 mm cube) of the given type to a model and returns its id.
int addChild(Scene &s, int parent, int type, const QString &name);

// One triangle, corner by corner: x, y, z of each.
using Triangle = std::array<float, 9>;
// The triangles as a binary STL; `announced` (when not negative) is written as the triangle
// count instead of the true one, `attribute` as each triangle's attribute word.
QByteArray binaryStl(const std::vector<Triangle> &tris, const QByteArray &header = "solid cube", qint64 announced = -1,
                     quint16 attribute = 0);
// The triangles of a mesh.
std::vector<Triangle> trianglesOf(const Mesh &m);

// Writes a fixture file and returns its path; stops the test program when it cannot.
QString writeFixture(const QString &path, const QByteArray &data);

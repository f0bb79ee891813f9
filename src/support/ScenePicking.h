#pragma once

#include <QVector3D>

class Scene;

// Where a ray first meets the scene's visible models (and supports when asked), answered
// on the processor with each mesh's ray index: supports are placed under the mouse on
// every move, so the probe must not cost a draw of the whole scene.
struct SceneHit
{
    bool hit = false;
    int objectId = -1;
    QVector3D point;    // mm, world
    QVector3D normal;   // unit, outward
};

// The hit nearest to `start` along `direction` (mm, world; t ≥ 0). The preview support
// never counts.
SceneHit pickScene(const Scene &scene, QVector3D start, QVector3D direction, bool withSupports);
// Where the ray crosses the plate plane z = 0; false when it runs parallel to it or away.
bool platePoint(QVector3D start, QVector3D direction, QVector3D *point);

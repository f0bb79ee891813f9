#pragma once

#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QVector3D>
#include <QVector>
#include <functional>

#include "view/Camera.h"

struct Object;
class SceneRenderer;
struct ViewSettings;

// One place where the pick ray meets a surface, in mm, with the unit face normal.
struct PickHit
{
    QVector3D point;
    QVector3D normal;
    int objectId = -1;
};

struct PickResult
{
    QVector<PickHit> hits;   // in the order the GPU wrote them
    int chosen = -1;         // index into hits; -1 when the ray hit nothing
    QString error;           // set when picking could not run at all

    bool hasHit() const { return chosen >= 0; }
    const PickHit &hit() const { return hits[chosen]; }
};

// Room for this many hits along one ray; more are not recorded.
constexpr int maxPickHits = 80;

// The top-most hit (greatest z), or in bottom mode the lowest; a later hit replaces the
// choice only when it is higher (lower) by more than 0.00001 mm. -1 for no hits.
int chooseHit(const QVector<PickHit> &hits, bool bottomPick);

// Which objects a pick considers.
using PickFilter = std::function<bool(int id, const Object &obj)>;
// Visible objects after the build plate; supports only when `withSupports`.
PickFilter defaultPickFilter(bool withSupports);

// Casts the ray through `mousePos` (logical px) against the candidate objects on the GPU
// (transform feedback, no rasterisation). The renderer's context must be current.
PickResult rayPick(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                   const ViewSettings &settings, const QPointF &mousePos, bool bottomPick,
                   const PickFilter &filter);
// The same with an explicit ray in mm (the CLI and tests aim without a mouse).
PickResult rayPick(SceneRenderer &renderer, const QVector<const Object *> &objects, const PickRay &ray,
                   bool bottomPick, const PickFilter &filter);

// Colour codes of the object pass: id + 1 spread over red, green and blue; black is nothing.
void encodePickColor(int id, unsigned char *r, unsigned char *g, unsigned char *b);
int decodePickColor(unsigned char r, unsigned char g, unsigned char b);   // -1 for black

// Draws the pickable objects into the bound framebuffer with their colour codes (cleared
// to black first, depth tested).
void drawSelectPass(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                    const ViewSettings &settings, const QSize &framebufferPx, const PickFilter &filter);

// The object under `mousePos` (logical px) by the colour pass, rendered off screen at
// `framebufferPx` (widget size × device pixel ratio); -1 for none. The caller's
// framebuffer is bound again afterwards.
int pickObjectAt(SceneRenderer &renderer, const QVector<const Object *> &objects, const Camera &camera,
                 const ViewSettings &settings, const QSize &framebufferPx, const QPointF &mousePos,
                 const PickFilter &filter);

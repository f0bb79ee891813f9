#include "support/ScenePicking.h"

#include <cmath>

#include "scene/Scene.h"
#include "support/RayIndex.h"

SceneHit pickScene(const Scene &scene, QVector3D start, QVector3D direction, bool withSupports)
{
    SceneHit best;
    float bestT = 0;
    for (int id = 1; id < scene.objectCount(); ++id) {
        const Object *o = scene.object(id);
        if (!o || !o->isShow || !o->mesh)
            continue;
        const bool wanted = o->type == TypeModel || o->type == TypeHollowedModel
                            || (withSupports && o->type == TypeSupport && !o->support.preview);
        if (!wanted)
            continue;
        const std::shared_ptr<const RayIndex> index = rayIndexFor(o->mesh);
        const RayIndex::Hit h = ObjectRays(*index, objectMatrix(*o)).cast(start, direction);
        if (!h.hit)
            continue;
        const float t = QVector3D::dotProduct(h.point - start, direction);
        if (t < 0 || (best.hit && t >= bestT))
            continue;
        best.hit = true;
        best.objectId = id;
        best.point = h.point;
        best.normal = h.normal;
        bestT = t;
    }
    return best;
}

bool platePoint(QVector3D start, QVector3D direction, QVector3D *point)
{
    if (std::abs(direction.z()) < 1e-9f)
        return false;
    const float t = -start.z() / direction.z();
    if (t < 0)
        return false;
    *point = start + t * direction;
    point->setZ(0);
    return true;
}

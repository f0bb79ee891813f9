#include "support/DrainHoles.h"

#include <cmath>

#include "scene/Scene.h"
#include "support/SupportMeshBuilder.h"

Mesh drainHoleMesh(QVector3D surfacePointMm, QVector3D normal, double diameterMm, double heightMm)
{
    if (!(diameterMm > 0) || !(heightMm > 0) || !std::isfinite(diameterMm) || !std::isfinite(heightMm)
        || normal.length() < 1e-6f)
        return Mesh();
    const QVector3D n = normal.normalized();
    const float r = float(diameterMm * 0.5);
    const float h = float(heightMm + 1.0);
    SupportMeshBuilder builder;
    return meshFromPieces({builder.frustum(surfacePointMm + n, r, surfacePointMm - h * n, r)});
}

int placeDrainHole(Scene &scene, int hitObject, int parentId, QVector3D surfacePointMm, QVector3D normal,
                   const DrainHoleSettings &settings, bool preview, QString *error)
{
    const Object *hit = scene.object(hitObject);
    if (!hit || hitObject < 1 || (hit->type != TypeModel && hit->type != TypeHollowedModel)) {
        if (error)
            *error = QStringLiteral("A drain hole goes on a model.");
        return -1;
    }
    Mesh mesh = drainHoleMesh(surfacePointMm, normal, settings.diameterMm, settings.heightMm);
    if (mesh.vertices.empty()) {
        if (error)
            *error = QStringLiteral("The drain hole diameter and height must be above 0 mm.");
        return -1;
    }
    Object hole;
    hole.type = TypeDrainHole;
    hole.name = QStringLiteral("DrainHole");
    hole.parent = scene.object(parentId) && parentId >= 1 ? parentId : hitObject;
    hole.opacity = preview ? 0.3f : 1.0f;
    hole.mesh = std::make_shared<Mesh>(std::move(mesh));
    const int id = scene.addStructureObject(std::move(hole), !preview);
    if (id >= 0 && !preview) {
        emit scene.modelListChanged();
        emit scene.updateLogWindow(QStringLiteral("DrainHole has been added."));
    }
    return id;
}

bool deleteDrainHolePreview(Scene &scene)
{
    return scene.removeLastPreview(TypeDrainHole);
}

#include "view/ScenePreviews.h"

#include "scene/Scene.h"
#include "view/Camera.h"
#include "view/PreviewMesh.h"
#include "view/Previews.h"
#include "view/SceneRenderer.h"

#include <algorithm>
#include <cmath>

namespace {

// Meshes above this many triangles are drawn from a lighter copy.
constexpr std::size_t heavyMeshTriangles = 100000;
// Cells of the lighter copies: the scene's extent over this, about three pixels of a 512-pixel
// picture, where the difference does not show.
constexpr float cellsAcrossScene = 96.0f;

// The scene's objects, heavy meshes replaced by lighter copies of them (see clusteredMesh):
// five pictures of a million triangles cost a software renderer more than slicing them does.
std::vector<Object> lightObjects(Scene &scene)
{
    float extent = scene.topOfScene();
    for (int id = 1; id < scene.objectCount(); ++id) {
        const QList<float> &b = scene.object(id)->bbox;
        if (b.size() >= 6)
            extent = std::max({extent, b[3] - b[2], b[5] - b[4]});
    }
    std::vector<Object> objects;
    objects.reserve(std::size_t(scene.objectCount()));
    for (int id = 0; id < scene.objectCount(); ++id) {
        Object copy = *scene.object(id);
        const float scale = std::max({std::abs(copy.scale.x()), std::abs(copy.scale.y()), std::abs(copy.scale.z())});
        if (id > 0 && copy.mesh && copy.mesh->triangleCount() > heavyMeshTriangles && extent > 0 && scale > 0) {
            copy.mesh = clusteredMesh(*copy.mesh, extent / cellsAcrossScene / scale);
            copy.meshBuffers.reset();
        }
        objects.push_back(std::move(copy));
    }
    return objects;
}

} // namespace

QList<QImage> renderScenePreviews(Scene &scene, const ViewSettings &settings, QString *error)
{
    SceneRenderer renderer;
    QString why;
    if (!renderer.initialize(&why)) {
        if (error)
            *error = why;
        return {};
    }
    FrameState frame;
    const std::vector<Object> objects = lightObjects(scene);
    for (const Object &obj : objects)
        frame.objects.append(&obj);
    const QSize targetPx(previewSidePx, previewSidePx);
    Camera camera;
    camera.setViewportSize(targetPx);
    const QList<QImage> previews = capturePreviews(renderer, camera, settings, frame, scene.topOfScene(), targetPx);
    // The GPU copies were made for these pictures only: drop them, so the renderer frees them
    // when it goes and the memory is back before whatever runs next.
    for (int id = 0; id < scene.objectCount(); ++id)
        scene.object(id)->meshBuffers.reset();
    if (previews.isEmpty() && error)
        *error = QStringLiteral("the scene holds no model to show");
    return previews;
}

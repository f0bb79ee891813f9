#include "view/ScenePreviews.h"

#include "scene/Scene.h"
#include "view/Camera.h"
#include "view/Previews.h"
#include "view/SceneRenderer.h"

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
    frame.objects = FrameState::objectsOf(scene);
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

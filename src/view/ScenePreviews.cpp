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
    if (previews.isEmpty() && error)
        *error = QStringLiteral("the scene holds no model to show");
    return previews;
}

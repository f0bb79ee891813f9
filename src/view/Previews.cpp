#include <epoxy/gl.h>

#include "view/Previews.h"

#include "scene/Object.h"
#include "view/Camera.h"
#include "view/OffscreenTarget.h"
#include "view/SceneRenderer.h"

#include <algorithm>
#include <limits>

const PreviewAngle previewAngles[5] = {{-180, 180}, {-90, 180}, {-90, 270}, {-90, 90}, {-115, 215}};

PreviewFraming previewFraming(const QVector<const Object *> &objects, float topOfScene, bool orthographic)
{
    PreviewFraming f;
    QVector3D sum;
    int models = 0;
    float minX = std::numeric_limits<float>::max(), maxX = std::numeric_limits<float>::lowest();
    float minY = minX, maxY = maxX;
    for (int id = 1; id < objects.size(); ++id) {
        const Object *obj = objects[id];
        if (!obj || obj->type != TypeModel || obj->bbox.size() < 6)
            continue;
        const QList<float> &b = obj->bbox;
        sum += QVector3D(-obj->move.x(), -obj->move.y(), -(b[0] + b[1]) / 2.0f);
        minY = std::min(minY, b[2]);
        maxY = std::max(maxY, b[3]);
        minX = std::min(minX, b[4]);
        maxX = std::max(maxX, b[5]);
        ++models;
    }
    if (models == 0)
        return f;
    f.valid = true;
    f.center = sum / float(models);
    const float extent = std::max({maxX - minX, maxY - minY, topOfScene});
    float zoom = extent > 0.0f ? 250.0f / extent / 1.5f : 20.0f;
    if (orthographic)
        zoom /= 3.0f;
    f.zoom = std::clamp(zoom, 1.0f, 20.0f);
    return f;
}

QImage captureFrame(SceneRenderer &renderer, const Camera &camera, const ViewSettings &settings,
                    const FrameState &frame, const QSize &framebufferPx)
{
    const QSize size(std::max(framebufferPx.width(), previewSidePx),
                     std::max(framebufferPx.height(), previewSidePx));
    OffscreenTarget target;
    QImage image;
    if (target.create(size)) {
        // The camera's aspect must follow the target, or the picture would be stretched.
        Camera shot = camera;
        shot.setViewportSize(size);
        FrameState f = frame;
        f.background = false;   // previews keep a transparent background
        renderer.render(shot, settings, f, size);
        image = QImage(previewSidePx, previewSidePx, QImage::Format_RGBA8888);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels((size.width() - previewSidePx) / 2, (size.height() - previewSidePx) / 2, previewSidePx,
                     previewSidePx, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        image = image.mirrored(false, true);
    }
    return image;
}

QList<QImage> capturePreviews(SceneRenderer &renderer, Camera &camera, const ViewSettings &settings,
                              const FrameState &frame, float topOfScene, const QSize &framebufferPx)
{
    QList<QImage> pictures;
    if (frame.objects.size() <= 1)
        return pictures;
    const PreviewFraming framing = previewFraming(frame.objects, topOfScene, camera.orthographic);
    if (!framing.valid)
        return pictures;
    const QVector3D savedCenter = camera.gCenter;
    camera.gCenter = framing.center;
    camera.zoom = framing.zoom;
    // A preview shows the models, not the editing state.
    FrameState clean = frame;
    clean.selection.clear();
    clean.showBounds = false;
    clean.supportMode = 0;
    clean.clip = false;
    clean.waterline = false;
    clean.flexBand = false;
    clean.slicing = false;
    for (const PreviewAngle &a : previewAngles) {
        camera.tilt = camera.targetTilt = a.tilt;
        camera.yaw = camera.targetYaw = a.yaw;
        pictures.append(captureFrame(renderer, camera, settings, clean, framebufferPx));
    }
    camera.gCenter = savedCenter;
    return pictures;
}

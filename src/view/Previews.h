#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QVector3D>
#include <QVector>

struct Object;
class Camera;
class SceneRenderer;
struct ViewSettings;
struct FrameState;

// Side of the square preview pictures, px.
constexpr int previewSidePx = 512;

// Where the previews look from: (tilt, yaw) for Top, Front, Left, Right and the
// three-quarter view, the order the package stores them in.
struct PreviewAngle
{
    float tilt;
    float yaw;
};
extern const PreviewAngle previewAngles[5];

// How the previews frame the models: the view centre on their mean position and a zoom
// that fits them (and the scene height).
struct PreviewFraming
{
    bool valid = false;   // false: no model to show
    QVector3D center;     // the gCenter to use
    float zoom = 1.0f;
};
PreviewFraming previewFraming(const QVector<const Object *> &objects, float topOfScene, bool orthographic);

// Renders one frame off screen and returns its central 512 × 512 pixels (top row first).
// The target is at least 512 px each way, so a small widget still gives a full picture.
// The renderer's context must be current; the caller's framebuffer is bound again afterwards.
QImage captureFrame(SceneRenderer &renderer, const Camera &camera, const ViewSettings &settings,
                    const FrameState &frame, const QSize &framebufferPx);

// The five preview pictures. The camera's angles and zoom are left as the last picture
// needs them (the caller repaints); its centre is restored. Empty when there is no model.
QList<QImage> capturePreviews(SceneRenderer &renderer, Camera &camera, const ViewSettings &settings,
                              const FrameState &frame, float topOfScene, const QSize &framebufferPx);

#pragma once

#include <QMatrix4x4>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QVector3D>

struct Object;

// The seven fixed views offered by the menu and the view buttons.
enum class ViewPreset { Isometric, Front, Left, Rear, Right, Top, Bottom };

// A ray in millimetres: start + t * direction, t > 0 in front of the near plane.
struct PickRay
{
    QVector3D start;
    QVector3D direction;
};

// The orbit camera of the 3D view. Pure arithmetic, no GL, so every rule can be tested
// without a window.
//
// There is no projection matrix: the shaders replace w by z + pFactor when pFactor > 1,
// which gives a simple perspective; pFactor 0 is orthographic. Vertices reach the view
// in scene units (mm × sceneScale).
class Camera
{
public:
    static constexpr float defaultZoom = 4.5f;
    static constexpr float defaultOrthoZoom = 1.5f;
    static constexpr float defaultTilt = -115.0f;
    static constexpr float defaultYaw = 210.0f;
    static constexpr float perspectiveFactor = 3.0f;
    static QVector3D defaultCenter() { return {0.0f, 0.0f, -15.0f}; }

    float zoom = defaultZoom;
    float tilt = defaultTilt;            // degrees about X
    float yaw = defaultYaw;              // degrees about Z
    float targetTilt = defaultTilt;
    float targetYaw = defaultYaw;
    QVector3D gCenter = defaultCenter(); // mm; the view looks at -gCenter
    QPointF markerCenter;                // centre of the marker lines, mm
    float pFactor = perspectiveFactor;
    bool orthographic = false;
    float response = 0.02f;              // animation gain per millisecond
    bool wheelZoomDir = false;           // inverts the wheel
    bool zoomCenterMoving = false;       // wheel zoom keeps the point under the cursor
    QPointF lastMousePos;                // px

    // Widget size in logical pixels (aspect and mouse mapping).
    void setViewportSize(const QSize &size);
    QSize viewportSize() const { return m_viewport; }

    // mm -> scene units: 2 / (projector width in mm) / 1.5.
    void setSceneScale(float scale) { m_sceneScale = scale; }
    float sceneScale() const { return m_sceneScale; }
    static float sceneScaleFor(int projectorWidthPx, float pixelSizeXUm);

    // Maps scene units to the view: aspect, zoom, tilt, yaw and the centre shift.
    QMatrix4x4 viewMatrix() const;

    // One animation step toward the targets; the step is capped at 3 ms so a stalled
    // frame does not overshoot.
    void animate(float elapsedMs);
    // True when the angles have reached their targets (nothing left to glide).
    bool isAtRest() const;
    // Copies the current angles into the targets, which stops any glide.
    void stopGlide();

    static void presetAngles(ViewPreset preset, float *tilt, float *yaw);
    static QString presetName(ViewPreset preset);   // "Isometric", "Front", …
    void applyPreset(ViewPreset preset);             // sets the targets only

    // Centre (0, 0, -15), marker centre 0, default angles as targets, default zoom for
    // the current projection.
    void resetView();
    // Centres on a model (its x, y position and the middle of its z extent); anything
    // else, or nothing, brings back the default centre.
    void resetCenter(const Object *selected);

    // Orthographic divides zoom by the perspective factor; perspective multiplies by 3.
    // Nothing happens when the projection does not change.
    void setOrthographic(bool ortho);

    // Wheel zoom by `delta` eighths of a degree (120 a notch). With keepCursorPoint the
    // point under `pos` stays where it is.
    void wheel(int delta, const QPointF &pos, bool keepCursorPoint);
    // Right-button drag: new targets from the current angles, clamped to the usable range.
    void rightDrag(float dx, float dy);
    // Left drag with Ctrl: moves the centre up and down.
    void liftDrag(float dy);
    // Left drag that pans: the point grabbed at `from` follows the cursor to `to`.
    void pan(const QPointF &from, const QPointF &to);

    // The pick ray through a mouse position (logical px), in mm.
    PickRay ray(const QPointF &mousePos) const;
    // The point under the cursor on the plane through the view centre that faces the
    // camera, in mm. Panning and zoom-to-cursor use it.
    QVector3D pointUnderCursor(const QPointF &mousePos) const;

    // "tilt: …, yaw: …, zoom: …, gCenter: (x, y, z), scale: …"
    QString statusText() const;
    // "x: …, y: …" of the last mouse position.
    QString mouseText() const;

private:
    QPointF normalised(const QPointF &mousePos) const;

    QSize m_viewport{1, 1};
    float m_sceneScale = 2.0f / 96.0f / 1.5f;   // 1920 px × 50 µm until the printer is known
};

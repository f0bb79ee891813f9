#include "view/Camera.h"

#include "scene/Object.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {
// Below this the glide is finished; snapping avoids endless sub-pixel repaints.
constexpr float restEpsilonDeg = 0.01f;
}

void Camera::setViewportSize(const QSize &size)
{
    m_viewport = QSize(std::max(1, size.width()), std::max(1, size.height()));
}

float Camera::sceneScaleFor(int projectorWidthPx, float pixelSizeXUm)
{
    const float widthMm = float(projectorWidthPx) * pixelSizeXUm / 1000.0f;
    if (!(widthMm > 0.0f))
        return 2.0f / 96.0f / 1.5f;
    return 2.0f / widthMm / 1.5f;
}

QMatrix4x4 Camera::viewMatrix() const
{
    QMatrix4x4 m;
    const float w = float(m_viewport.width());
    const float h = float(m_viewport.height());
    if (w <= h)
        m.scale(-1.0f, w / h, 0.5f);
    else
        m.scale(-h / w, 1.0f, 0.5f);
    m.scale(zoom, zoom, 1.0f);
    m.rotate(tilt, 1.0f, 0.0f, 0.0f);
    m.rotate(yaw, 0.0f, 0.0f, 1.0f);
    m.translate(m_sceneScale * gCenter);
    return m;
}

void Camera::animate(float elapsedMs)
{
    const float dt = std::clamp(elapsedMs, 0.0f, 3.0f);
    yaw += (targetYaw - yaw) * dt * response;
    if (yaw > 360.0f && targetYaw > 360.0f) {
        yaw -= 360.0f;
        targetYaw -= 360.0f;
    }
    if (yaw < -360.0f && targetYaw < -360.0f) {
        yaw += 360.0f;
        targetYaw += 360.0f;
    }
    tilt += (targetTilt - tilt) * dt * response;
    if (std::fabs(targetYaw - yaw) < restEpsilonDeg)
        yaw = targetYaw;
    if (std::fabs(targetTilt - tilt) < restEpsilonDeg)
        tilt = targetTilt;
}

bool Camera::isAtRest() const
{
    return yaw == targetYaw && tilt == targetTilt;
}

void Camera::stopGlide()
{
    targetTilt = tilt;
    targetYaw = yaw;
}

void Camera::presetAngles(ViewPreset preset, float *t, float *y)
{
    switch (preset) {
    case ViewPreset::Isometric: *t = -115; *y = 215; break;
    case ViewPreset::Front:     *t = -90;  *y = 180; break;
    case ViewPreset::Left:      *t = -90;  *y = 270; break;
    case ViewPreset::Rear:      *t = -90;  *y = 0;   break;
    case ViewPreset::Right:     *t = -90;  *y = 90;  break;
    case ViewPreset::Top:       *t = -180; *y = 180; break;
    case ViewPreset::Bottom:    *t = 0;    *y = 180; break;
    }
}

QString Camera::presetName(ViewPreset preset)
{
    switch (preset) {
    case ViewPreset::Isometric: return QStringLiteral("Isometric");
    case ViewPreset::Front:     return QStringLiteral("Front");
    case ViewPreset::Left:      return QStringLiteral("Left");
    case ViewPreset::Rear:      return QStringLiteral("Rear");
    case ViewPreset::Right:     return QStringLiteral("Right");
    case ViewPreset::Top:       return QStringLiteral("Top");
    case ViewPreset::Bottom:    return QStringLiteral("Bottom");
    }
    return {};
}

void Camera::applyPreset(ViewPreset preset)
{
    presetAngles(preset, &targetTilt, &targetYaw);
}

void Camera::resetView()
{
    gCenter = defaultCenter();
    markerCenter = QPointF();
    targetTilt = defaultTilt;
    targetYaw = defaultYaw;
    zoom = orthographic ? defaultOrthoZoom : defaultZoom;
}

void Camera::resetCenter(const Object *selected)
{
    if (selected && selected->type == TypeModel && selected->bbox.size() >= 2) {
        gCenter = QVector3D(-selected->move.x(), -selected->move.y(),
                            -(selected->bbox[0] + selected->bbox[1]) / 2.0f);
    } else {
        gCenter = defaultCenter();
    }
}

void Camera::setOrthographic(bool ortho)
{
    if (ortho == orthographic)
        return;
    orthographic = ortho;
    if (ortho) {
        if (pFactor > 0.0f)
            zoom /= pFactor;
        pFactor = 0.0f;
    } else {
        zoom *= perspectiveFactor;
        pFactor = perspectiveFactor;
    }
}

void Camera::wheel(int delta, const QPointF &pos, bool keepCursorPoint)
{
    if (delta == 0)
        return;
    const QVector3D before = keepCursorPoint ? pointUnderCursor(pos) : QVector3D();
    const float factor = std::pow(1.001f, float(std::abs(delta)));
    const bool zoomOut = (delta > 0) != wheelZoomDir;
    if (zoomOut)
        zoom = std::max(zoom / factor, 1.0f);
    else
        zoom = std::min(zoom * factor, 200.0f);
    if (keepCursorPoint) {
        const QVector3D after = pointUnderCursor(pos);
        gCenter += after - before;
    }
}

void Camera::rightDrag(float dx, float dy)
{
    const float damp = std::max(1.0f, zoom / 100.0f);
    targetYaw = std::clamp(yaw + dx / damp, -720.0f, 720.0f);
    targetTilt = std::clamp(tilt - dy / damp, -180.0f, 90.0f);
}

void Camera::liftDrag(float dy)
{
    gCenter.setZ(gCenter.z() - dy / zoom);
}

void Camera::pan(const QPointF &from, const QPointF &to)
{
    // Moving the centre by d shifts every unprojected point by -d; so the grabbed point
    // lands under the cursor when d = (now under cursor) - (grabbed).
    gCenter += pointUnderCursor(to) - pointUnderCursor(from);
}

QPointF Camera::normalised(const QPointF &mousePos) const
{
    return QPointF(mousePos.x() / (m_viewport.width() * 0.5) - 1.0,
                   1.0 - mousePos.y() / (m_viewport.height() * 0.5));
}

PickRay Camera::ray(const QPointF &mousePos) const
{
    const QPointF n = normalised(mousePos);
    const float x = float(n.x());
    const float y = float(n.y());
    QVector3D nearPt, farPt;
    if (pFactor < 0.1f) {
        nearPt = QVector3D(x, y, -1.0f);
        farPt = QVector3D(x, y, 1.0f);
    } else {
        // The points at view depth -1 and +1 whose division by w = z + pFactor lands on
        // the cursor.
        nearPt = QVector3D(x * (pFactor - 1.0f), y * (pFactor - 1.0f), -1.0f);
        farPt = QVector3D(x * (pFactor + 1.0f), y * (pFactor + 1.0f), 1.0f);
    }
    const QMatrix4x4 inv = viewMatrix().inverted();
    const QVector3D a = inv.map(nearPt) / m_sceneScale;
    const QVector3D b = inv.map(farPt) / m_sceneScale;
    return {a, b - a};
}

QVector3D Camera::pointUnderCursor(const QPointF &mousePos) const
{
    // The view centre sits at the origin of view space, so the plane z = 0 there is the
    // plane through the centre facing the camera.
    const QPointF n = normalised(mousePos);
    const float k = pFactor < 0.1f ? 1.0f : pFactor;
    const QVector3D v(float(n.x()) * k, float(n.y()) * k, 0.0f);
    return viewMatrix().inverted().map(v) / m_sceneScale;
}

QString Camera::statusText() const
{
    auto g = [](double v) { return QString::number(v, 'g', 6); };
    return QStringLiteral("tilt: ") + g(tilt) + QStringLiteral(", yaw: ") + g(yaw)
           + QStringLiteral(", zoom: ") + g(zoom) + QStringLiteral(", gCenter: (") + g(gCenter.x())
           + QStringLiteral(", ") + g(gCenter.y()) + QStringLiteral(", ") + g(gCenter.z())
           + QStringLiteral(")") + QStringLiteral(", scale: ") + g(m_sceneScale);
}

QString Camera::mouseText() const
{
    return QStringLiteral("x: ") + QString::number(lastMousePos.x(), 'g', 6) + QStringLiteral(", y: ")
           + QString::number(lastMousePos.y(), 'g', 6);
}

// The view's support commands: they hand the work to the support editor and keep the
// view's own state (mode, status marks, repaint) in step.
#include "view/ui/Canvas.h"

#include <QMouseEvent>

#include "scene/Scene.h"
#include "support/ScenePicking.h"
#include "support/SupportEditor.h"

void Canvas::setSupportMode(int mode)
{
    m_supports->setSupportMode(mode);
    supportMode = mode;
    xFlipCopy = m_supports->flipCopyMode & 1;
    yFlipCopy = m_supports->flipCopyMode & 2;
    update();
}

void Canvas::deleteAllSupports() { m_scene->deleteAllSupports(); }

void Canvas::setSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2, float theta,
                                  float theta2, bool thinTip)
{
    m_supports->setSupportParameters(sp, r0, r1, r2, r3, h0, h2, theta, theta2, thinTip);
}

void Canvas::onAutoSupport()
{
    // The window asked before a very fine grid; here it is simply made.
    QString why;
    if (m_supports->onAutoSupport(true, &why) < 0)
        emit signalTimedMessage(why, 1500);
    update();
}

void Canvas::onMoveSupports(QVector3D dist) { m_supports->onMoveSupports(dist); }

void Canvas::supportToolClick(const QPointF &pos, Qt::KeyboardModifiers mods, bool rightButton)
{
    if (supportMode <= 0)
        return;
    m_camera.setViewportSize(size());
    const PickRay ray = m_camera.ray(pos);
    if (mods & Qt::ShiftModifier) {
        // Shift-click on the current support: its nearest joint gets thinner (left button)
        // or thicker (right button).
        const int current = m_scene->currentObject();
        const Object *o = m_scene->object(current);
        if (o && o->type == TypeSupport) {
            m_supports->fullSupportView = fullSupportView;
            const SceneHit h = pickScene(*m_scene, ray.start, ray.direction, true);
            if (h.hit && h.objectId == current)
                m_supports->changeJointRadius(current, h.point, rightButton ? +1 : -1);
        }
        update();
        return;
    }
    if ((mods & Qt::ControlModifier) || rightButton)
        return;
    m_supports->drawSupportPreview(false, ray.start, ray.direction);
    update();
}

void Canvas::supportToolHover(const QPointF &pos, Qt::KeyboardModifiers mods)
{
    if (supportMode <= 0 || (mods & Qt::ControlModifier))
        return;
    if (!m_supports->supportPreview) {
        m_supports->deleteSupportPreview();
        return;
    }
    m_camera.setViewportSize(size());
    const PickRay ray = m_camera.ray(pos);
    m_supports->drawSupportPreview(true, ray.start, ray.direction);
    update();
}

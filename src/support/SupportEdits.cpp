// Changes to existing supports: straightening, moving with their model, rebuilding with
// new parameters and Shift-click joint sizes.
#include "support/SupportEditor.h"

#include "scene/Scene.h"
#include "support/ScenePicking.h"

namespace {

// The point a straightened support lines up with: its foot, or the top of the foot disc
// (third-last point) when it stands on the plate with more than two points.
int anchorIndex(const spUnit &u)
{
    const int n = u.points.size();
    return (n > 2 && u.footObjectId == 0) ? n - 3 : n - 1;
}

QList<int> selectedSupports(Scene *scene)
{
    QList<int> ids;
    for (int id : scene->selection())
        if (const Object *o = scene->object(id); o && id >= 1 && o->type == TypeSupport)
            ids << id;
    return ids;
}

} // namespace

void SupportEditor::makeSupportStraight()
{
    for (int id : selectedSupports(m_scene)) {
        spUnit u = m_scene->object(id)->support;
        const int q = anchorIndex(u);
        const QVector3D p0 = u.points.first(), Q = u.points[q];
        if (std::abs(p0.z() - Q.z()) < 1e-6f)
            continue;
        for (int i = 1; i < q; ++i) {
            const float t = (u.points[i].z() - Q.z()) / (p0.z() - Q.z());
            u.points[i].setX(t * p0.x() + (1 - t) * Q.x());
            u.points[i].setY(t * p0.y() + (1 - t) * Q.y());
        }
        m_scene->recordSupportEdit(id);
        updateSupport(id, u);
    }
}

void SupportEditor::makeSupportVertical()
{
    for (int id : selectedSupports(m_scene)) {
        spUnit u = m_scene->object(id)->support;
        const int n = u.points.size();
        const QVector3D Q = u.points[anchorIndex(u)];
        for (int i = 1; i < n - 2; ++i) {
            u.points[i].setX(Q.x());
            u.points[i].setY(Q.y());
        }
        m_scene->recordSupportEdit(id);
        updateSupport(id, u);
    }
}

void SupportEditor::resetSupportTips(const std::function<void(int)> &progress)
{
    QList<int> models;
    for (int id : m_scene->selection())
        if (const Object *o = m_scene->object(id); o && id >= 1 && o->type == TypeModel)
            models << id;
    QList<int> ids;
    for (int id : m_scene->supportIndexMap())
        if (models.isEmpty() || models.contains(m_scene->owningModelOf(id)))
            ids << id;
    for (int k = 0; k < ids.size(); ++k) {
        spUnit u = m_scene->object(ids[k])->support;
        // The contact radius follows the current contact diameter; the shape keeps its points.
        if (!u.radii.isEmpty() && u.tipObjectId >= 1 && m_scene->object(u.tipObjectId)
            && m_scene->object(u.tipObjectId)->type != TypeSupport)
            u.radii[0] = m_params.r3;
        updateSupport(ids[k], u);
        if (progress)
            progress(int((k + 1) * 100 / ids.size()));
    }
}

void SupportEditor::moveSupprts(int id, QVector3D dist)
{
    for (int j = 1; j < m_scene->objectCount(); ++j) {
        Object *o = m_scene->object(j);
        if (j != id && o->parent == id && o->type != TypeModel) {
            o->move += dist;
            m_scene->updateAABB(j, dist);
        }
    }
}

void SupportEditor::onMoveSupports(QVector3D dist)
{
    for (int id : m_scene->selection())
        if (const Object *o = m_scene->object(id); o && id >= 1 && o->type == TypeModel)
            moveSupprts(id, dist);
    m_scene->removeSupportLinkers();
    m_scene->removeGlobalBase();
    emit m_scene->repaintRequested();
}

bool SupportEditor::changeJointRadius(int objId, QVector3D worldPoint, int direction)
{
    const Object *o = m_scene->object(objId);
    if (!o || o->type != TypeSupport || o->support.points.isEmpty())
        return false;
    spUnit u = o->support;
    const QVector3D p = worldPoint - o->move;
    int best = -1;
    if (!fullSupportView) {
        best = 0;
    } else {
        float bestDist = 2.5f;
        for (int i = 0; i < u.points.size(); ++i) {
            const float dd = (u.points[i] - p).length();
            if (dd < bestDist) {
                bestDist = dd;
                best = i;
            }
        }
    }
    if (best < 0)
        return false;
    float &r = u.radii[best];
    if (direction > 0 && r <= 2.0f)
        r += 0.025f;
    else if (direction < 0 && r >= 0.1f)
        r -= 0.025f;
    else
        return false;
    m_scene->recordSupportEdit(objId);
    const bool thin = m_builder.thinTip;
    m_builder.thinTip = u.thinTip;
    const bool ok = updateSupport(objId, u);
    m_builder.thinTip = thin;
    if (ok)
        emit m_scene->updateLogWindow(QString::asprintf("Tip (or joint) diameter changed to %.2f mm", double(2 * r)));
    return ok;
}

// ---------------------------------------------------------------- the mouse

void SupportEditor::drawSupportPreview(bool preview, QVector3D start, QVector3D dir)
{
    deleteSupportPreview();
    SceneHit h = pickScene(*m_scene, start, dir, true);
    if (!h.hit) {
        // Nothing under the cursor: the plate point there, facing up.
        QVector3D p;
        if (!platePoint(start, dir, &p)) {
            return;
        }
        h.point = p;
        h.normal = QVector3D(0, 0, 1);
        h.objectId = 0;
    }
    // A click that cannot give a sound support says why; a hover just shows nothing.
    auto make = [this, preview](int mode) {
        QString why;
        if (addSupportManual(mode, preview, &why) == 0 && !preview && !why.isEmpty()) {
            emit m_scene->updateLogWindow(why);
            emit m_scene->signalTimedMessage(why, 1500);
        }
    };
    const Object *o = m_scene->object(h.objectId);
    const bool onModel = h.objectId >= 1 && o && (o->type == TypeModel || o->type == TypeHollowedModel);
    // Surfaces facing too far upward cannot hold a support from below.
    if (onModel && !(h.normal.z() < float(sinSurfaceNormal)))
        return;

    if (m_mode == 1) {
        if (!onModel)
            return;
        pick.pointA = h.point;
        pick.normalA = h.normal;
        pick.tipObject = h.objectId;
        if (branchMode) {
            pick.pointB = QVector3D(h.point.x(), h.point.y(), 0);
            pick.footObject = 0;
            make(2);
            return;
        }
        // Straight down from just off the surface: the plate, or the model again below.
        const SceneHit below = pickScene(*m_scene, h.point + 0.3f * h.normal, QVector3D(0, 0, -1), false);
        if (below.hit) {
            pick.pointB = below.point;
            pick.normalB = below.normal;
            pick.footObject = below.objectId;
            make(2);
        } else {
            pick.pointB = QVector3D(h.point.x(), h.point.y(), 0);
            pick.normalB = QVector3D(0, 0, 1);
            pick.footObject = 0;
            make(1);
        }
    } else if (m_mode == 2) {
        if (clickCount == 0) {
            pick.pointA = h.point;
            pick.normalA = h.normal;
            pick.tipObject = h.objectId;
            if (preview)
                addSupportSphere();
            else
                clickCount = 1;
            return;
        }
        pick.footObject = h.objectId;
        pick.pointB = h.point;
        int mode = 6;
        if (h.point.z() < 0.001f) {
            pick.footObject = 0;
            pick.normalB = QVector3D(0, 0, 1);
            mode = 5;
        } else {
            pick.normalB = h.normal;
        }
        make(mode);
        if (!preview)
            clickCount = 0;
    }
}

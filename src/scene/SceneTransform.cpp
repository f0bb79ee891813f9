// Scale, rotation and mirror of one object. The transform turns and scales a mesh about its
// box centre, so any of these edits moves the object's lowest point; each edit puts that point
// back at the height it had, or a model would sink through the plate or float above it while
// the Z field still says where it stood.

#include "scene/Scene.h"

#include <algorithm>
#include <cmath>

void Scene::keepLowestPoint(int id, float bottomMm)
{
    if (id < 1 || !valid(id))
        return;
    Object *o = obj(id);
    refreshAABB(id, 0);
    if (!hasBox(*o))
        return;
    const float dz = bottomMm - o->bbox[1];
    if (dz != 0.0f) {
        o->move.setZ(o->move.z() + dz);
        recalcChildren(id, 0, dz);
        updateAABB(id, QVector3D(0, 0, dz));
    }
    // The Z field shows the height of the lowest point.
    o->moveZoff = o->bbox[1] - o->move.z();
}

namespace {
// Where the lowest point is before an edit: the box as last measured (moves shift it along),
// or the mesh's own bottom when the object was never measured.
float bottomBefore(const Object &o)
{
    return o.bbox.size() == 6 ? o.bbox[1] : 0.0f;
}
} // namespace

bool Scene::setObjectScale(int id, QVector3D scale)
{
    if (id < 1 || !valid(id))
        return false;
    Object *o = obj(id);
    QVector3D limited = scale;
    for (int axis = 0; axis < 3; ++axis) {
        const float f = scale[axis];
        limited[axis] = std::isfinite(f) ? std::clamp(f, kMinScale, kMaxScale) : o->scale[axis];
    }
    if (limited != scale)
        emit signalTimedMessage(tr("The scale was limited to %1 … %2.").arg(double(kMinScale)).arg(double(kMaxScale)),
                                2000);
    if (o->scale == limited)
        return true;
    const float bottom = bottomBefore(*o);
    recordTransform(id);
    o->scale = limited;
    keepLowestPoint(id, bottom);
    checkPosConflict();
    emit repaintRequested();
    return true;
}

bool Scene::setObjectRotation(int id, QVector3D degrees, bool measure)
{
    if (id < 1 || !valid(id))
        return false;
    Object *o = obj(id);
    const float bottom = bottomBefore(*o);
    o->rotation = degrees;
    if (measure) {
        keepLowestPoint(id, bottom);
        checkPosConflict();
    }
    emit repaintRequested();
    return true;
}

bool Scene::setObjectFlip(int id, bool flip)
{
    if (id < 1 || !valid(id))
        return false;
    Object *o = obj(id);
    if (o->flip == flip)
        return true;
    const float bottom = bottomBefore(*o);
    recordTransform(id);
    o->flip = flip;
    keepLowestPoint(id, bottom);
    checkPosConflict();
    emit repaintRequested();
    return true;
}

void Scene::recordTransform(int id)
{
    UndoRecord rec;
    rec.kind = UndoTransformed;
    rec.uids = {uidOf(id)};
    rec.transform.scale = obj(id)->scale;
    rec.transform.flip = obj(id)->flip;
    pushRecord(rec);
}

void Scene::undoTransform(const UndoRecord &r)
{
    const int id = r.uids.isEmpty() ? -1 : indexOfUid(r.uids.first());
    if (id < 1)
        return;
    // Scale and mirror come back; the model keeps standing where it stands now, and turns and
    // moves made since stay.
    Object *o = obj(id);
    const float bottom = bottomBefore(*o);
    o->scale = r.transform.scale;
    o->flip = r.transform.flip;
    keepLowestPoint(id, bottom);
    checkPosConflict();
    emit objSelectionChanged(m_current);
}

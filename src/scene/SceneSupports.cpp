// The scene's side of supports: records kept with their objects, numbering, and the
// changes the scene itself makes to supports when their model moves.
#include "scene/Scene.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

const spUnit *Scene::supportRecord(int k) const
{
    if (k < 0 || k >= m_supportIndexMap.size())
        return nullptr;
    const int id = m_supportIndexMap.at(k);
    return valid(id) && obj(id)->type == TypeSupport ? &obj(id)->support : nullptr;
}

int Scene::supportNumberOf(int objId) const
{
    // The map is in list order, so a binary search finds the number.
    const auto it = std::lower_bound(m_supportIndexMap.begin(), m_supportIndexMap.end(), objId);
    if (it == m_supportIndexMap.end() || *it != objId)
        return -1;
    return int(it - m_supportIndexMap.begin());
}

QList<spUnit> Scene::supportList() const
{
    QList<spUnit> list;
    for (int id : m_supportIndexMap)
        list << obj(id)->support;
    return list;
}

int Scene::owningModelOf(int objId) const
{
    // Supports standing on supports name another support as parent; follow to the model.
    int id = objId;
    for (int guard = 0; guard < count() && valid(id) && id >= 1; ++guard) {
        const Object *o = obj(id);
        if (o->type == TypeModel)
            return id;
        if (o->parent == id || o->parent < 1)
            return 0;
        id = o->parent;
    }
    return 0;
}

void Scene::setSupportMeshMaker(SupportMeshMaker maker) { m_supportMeshMaker = std::move(maker); }

int Scene::addSupportObject(const spUnit &unit, Mesh mesh)
{
    auto o = std::make_unique<Object>();
    o->type = TypeSupport;
    o->mode = 2;
    o->parent = valid(unit.parentId) ? unit.parentId : 0;
    o->opacity = unit.preview ? 0.3f : 1.0f;
    o->selectable = true;
    o->name = QString::asprintf("Support_%04d", supportCount());
    if (!mesh.vertices.empty()) {
        o->minCorner = QVector3D(mesh.minCoord(0), mesh.minCoord(1), mesh.minCoord(2));
        o->maxCorner = QVector3D(mesh.maxCoord(0), mesh.maxCoord(1), mesh.maxCoord(2));
    }
    o->mesh = std::make_shared<Mesh>(std::move(mesh));
    o->support = unit;
    const int id = append(std::move(o));
    m_supportIndexMap << id;
    refreshAABB(id, 0);
    emit repaintRequested();
    return id;
}

bool Scene::replaceSupport(int objId, const spUnit &unit, Mesh mesh)
{
    if (!valid(objId) || obj(objId)->type != TypeSupport)
        return false;
    Object *o = obj(objId);
    o->support = unit;
    o->support.parentId = o->parent;
    o->meshBuffers.reset();
    if (!mesh.vertices.empty()) {
        o->minCorner = QVector3D(mesh.minCoord(0), mesh.minCoord(1), mesh.minCoord(2));
        o->maxCorner = QVector3D(mesh.maxCoord(0), mesh.maxCoord(1), mesh.maxCoord(2));
    }
    o->mesh = std::make_shared<Mesh>(std::move(mesh));
    refreshAABB(objId, 0);
    emit repaintRequested();
    return true;
}

bool Scene::removePreviewSupport()
{
    const int last = count() - 1;
    if (last < 1 || obj(last)->type != TypeSupport || !obj(last)->support.preview)
        return false;
    takeOutSingle(last);
    refreshSupport();
    emit repaintRequested();
    return true;
}

void Scene::deleteAllSupports()
{
    QList<int> doomed;
    QList<quint64> keptSelection;
    if (m_selection.isEmpty()) {
        doomed = m_supportIndexMap;
    } else {
        for (int id : m_supportIndexMap) {
            const int owner = owningModelOf(id);
            if (owner >= 1 && m_selection.contains(owner))
                doomed << id;
        }
        for (int id : m_selection)
            keptSelection << uidOf(id);
    }
    if (!doomed.isEmpty())
        removeObjList(doomed);   // one history record: undo brings them all back
    QList<int> sel;
    for (quint64 uid : keptSelection) {
        const int id = indexOfUid(uid);
        if (id >= 1)
            sel << id;
    }
    m_selection = sel;
    m_current = 0;
    emit repaintRequested();
    emit updateLogWindow(tr("All support structures are deleted."));
    emit modelListChanged();
}

void Scene::renumberSupportRecords(int removedId)
{
    // Called before object removedId leaves the list.
    for (int i = 0; i < count(); ++i) {
        spUnit &u = obj(i)->support;
        if (obj(i)->type != TypeSupport)
            continue;
        for (int *ref : {&u.tipObjectId, &u.footObjectId}) {
            if (*ref == removedId)
                *ref = 0;
            else if (*ref > removedId)
                --*ref;
        }
    }
}

void Scene::copySupportRecord(int fromId, int toId)
{
    if (!valid(fromId) || !valid(toId))
        return;
    spUnit u = obj(fromId)->support;
    u.parentId = obj(toId)->parent;
    u.preview = false;
    // The copy keeps its thin-tip flag: it was built with it, and a rebuild must keep its neck.
    obj(toId)->support = u;
    emit updateLogWindow(QString::asprintf("Support_%04d", supportCount()) + " has been added.");
    m_supportIndexMap << toId;
}

void Scene::liftSupport(int id, float dz)
{
    spUnit &u = obj(id)->support;
    const int n = u.points.size();
    if (n == 0)
        return;
    u.points[0].setZ(u.points[0].z() + dz);
    if (n > 3)
        u.points[1].setZ(u.points[1].z() + dz);
    if (u.footObjectId == 0) {
        // The foot stays on the plate: its three lowest points get their standard heights.
        if (n >= 4) {
            const float baseZ = -obj(id)->move.z();
            u.points[n - 3].setZ(baseZ + 1.0f);
            u.points[n - 2].setZ(baseZ + 0.5f);
            u.points[n - 1].setZ(baseZ);
        }
    } else {
        u.points[n - 1].setZ(u.points[n - 1].z() + dz);
        if (n > 3)
            u.points[n - 2].setZ(u.points[n - 2].z() + dz);
    }
    rebuildSupportMesh(id);
}

void Scene::turnSupport(int id, float cx, float cy, float angleDeg)
{
    Object *o = obj(id);
    const double a = qDegreesToRadians(double(angleDeg));
    const double ca = std::cos(a), sa = std::sin(a);
    for (QVector3D &p : o->support.points) {
        const double x = double(p.x() + o->move.x()) - cx, y = double(p.y() + o->move.y()) - cy;
        p.setX(float(cx + x * ca - y * sa) - o->move.x());
        p.setY(float(cy + x * sa + y * ca) - o->move.y());
    }
    rebuildSupportMesh(id);
}

void Scene::rebuildSupportMesh(int id)
{
    if (!m_supportMeshMaker)
        return;
    Object *o = obj(id);
    o->mesh = std::make_shared<Mesh>(m_supportMeshMaker(o->support));
    o->meshBuffers.reset();
    refreshAABB(id, 0);
}

#include "scene/Scene.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QtMath>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "scene/Arrange.h"
#include "scene/SceneBox.h"

namespace {

// Undo keeps this many edits; older ones are dropped.
constexpr std::size_t kMaxUndoRecords = 12;

} // namespace

Scene::Scene(QObject *parent) : QObject(parent)
{
    // Index 0 is the build plate from the start, so models always get ids from 1 on
    // even when no build plate model has been loaded (the command-line front end).
    auto plate = std::make_unique<Object>();
    plate->type = TypeBuildPlate;
    plate->selectable = false;
    append(std::move(plate));
}

Scene::~Scene() = default;

// ---------------------------------------------------------------- accessors

int Scene::objectCount() const { return count(); }

Object *Scene::object(int id) { return valid(id) ? obj(id) : nullptr; }

const Object *Scene::object(int id) const { return valid(id) ? obj(id) : nullptr; }

const QList<int> &Scene::selection() const { return m_selection; }

int Scene::currentObject() const { return m_current; }

float Scene::topOfScene()
{
    float top = 0.0f;
    for (int i = 1; i < count(); ++i)
        if (hasBox(*obj(i)))
            top = std::max(top, obj(i)->bbox[0]);
    m_top = top;
    return top;
}

bool Scene::isOutOfBuild() const { return m_outOfBuild; }

QString Scene::statusWarning() const { return m_statusWarning; }

bool Scene::hasSecondExposure() const { return m_secondExposure; }

void Scene::setProjector(int widthPx, int heightPx, float pixelSizeXUm, float pixelSizeYUm)
{
    if (widthPx > 0)
        m_projectorWidthPx = widthPx;
    if (heightPx > 0)
        m_projectorHeightPx = heightPx;
    if (pixelSizeXUm > 0.0f)
        m_pixelSizeXUm = pixelSizeXUm;
    if (pixelSizeYUm > 0.0f)
        m_pixelSizeYUm = pixelSizeYUm;
}

float Scene::halfWidthXMm() const { return float(double(m_projectorWidthPx) * m_pixelSizeXUm / 2000.0); }

float Scene::halfWidthYMm() const { return float(double(m_projectorHeightPx) * m_pixelSizeYUm / 2000.0); }

const QList<Object::modelColor> &Scene::colorList() const { return m_colorList; }

void Scene::setLoadPauseMs(int ms) { m_loadPauseMs = std::max(0, ms); }

int Scene::loadPauseMs() const { return m_loadPauseMs; }

void Scene::setSupportMode(int mode) { m_supportMode = mode; }

int Scene::supportMode() const { return m_supportMode; }

bool Scene::hasChildren(int objId) const
{
    if (objId < 1 || !valid(objId) || obj(objId)->type != TypeModel)
        return false;
    for (int j = 1; j < count(); ++j)
        if (j != objId && obj(j)->parent == objId)
            return true;
    return false;
}

const QList<int> &Scene::supportIndexMap() const { return m_supportIndexMap; }

int Scene::undoRecordCount() const { return int(m_history.size()); }

// ---------------------------------------------------------------- helpers

int Scene::indexOfUid(quint64 uid) const
{
    for (int i = 0; i < count(); ++i)
        if (m_objects[std::size_t(i)].uid == uid)
            return i;
    return -1;
}

quint64 Scene::uidOf(int id) const { return valid(id) ? m_objects[std::size_t(id)].uid : 0; }

int Scene::append(std::unique_ptr<Object> o, quint64 uid)
{
    Entry e;
    e.obj = std::move(o);
    e.uid = uid ? uid : m_nextUid++;
    m_objects.push_back(std::move(e));
    return count() - 1;
}

// Moves an object and its box together, without telling anyone.
void Scene::shiftObject(int id, QVector3D d)
{
    Object *o = obj(id);
    o->move += d;
    if (hasBox(*o)) {
        o->bbox[0] += d.z();
        o->bbox[1] += d.z();
        o->bbox[2] += d.y();
        o->bbox[3] += d.y();
        o->bbox[4] += d.x();
        o->bbox[5] += d.x();
    }
}

// Keeps the interface alive while a file's meshes are added one by one.
void Scene::pauseWithEvents(int ms)
{
    if (ms <= 0 || !QCoreApplication::instance())
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Scene::updateSecondExposure()
{
    bool any = false;
    for (int i = 0; i < count() && !any; ++i)
        any = obj(i)->mode == 1;
    m_secondExposure = any;
    emit signalShowHideSecondExp(any);
}

// ---------------------------------------------------------------- loading

void Scene::onColorList(QList<Object::modelColor> colors) { m_colorList = colors; }

void Scene::load_mesh(QList<Mesh> meshes, QString fileName)
{
    if (meshes.size() == 1)
        m_colorList = {Object::modelColor(0)};
    // Another file's colours may arrive while this one waits between meshes.
    const QList<Object::modelColor> colors = m_colorList;
    const QString baseName = QFileInfo(fileName).fileName();
    const bool isPlate = baseName.startsWith("BuildPlate");
    const bool isGrid = baseName.startsWith("Grid_bottom");
    const bool multiPart = meshes.size() > 1;

    QPointer<Scene> alive(this);
    quint64 firstUid = 0;
    QVector3D firstCenter;
    int groupId = -1;
    QList<quint64> partUids;

    for (int i = 0; i < meshes.size(); ++i) {
        const Mesh &source = meshes.at(i);
        if (source.vertices.size() < 3) {
            qWarning().noquote() << baseName + ": a part without vertices was skipped";
            continue;
        }
        auto mesh = std::make_shared<Mesh>(source);
        if (mesh->reversedIndices.size() != mesh->indices.size())
            mesh->reversedIndices = reverseWinding(mesh->indices);

        const int color = i < colors.size() ? int(colors.at(i)) : 0;
        auto o = std::make_unique<Object>();
        o->mesh = mesh;
        o->minCorner = QVector3D(mesh->minCoord(0), mesh->minCoord(1), mesh->minCoord(2));
        o->maxCorner = QVector3D(mesh->maxCoord(0), mesh->maxCoord(1), mesh->maxCoord(2));
        o->center = (o->minCorner + o->maxCorner) / 2.0f;
        o->name = baseName + (color == 1 ? QStringLiteral("_Green") : QString());
        o->filename = fileName;
        if (isPlate) {
            o->type = TypeBuildPlate;
            o->selectable = false;
        } else if (isGrid) {
            o->type = TypeBase;
        } else {
            o->type = TypeModel;
            o->selectable = true;
        }
        o->parent = 0;

        const bool first = firstUid == 0;
        int index;
        if (isPlate) {
            m_objects[0].obj = std::move(o);
            index = 0;
        } else {
            index = append(std::move(o));
        }
        Object *added = obj(index);
        const quint64 uid = uidOf(index);
        partUids << uid;
        m_current = index;
        if (first) {
            m_selection = {index};
            firstUid = uid;
            firstCenter = added->center;
            if (multiPart)
                groupId = 7 * index + 11;
        } else {
            // Every part is centred on the first part's box, so the parts keep their places.
            added->center = firstCenter;
        }
        if (!colors.isEmpty())
            added->mode = color;
        if (multiPart)
            added->groupId = groupId;

        UndoRecord rec;
        rec.kind = UndoAdded;
        rec.uids = {uid};
        pushRecord(rec);

        emit modelListChanged();
        if (first && !isPlate) {
            emit updateLogWindow(added->name + " has been loaded.");
            qDebug().noquote() << added->name + " has been loaded from a file " + fileName;
        }

        refreshAABB(index, 1);
        const int firstIndex = indexOfUid(firstUid);
        if (first) {
            onMoveToBottom();   // the selection is this part alone
        } else if (firstIndex < 0) {
            putOnPlate(index);  // the first part was removed meanwhile
        } else {
            // Later parts take the first part's lift instead of their own, or they would
            // drift apart in z whenever the first part does not start at the file's bottom.
            added->move = obj(firstIndex)->move;
            added->moveZoff = obj(firstIndex)->moveZoff;
        }
        refreshAABB(index, 0);

        pauseWithEvents(m_loadPauseMs);
        if (!alive)
            return;
        checkPosConflict();
        emit repaintRequested();
        // Another file's meshes may have been added during the pause and made their own
        // object current; the panel shows whatever is current now.
        if (indexOfUid(uid) >= 0)
            emit objSelectionChanged(m_current);
        emit signalUpdateGlobalZ(topOfScene());
    }

    // A multi-part file stands on the plate as a whole: its lowest part touches z = 0.
    if (partUids.size() > 1 && !isPlate) {
        bool any = false;
        float lowest = 0.0f;
        for (quint64 uid : partUids) {
            const int id = indexOfUid(uid);
            if (id >= 1 && hasBox(*obj(id))) {
                lowest = any ? std::min(lowest, obj(id)->bbox[1]) : obj(id)->bbox[1];
                any = true;
            }
        }
        if (any && lowest != 0.0f) {
            for (quint64 uid : partUids) {
                const int id = indexOfUid(uid);
                if (id < 1)
                    continue;
                shiftObject(id, QVector3D(0, 0, -lowest));
                obj(id)->moveZoff = -obj(id)->move.z();
            }
            checkPosConflict();
            emit signalUpdateGlobalZ(topOfScene());
        }
    }

    updateSecondExposure();

    if (fileName.toLower().endsWith("3mf") && count() > 2) {
        // Select the file's own parts (and nothing that was in the scene before).
        QList<int> parts;
        for (quint64 uid : partUids) {
            const int id = indexOfUid(uid);
            if (id >= 1)
                parts << id;
        }
        std::sort(parts.begin(), parts.end());
        if (!parts.isEmpty())
            m_selection = parts;
    }
}

// ---------------------------------------------------------------- boxes and placement

void Scene::refreshAABB(int objId, int mode)
{
    if (!valid(objId))
        return;
    Object *o = obj(objId);
    if (mode == 1) {
        // A quick estimate from the mesh corners, ignoring rotation.
        o->bbox = {(o->maxCorner.z() - o->move.z()) * o->scale.z(),
                   (o->minCorner.z() - o->move.z()) * o->scale.z(),
                   (o->minCorner.y() - o->move.y()) * o->scale.y(),
                   (o->maxCorner.y() - o->move.y()) * o->scale.y(),
                   (o->minCorner.x() - o->move.x()) * o->scale.x(),
                   (o->maxCorner.x() - o->move.x()) * o->scale.x()};
    } else if (o->mesh && !o->mesh->vertices.empty()) {
        // The build plate is drawn untransformed; every other object through its matrix.
        const QMatrix4x4 toWorld = objId == 0 ? QMatrix4x4() : objectMatrix(*o);
        o->bbox = measureWorldBox(*o->mesh, toWorld);
    }
    emit signalUpdateGlobalZ(topOfScene());
}

void Scene::updateAABB(int objId, QVector3D dist)
{
    if (!valid(objId))
        return;
    Object *o = obj(objId);
    if (hasBox(*o)) {
        o->bbox[0] += dist.z();
        o->bbox[1] += dist.z();
        o->bbox[2] += dist.y();
        o->bbox[3] += dist.y();
        o->bbox[4] += dist.x();
        o->bbox[5] += dist.x();
    }
    emit signalUpdateGlobalZ(topOfScene());
}

void Scene::onMoveToBottom()
{
    if (m_selection.isEmpty())
        return;
    const QList<int> selected = m_selection;
    for (int id : selected)
        putOnPlate(id);
    emit objSelectionChanged(selected.last());
    checkPosConflict();
    emit repaintRequested();
}

void Scene::putOnPlate(int id)
{
    if (id < 1 || !valid(id))
        return;
    Object *o = obj(id);
    if (o->type == TypeBase || !hasBox(*o))
        return;
    const float b = o->bbox[1];
    o->move.setZ(o->move.z() - b);
    o->moveZoff = -o->move.z();
    recalcChildren(id, 0, -b);
    updateAABB(id, QVector3D(0, 0, -b));
}

void Scene::recalcChildren(int objId, int mode, float value)
{
    if (objId < 1 || !valid(objId))
        return;
    const QVector3D c = obj(objId)->move;
    const double a = qDegreesToRadians(double(value));
    const float ca = float(std::cos(a)), sa = float(std::sin(a));
    for (int j = 1; j < count(); ++j) {
        Object *child = obj(j);
        if (j == objId || child->parent != objId || child->type == TypeModel)
            continue;
        if (mode == 0) {
            // Supports stretch (their tips follow, their feet stay); bases stay on the plate;
            // hollowed copies and drain holes go with the model.
            if (child->type == TypeSupport)
                liftSupport(j, value);
            else if (child->type == TypeHollowedModel || child->type == TypeDrainHole)
                shiftObject(j, QVector3D(0, 0, value));
        } else if (mode == 1) {
            if (child->type == TypeSupport) {
                turnSupport(j, c.x(), c.y(), value);
            } else if (child->type == TypeBase) {
                const float dx = child->move.x() - c.x(), dy = child->move.y() - c.y();
                const QVector3D turned(c.x() + dx * ca - dy * sa, c.y() + dx * sa + dy * ca, child->move.z());
                shiftObject(j, turned - child->move);
            }
        }
    }
    if (mode == 1) {
        removeGlobalBase();
        removeSupportLinkers();
    }
}

void Scene::moveWithChildren(int id, QVector3D d)
{
    if (id < 1 || !valid(id))
        return;
    shiftObject(id, d);
    for (int j = 1; j < count(); ++j)
        if (j != id && obj(j)->parent == id && obj(j)->type != TypeModel)
            shiftObject(j, d);
}

void Scene::checkPosConflict()
{
    const float hx = halfWidthXMm();
    const float hy = halfWidthYMm();
    m_outOfBuild = false;
    for (int i = 1; i < count(); ++i) {
        const Object &o = *obj(i);
        if (o.type != TypeModel || !hasBox(o))
            continue;
        if (o.bbox[2] < -hy || o.bbox[3] > hy || o.bbox[4] < -hx || o.bbox[5] > hx) {
            m_outOfBuild = true;
            break;
        }
    }
    m_statusWarning = m_outOfBuild ? tr("Models out of build size") : QString();
    emit repaintRequested();
}

void Scene::changeObjScale(double nsx, double nsy, double nsz)
{
    setObjectScale(m_current, QVector3D(float(nsx), float(nsy), float(nsz)));
}

void Scene::onUpdateBBox()
{
    for (int id : QList<int>(m_selection))
        if (id >= 1 && valid(id))
            refreshAABB(id, 0);
    emit repaintRequested();
    emit signalUpdateGlobalZ(topOfScene());
}

// ---------------------------------------------------------------- copies

void Scene::copyObject(int id)
{
    if (id < 1 || !valid(id))
        return;
    const Object &s = *obj(id);
    auto c = std::make_unique<Object>();
    c->type = s.type;
    c->center = s.center;
    c->filename = s.filename;
    c->name = s.name;
    c->isShow = s.isShow;
    c->mesh = s.mesh;
    c->meshBuffers = s.meshBuffers;
    c->maxCorner = s.maxCorner;
    c->minCorner = s.minCorner;
    c->move = s.move;
    // The copy stands where its source stands, so it shows the same height too.
    c->moveZoff = s.moveZoff;
    c->rotation = s.rotation;
    c->scale = s.scale;
    c->selectable = s.selectable;
    c->flip = s.flip;
    c->bbox = s.bbox;
    c->opacity = s.opacity;
    c->parent = s.parent;
    c->mode = s.mode;
    c->support = s.support;
    const int index = append(std::move(c));
    m_current = index;
    refreshAABB(index, 0);
    if (!m_batching) {
        UndoRecord rec;
        rec.kind = UndoAdded;
        rec.uids = {uidOf(index)};
        pushRecord(rec);
    }
    emit signalCopyFinished();
}

QVector3D Scene::duplicateShift(int copyId) const
{
    // Beside its source along +x, ceil(width) + 2 mm on, when that place is free and on the
    // plate; else the free place on the plate nearest to it; else that place all the same.
    const QList<float> &b = obj(copyId)->bbox;
    const float width = b[5] - b[4], depth = b[3] - b[2];
    const float dx = float(std::ceil(width) + 2.0);
    QList<PlateRect> taken;
    for (int i = 1; i < count(); ++i)
        if (i != copyId && obj(i)->type == TypeModel && hasBox(*obj(i)))
            taken << PlateRect{obj(i)->bbox[4], obj(i)->bbox[2], obj(i)->bbox[5], obj(i)->bbox[3]};
    const PlateRect plate{-halfWidthXMm(), -halfWidthYMm(), halfWidthXMm(), halfWidthYMm()};
    const std::optional<PlatePoint> spot =
        findFreeSpot(width, depth, taken, plate, PlatePoint{b[4] + dx, b[2]}, kArrangeGapMm);
    if (!spot)
        return QVector3D(dx, 0, 0);
    return QVector3D(spot->xMm - b[4], spot->yMm - b[2], 0);
}

void Scene::on_duplicateObj(int /*id*/)
{
    QList<quint64> models;
    bool others = false;
    for (int id : m_selection) {
        if (id >= 1 && valid(id) && obj(id)->type == TypeModel)
            models << uidOf(id);
        else
            others = true;
    }
    if (models.isEmpty()) {
        emit signalTimedMessage(tr("No model is selected"), 1500);
        return;
    }
    if (others)
        emit signalTimedMessage(tr("Selected supports and bases will be ignored."), 1800);

    // The models were taken by serial: removing these may shift their ids.
    removeGlobalBase();
    removeSupportLinkers();

    m_batching = true;
    QList<quint64> added;
    QList<int> newModels;
    for (quint64 uid : models) {
        const int m = indexOfUid(uid);
        if (m < 1)
            continue;
        copyObject(m);
        const int c = count() - 1;
        added << uidOf(c);
        for (int j = 1; j < c; ++j) {
            if (j == m || obj(j)->parent != m || obj(j)->type == TypeModel)
                continue;
            copyObject(j);
            const int k = count() - 1;
            obj(k)->parent = c;
            added << uidOf(k);
            if (obj(k)->type == TypeSupport)
                copySupportRecord(j, k);
        }
        if (hasBox(*obj(c))) {
            // Every child goes along (drain holes too, or they would cut the source again).
            const QVector3D d = duplicateShift(c);
            shiftObject(c, d);
            for (int j = 1; j < count(); ++j)
                if (j != c && obj(j)->parent == c)
                    shiftObject(j, d);
        }
        newModels << c;
    }
    m_batching = false;
    if (newModels.isEmpty())
        return;
    refreshSupport();

    m_selection = newModels;
    m_current = newModels.last();
    if (newModels.size() >= 2)
        group();
    UndoRecord rec;
    rec.kind = UndoAdded;
    rec.uids = added;
    pushRecord(rec);
    checkPosConflict();
    emit repaintRequested();
    emit modelListChanged();
    emit objSelectionChanged(m_current);
}

// ---------------------------------------------------------------- removal

bool Scene::removalAllowed(int id, bool modelCurrent) const
{
    if (id < 1 || !valid(id))
        return false;
    return !(modelCurrent && obj(id)->type == TypeModel);
}

Scene::Kept Scene::takeOutSingle(int id)
{
    Kept k;
    k.obj = *obj(id);
    k.uid = uidOf(id);
    const int p = k.obj.parent;
    k.parentUid = (p >= 1 && p != id && valid(p)) ? uidOf(p) : 0;

    if (k.obj.type == TypeSupport)
        dropSupportRecord(id);
    renumberSupportRecords(id);
    if (k.obj.name == QLatin1String("GlobalBase") || k.obj.name == QLatin1String("SupportLinkers"))
        derivedStructureRemoved(k.obj);

    // Meshes are shared pointers: the last object using one releases it.
    m_objects.erase(m_objects.begin() + id);
    for (int i = 0; i < count(); ++i) {
        Object *o = obj(i);
        if (o->parent == id)
            o->parent = 0;
        else if (o->parent > id)
            --o->parent;
    }
    QList<int> sel;
    for (int s : m_selection)
        if (s != id)
            sel << (s > id ? s - 1 : s);
    m_selection = sel;
    if (m_current == id)
        m_current = 0;
    else if (m_current > id)
        --m_current;
    return k;
}

void Scene::takeOutWithChildren(int id, QList<Kept> &group)
{
    const quint64 ownerUid = uidOf(id);
    QList<Kept> children;
    if (obj(id)->type == TypeModel) {
        for (int j = count() - 1; j >= 1; --j) {
            const int owner = indexOfUid(ownerUid);
            if (j != owner && obj(j)->parent == owner && obj(j)->type != TypeModel)
                children.prepend(takeOutSingle(j));
        }
    }
    group.clear();
    group << takeOutSingle(indexOfUid(ownerUid));
    group << children;
}

void Scene::afterRemoval(bool onlyLinkersRemoved)
{
    m_current = 0;
    refreshSupport();
    emit repaintRequested();
    checkPosConflict();
    removeSupportLinkers();
    if (!onlyLinkersRemoved)
        removeGlobalBase();
    updateSecondExposure();
    emit modelListChanged();
    emit signalUpdateGlobalZ(topOfScene());
}

void Scene::removeObj(int id)
{
    const bool modelCurrent = m_supportMode > 0 && m_current >= 1 && valid(m_current)
                              && obj(m_current)->type == TypeModel;
    if (!removalAllowed(id, modelCurrent))
        return;
    if (m_selection.size() == 1)
        m_selection.clear();
    const bool linker = obj(id)->type == TypeSupportLinker;
    UndoRecord rec;
    rec.kind = UndoRemoved;
    rec.groups.append(QList<Kept>());
    takeOutWithChildren(id, rec.groups.last());
    pushRecord(rec);
    afterRemoval(linker);
}

void Scene::removeObjList(QList<int> idList)
{
    std::sort(idList.begin(), idList.end());
    idList.erase(std::unique(idList.begin(), idList.end()), idList.end());
    // Serials, because removing a model also removes its children wherever they sit.
    QList<quint64> uids;
    for (int id : idList)
        if (id >= 1 && valid(id))
            uids << uidOf(id);
    const bool modelCurrent = m_supportMode > 0 && m_current >= 1 && valid(m_current)
                              && obj(m_current)->type == TypeModel;

    UndoRecord rec;
    rec.kind = UndoRemoved;
    bool onlyLinkers = true;
    for (int k = uids.size() - 1; k >= 0; --k) {
        const int id = indexOfUid(uids.at(k));
        if (!removalAllowed(id, modelCurrent))
            continue;
        onlyLinkers = onlyLinkers && obj(id)->type == TypeSupportLinker;
        rec.groups.append(QList<Kept>());
        takeOutWithChildren(id, rec.groups.last());
    }
    if (!rec.groups.isEmpty()) {
        pushRecord(rec);
        afterRemoval(onlyLinkers);
    }
    m_current = 0;
    m_selection.clear();
    refreshSupport();
    emit repaintRequested();
    emit modelListChanged();
    emit signalUpdateGlobalZ(topOfScene());
}

void Scene::clear_model()
{
    if (count() <= 1) {
        emit updateLogWindow("There is no model removed.");
        return;
    }
    m_objects.resize(1);
    m_current = 0;
    m_selection.clear();
    clearSupportRecords();
    refreshSupport();
    // What the history refers to is gone; only the record that is never undone stays.
    if (m_history.size() > 1)
        m_history.resize(1);
    checkPosConflict();
    updateSecondExposure();
    emit repaintRequested();
    emit updateLogWindow(tr("All model is deleted."));
    emit modelListChanged();
    emit signalUpdateGlobalZ(topOfScene());
}

int Scene::removeNamed(const QString &name, int type)
{
    for (int i = 1; i < count(); ++i) {
        if (obj(i)->type == type && obj(i)->name == name) {
            takeOutSingle(i);
            return i;
        }
    }
    return -1;
}

void Scene::removeGlobalBase()
{
    if (removeNamed(QStringLiteral("GlobalBase"), TypeBase) >= 0)
        emit modelListChanged();
}

void Scene::removeSupportLinkers()
{
    if (removeNamed(QStringLiteral("SupportLinkers"), TypeSupportLinker) >= 0)
        emit modelListChanged();
}

void Scene::refreshSupport()
{
    m_supportIndexMap.clear();
    int k = 0;
    for (int i = 1; i < count(); ++i) {
        if (obj(i)->type != TypeSupport)
            continue;
        obj(i)->name = QString::asprintf("Support_%04d", k++);
        obj(i)->support.parentId = obj(i)->parent;
        m_supportIndexMap << i;
    }
}

// ---------------------------------------------------------------- groups and selection

void Scene::group()
{
    if (m_selection.size() < 2)
        return;
    int g = -1;
    for (int i = 0; i < count(); ++i)
        g = std::max(g, obj(i)->groupId);
    ++g;
    for (int id : m_selection)
        if (id >= 1 && valid(id) && obj(id)->type == TypeModel)
            obj(id)->groupId = g;
    qDebug().nospace() << "Objects " << m_selection << " were assgined to group id of " << g;
}

void Scene::ungroup()
{
    if (!valid(m_current) || obj(m_current)->groupId < 0)
        return;
    qDebug().nospace() << "Group id of " << obj(m_current)->groupId << " was ungrouped";
    for (int id : m_selection)
        if (valid(id))
            obj(id)->groupId = -1;
    m_selection.clear();
    m_current = 0;
    emit objSelectionChanged(0);
    emit repaintRequested();
}

void Scene::changeSelObj(QList<int> selIds, int selId)
{
    QList<int> sel;
    for (int id : selIds)
        if (valid(id))
            sel << id;
    m_selection = sel;
    m_current = valid(selId) ? selId : 0;
    emit repaintRequested();
}

void Scene::alignSelection(int mode)
{
    QList<int> models;
    for (int id : m_selection)
        if (id >= 1 && valid(id) && obj(id)->type == TypeModel)
            models << id;
    m_selection = models;
    if (models.size() < 2)
        return;

    // A model without a measured box cannot be aligned; leave it where it is.
    QList<int> boxed;
    for (int id : models)
        if (hasBox(*obj(id)))
            boxed << id;

    if (mode >= 0 && mode <= 5 && boxed.size() >= 2) {
        float minX = obj(boxed[0])->bbox[4], maxX = obj(boxed[0])->bbox[5];
        float minY = obj(boxed[0])->bbox[2], maxY = obj(boxed[0])->bbox[3];
        double sumCX = 0, sumCY = 0;
        for (int id : boxed) {
            const QList<float> &b = obj(id)->bbox;
            minX = std::min(minX, b[4]);
            maxX = std::max(maxX, b[5]);
            minY = std::min(minY, b[2]);
            maxY = std::max(maxY, b[3]);
            sumCX += (b[4] + b[5]) * 0.5;
            sumCY += (b[2] + b[3]) * 0.5;
        }
        const float meanCX = float(sumCX / boxed.size()), meanCY = float(sumCY / boxed.size());
        for (int id : boxed) {
            const QList<float> &b = obj(id)->bbox;
            float d = 0;
            switch (mode) {
            case 0: d = maxY - b[3]; break;
            case 1: d = meanCY - (b[2] + b[3]) * 0.5f; break;
            case 2: d = minY - b[2]; break;
            case 3: d = minX - b[4]; break;
            case 4: d = meanCX - (b[4] + b[5]) * 0.5f; break;
            case 5: d = maxX - b[5]; break;
            }
            moveWithChildren(id, mode <= 2 ? QVector3D(0, d, 0) : QVector3D(d, 0, 0));
        }
    } else if ((mode == 6 || mode == 7) && boxed.size() >= 3) {
        const int lo = mode == 6 ? 4 : 2;   // bbox index of the smallest coordinate on the axis
        const int hi = lo + 1;
        // Stable exchange sort by the smallest coordinate; the selection keeps this order.
        for (int pass = 0; pass < boxed.size(); ++pass)
            for (int k = 0; k + 1 < boxed.size() - pass; ++k)
                if (obj(boxed[k])->bbox[lo] > obj(boxed[k + 1])->bbox[lo])
                    boxed.swapItemsAt(k, k + 1);
        const int n = boxed.size();
        const float room = obj(boxed[n - 1])->bbox[lo] - obj(boxed[0])->bbox[hi];
        float inner = 0;
        for (int k = 1; k < n - 1; ++k)
            inner += obj(boxed[k])->bbox[hi] - obj(boxed[k])->bbox[lo];
        const float gap = (room - inner) / float(n - 1);
        float prevHi = obj(boxed[0])->bbox[hi];
        for (int k = 1; k < n - 1; ++k) {
            const float d = prevHi + gap - obj(boxed[k])->bbox[lo];
            moveWithChildren(boxed[k], mode == 6 ? QVector3D(d, 0, 0) : QVector3D(0, d, 0));
            prevHi = obj(boxed[k])->bbox[hi];
        }
        QList<int> sorted = boxed;
        for (int id : models)
            if (!boxed.contains(id))
                sorted << id;
        m_selection = sorted;
    }
    checkPosConflict();
}

// ---------------------------------------------------------------- undo

void Scene::pushRecord(UndoRecord r)
{
    if (m_undoing)
        return;
    m_history.push_back(std::move(r));
    while (m_history.size() > kMaxUndoRecords)
        m_history.erase(m_history.begin());
}

void Scene::recordMove(int id, QVector3D oldMove)
{
    if (id < 1 || !valid(id))
        return;
    UndoRecord rec;
    rec.kind = UndoMoved;
    rec.uids = {uidOf(id)};
    rec.position = oldMove;
    pushRecord(rec);
}

void Scene::recordMoves(const QList<int> &ids)
{
    UndoRecord rec;
    rec.kind = UndoMoved;
    for (int id : ids) {
        if (id < 1 || !valid(id))
            continue;
        rec.uids << uidOf(id);
        rec.positions << obj(id)->move;
    }
    if (!rec.uids.isEmpty())
        pushRecord(rec);
}

void Scene::recordAdded(int firstId, int lastId)
{
    UndoRecord rec;
    rec.kind = UndoAdded;
    for (int id = std::max(1, firstId); id <= lastId && valid(id); ++id)
        rec.uids << uidOf(id);
    if (!rec.uids.isEmpty())
        pushRecord(rec);
}

void Scene::recordSupportEdit(int id)
{
    if (id < 1 || !valid(id))
        return;
    Kept k;
    k.obj = *obj(id);
    k.uid = uidOf(id);
    const int p = k.obj.parent;
    k.parentUid = (p >= 1 && p != id && valid(p)) ? uidOf(p) : 0;
    UndoRecord rec;
    rec.kind = UndoSupportEdited;
    rec.groups = {{k}};
    pushRecord(rec);
}

void Scene::restoreGroups(const QList<QList<Kept>> &groups)
{
    QList<QPair<int, quint64>> restored;   // new id, parent serial
    // Groups were taken out from the highest id down; put them back lowest first.
    for (int g = groups.size() - 1; g >= 0; --g) {
        for (const Kept &k : groups.at(g)) {
            if (indexOfUid(k.uid) >= 0)
                continue;
            const int id = append(std::make_unique<Object>(k.obj), k.uid);
            restored << qMakePair(id, k.parentUid);
        }
    }
    for (const auto &r : restored) {
        const int p = r.second ? indexOfUid(r.second) : 0;
        obj(r.first)->parent = p >= 1 ? p : 0;
    }
    refreshSupport();
}

void Scene::undoRecord(const UndoRecord &r)
{
    switch (r.kind) {
    case UndoAdded: {
        QList<quint64> uids = r.uids;
        std::sort(uids.begin(), uids.end(),
                  [this](quint64 a, quint64 b) { return indexOfUid(a) > indexOfUid(b); });
        for (quint64 uid : uids) {
            const int id = indexOfUid(uid);
            if (id >= 1)
                removeObj(id);
        }
        break;
    }
    case UndoMoved: {
        const QList<QVector3D> positions = r.positions.isEmpty() ? QList<QVector3D>{r.position} : r.positions;
        bool any = false;
        for (int k = 0; k < r.uids.size() && k < positions.size(); ++k) {
            const int id = indexOfUid(r.uids.at(k));
            if (id < 1)
                continue;
            const QVector3D d = positions.at(k) - obj(id)->move;
            obj(id)->move += d;
            for (int j = 1; j < count(); ++j)
                if (j != id && obj(j)->parent == id)
                    shiftObject(j, d);
            updateAABB(id, d);
            any = true;
        }
        if (!any)
            break;
        checkPosConflict();
        removeSupportLinkers();
        removeGlobalBase();
        emit objSelectionChanged(m_current);
        break;
    }
    case UndoRemoved:
        restoreGroups(r.groups);
        checkPosConflict();
        emit signalUpdateGlobalZ(topOfScene());
        break;
    case UndoTransformed:
        undoTransform(r);
        break;
    case UndoSupportEdited: {
        if (r.groups.isEmpty() || r.groups.first().isEmpty())
            break;
        const Kept &k = r.groups.first().first();
        const int id = indexOfUid(k.uid);
        if (id < 1)
            break;
        *obj(id) = k.obj;
        const int p = k.parentUid ? indexOfUid(k.parentUid) : 0;
        obj(id)->parent = p >= 1 ? p : 0;
        refreshSupport();
        break;
    }
    default:
        break;
    }
}

void Scene::undo()
{
    // The first record (the build plate's load) is never undone.
    if (m_history.size() < 2)
        return;
    auto onlySupportsRemoved = [](const UndoRecord &r) {
        if (r.kind != UndoRemoved || r.groups.isEmpty())
            return false;
        for (const QList<Kept> &g : r.groups)
            for (const Kept &k : g)
                if (k.obj.type != TypeSupport)
                    return false;
        return true;
    };

    m_undoing = true;
    UndoRecord r = std::move(m_history.back());
    m_history.pop_back();
    undoRecord(r);
    // Supports removed one after another come back together.
    if (onlySupportsRemoved(r)) {
        while (m_history.size() >= 2 && onlySupportsRemoved(m_history.back())) {
            UndoRecord prev = std::move(m_history.back());
            m_history.pop_back();
            undoRecord(prev);
        }
    }
    m_undoing = false;

    updateSecondExposure();
    emit repaintRequested();
    emit modelListChanged();
}

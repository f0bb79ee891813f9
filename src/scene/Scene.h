#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector3D>
#include <functional>
#include <memory>
#include <vector>

#include "scene/Mesh.h"
#include "scene/Object.h"

// The scene: the object list (index 0 is always the build plate), the selection,
// the current object and the operations that change them. A plain class with no
// widgets and no GL, so every operation can be driven by tests; the 3D view owns
// one and forwards its slots here.
class Scene : public QObject
{
    Q_OBJECT
public:
    explicit Scene(QObject *parent = nullptr);
    ~Scene() override;

    // Object list. Ids are indices; removing an object shifts later ids down.
    // The list always holds the build plate at index 0 (a placeholder without a mesh
    // until a "BuildPlate…" model is loaded over it).
    int objectCount() const;
    Object *object(int id);                 // nullptr when id is out of range
    const Object *object(int id) const;

    const QList<int> &selection() const;
    int currentObject() const;

    // Largest bbox top z over the objects after the build plate (0 for an empty scene); stored.
    float topOfScene();
    bool isOutOfBuild() const;
    QString statusWarning() const;
    bool hasSecondExposure() const;

    // Printable area, from the projector settings: pixels and pixel size (µm).
    // Non-positive values are ignored. Default: 1920 × 1080 pixels of 33 µm.
    void setProjector(int widthPx, int heightPx, float pixelSizeXUm, float pixelSizeYUm);
    float halfWidthXMm() const;
    float halfWidthYMm() const;
    float pixelSizeXUm() const { return m_pixelSizeXUm; }

    // Colour codes of the meshes of the last multi-part file (from the loader).
    const QList<Object::modelColor> &colorList() const;

    // How long load_mesh keeps the interface alive between meshes (ms, default 100).
    void setLoadPauseMs(int ms);
    int loadPauseMs() const;

    // Manual support mode: 0 off, 1 one-point, 2 two-point. While it is on, a model
    // is not removed when the current object is a model.
    void setSupportMode(int mode);
    int supportMode() const;

    // True when objId ≥ 1 is a model and some object names it as parent.
    bool hasChildren(int objId) const;

    // Object ids of all support objects, in list order (rebuilt by refreshSupport).
    const QList<int> &supportIndexMap() const;

    // --- supports (SceneSupports.cpp) ----------------------------------------------------
    // Counting only support objects in list order, the k-th is named "Support_%04d" with k
    // and its record is supportRecord(k). Records live with their objects.
    int supportCount() const { return m_supportIndexMap.size(); }
    const spUnit *supportRecord(int k) const;
    // The support number of object objId (its position among the supports), -1 when it is
    // not a support. Found from the object list, not from the name, so it holds past 9999.
    int supportNumberOf(int objId) const;
    QList<spUnit> supportList() const;
    // The model a support (or a support standing on supports) belongs to; 0 when none.
    int owningModelOf(int objId) const;

    // Rebuilds a support's mesh from its record when the scene itself changes a record
    // (a model moved up or turned). Without one the meshes are left as they are.
    using SupportMeshMaker = std::function<Mesh(const spUnit &)>;
    void setSupportMeshMaker(SupportMeshMaker maker);

    // Appends a support object "Support_%04d" (numbered with the current support count)
    // made of `mesh`, with the record's parent, in the support exposure group; a preview
    // is drawn at 0.3 opacity. Returns its id. Records nothing in the history.
    int addSupportObject(const spUnit &unit, Mesh mesh);
    // Replaces a support's record and mesh. False when objId is not a support.
    bool replaceSupport(int objId, const spUnit &unit, Mesh mesh);
    // Removes the last object when it is a preview support; no history, no side effects.
    bool removePreviewSupport();

    // --- bases, linkers, drain holes (SceneStructures.cpp) ------------------------------------
    // Appends an object built elsewhere from a mesh in world millimetres (a base, the linkers,
    // a drain hole): its centre is the mesh's box centre and its move puts the mesh back where
    // it was built. With `record`, undo takes it away again. Returns its id.
    int addStructureObject(Object o, bool record = true);
    // Removes the last object when it is a see-through preview (opacity 0.3) of the given
    // type; no history, no side effects. False when there is none.
    bool removeLastPreview(int type);

    // Undo history. Loading, copying, duplicating and removing record themselves;
    // these record edits made elsewhere (view drags, automatic supports, support edits).
    void recordMove(int id, QVector3D oldMove);   // before a model is dragged
    void recordMoves(const QList<int> &ids);      // before several models move at once (one undo step)
    void recordAdded(int firstId, int lastId);    // objects firstId…lastId were just added
    void recordSupportEdit(int id);               // before a support object is changed
    int undoRecordCount() const;

    // Transform edits of one object (SceneTransform.cpp). Each re-measures the box and keeps
    // the height of the object's lowest point: a model that stood on the plate stands on it
    // again, one lifted on purpose stays lifted by the same amount, its children go along,
    // and the Z field (move.z + moveZoff) shows that height. False when id is no object
    // after the build plate.
    // Scale factors are limited to kMinScale … kMaxScale; a limited one is announced.
    static constexpr float kMinScale = 0.01f;
    static constexpr float kMaxScale = 100.0f;
    bool setObjectScale(int id, QVector3D scale);          // recorded for undo
    bool setObjectRotation(int id, QVector3D degrees, bool measure = true);
    bool setObjectFlip(int id, bool flip);                 // recorded for undo
    // Re-measures the box after the transform changed and lifts or lowers the object so its
    // lowest point is at bottomMm again.
    void keepLowestPoint(int id, float bottomMm);

public slots:
    void load_mesh(QList<Mesh> meshes, QString fileName);
    void onColorList(QList<Object::modelColor> colors);
    void refreshAABB(int objId, int mode = 0);
    void updateAABB(int objId, QVector3D dist);
    void onMoveToBottom();
    void checkPosConflict();
    void changeObjScale(double nsx, double nsy, double nsz);
    void onUpdateBBox();
    void copyObject(int id);
    void on_duplicateObj(int id);
    void removeObj(int id);
    void removeObjList(QList<int> idList);
    void clear_model();
    void group();
    void ungroup();
    void changeSelObj(QList<int> selIds, int selId);
    void undo();

    // Align the selected models (modes 0–7: top, middle, bottom, left, centre, right,
    // equal gaps along x, equal gaps along y). z never changes.
    void alignSelection(int mode);

    // Moves an object and its box by d, with every object that names it as parent (supports,
    // bases, drain holes, hollowed copies). Tells nobody; the caller checks the build area.
    void moveWithChildren(int id, QVector3D d);

    // Keeps a model's children attached after the model moved vertically (mode 0,
    // value = dz in mm) or turned about z (mode 1, value = angle in degrees).
    void recalcChildren(int objId, int mode, float value);

    // Renames the support objects "Support_%04d" in list order and rebuilds supportIndexMap.
    void refreshSupport();
    // With nothing selected every support goes; otherwise the supports of the selected models.
    void deleteAllSupports();
    // Remove the derived structures that stop matching once models move or go away.
    void removeGlobalBase();
    void removeSupportLinkers();

signals:
    void modelListChanged();
    void objSelectionChanged(int id);
    void signalUpdateGlobalZ(float z);
    void updateLogWindow(QString msg);
    void signalCopyFinished();
    void signalShowHideSecondExp(bool on);
    // A short notice for the user (the window shows it with showTimedMessage).
    void signalTimedMessage(QString text, int milliseconds);
    // Something visible changed; the view repaints.
    void repaintRequested();

private:
    // Every object carries a serial number that survives index shifts, so undo
    // records and long operations find their objects again after removals.
    struct Entry
    {
        std::unique_ptr<Object> obj;
        quint64 uid = 0;
    };
    // A removed (or edited) object as kept by the history.
    struct Kept
    {
        Object obj;
        quint64 uid = 0;
        quint64 parentUid = 0;   // 0: no parent (or the build plate)
        // A support's spUnit record is kept here too once supports carry records.
    };
    enum UndoKind { UndoAdded = 0, UndoRemoved = 1, UndoMoved = 2, UndoTransformed = 3, UndoSupportEdited = 4 };
    struct UndoRecord
    {
        int kind = 0;              // 0 added, 1 removed, 2 model moved, 3 transform changed, 4 support edited
        QList<quint64> uids;       // kind 0: the added objects; kind 2: the moved model
        QVector3D position;        // kind 2: the model's move before the drag
        QList<QVector3D> positions; // kind 2 for several models: one move per serial in uids
        Object transform;          // kind 3: scale and flip before the edit
        QList<QList<Kept>> groups; // kind 1: one group per removed object (owner first, then its children); kind 4: the object before the edit
    };

    int count() const { return int(m_objects.size()); }
    Object *obj(int id) const { return m_objects[std::size_t(id)].obj.get(); }
    bool valid(int id) const { return id >= 0 && id < count(); }
    static bool hasBox(const Object &o) { return o.bbox.size() == 6; }
    int indexOfUid(quint64 uid) const;
    quint64 uidOf(int id) const;
    int append(std::unique_ptr<Object> o, quint64 uid = 0);

    void shiftObject(int id, QVector3D d);
    // Where duplicate puts a copy: beside its source, or on free room of the plate.
    QVector3D duplicateShift(int copyId) const;
    void putOnPlate(int id);
    void pauseWithEvents(int ms);
    void updateSecondExposure();

    bool removalAllowed(int id, bool modelCurrent) const;
    void takeOutWithChildren(int id, QList<Kept> &group);
    Kept takeOutSingle(int id);
    void afterRemoval(bool onlyLinkersRemoved);
    int removeNamed(const QString &name, int type);

    void pushRecord(UndoRecord r);
    void undoRecord(const UndoRecord &r);
    void recordTransform(int id);
    void undoTransform(const UndoRecord &r);
    void restoreGroups(const QList<QList<Kept>> &groups);

    // Support records travel with their objects; these keep the object ids inside the
    // records in step with the object list (SceneSupports.cpp).
    void renumberSupportRecords(int removedId);
    void dropSupportRecord(int supportId) { Q_UNUSED(supportId); }
    void copySupportRecord(int fromId, int toId);
    void clearSupportRecords() {}
    // The object named "GlobalBase" or "SupportLinkers" went away: forget its state.
    // Bases and linkers fill this in.
    void derivedStructureRemoved(const Object &o) { Q_UNUSED(o); }
    void liftSupport(int supportId, float dz);
    void turnSupport(int supportId, float cx, float cy, float angleDeg);
    void rebuildSupportMesh(int supportId);

    std::vector<Entry> m_objects;
    quint64 m_nextUid = 1;
    QList<int> m_selection;
    int m_current = 0;
    QList<Object::modelColor> m_colorList;
    QList<int> m_supportIndexMap;
    float m_top = 0.0f;
    bool m_outOfBuild = false;
    QString m_statusWarning;
    bool m_secondExposure = false;
    int m_projectorWidthPx = 1920;
    int m_projectorHeightPx = 1080;
    float m_pixelSizeXUm = 33.0f;
    float m_pixelSizeYUm = 33.0f;
    int m_loadPauseMs = 100;
    int m_supportMode = 0;
    SupportMeshMaker m_supportMeshMaker;

    std::vector<UndoRecord> m_history;
    bool m_undoing = false;
    bool m_batching = false;   // duplicate: its copies make one record together
};

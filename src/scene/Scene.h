#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector3D>

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
    void setProjector(int widthPx, int heightPx, float pixelSizeXUm, float pixelSizeYUm);

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
};

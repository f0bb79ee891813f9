#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QVector3D>

class Scene;

// The scene file (".o3d"): plain UTF-8 text, one block per model, base and support, naming
// the model files rather than holding meshes. These are the pure halves: the scene turned
// into text, and text turned into blocks. Putting blocks back into a scene needs the
// support library (support/SceneFileLoad.h).

// A model: where its file is and how it is placed.
struct SceneFileModel
{
    QString path;
    QVector3D scale{1, 1, 1};
    QVector3D move{0, 0, 0};
    QVector3D rotation{0, 0, 0};
    bool isShow = true;
    bool selectable = true;
    bool flip = false;
    float opacity = 1.0f;
    int parent = 0;           // 0 also when the file has no "parent" line
    float moveZoff = 0.0f;
    int groupId = -1;         // -1: no group (or no "groupId" line)
};

// A base. Its size tells its kind: x = y = 1 the global base (z its thickness), x = y = 0 a
// ring base (z its height), above 110 × 60 the grid base, anything else a rectangular base.
struct SceneFileBase
{
    QVector3D size{0, 0, 0};
    QVector3D move{0, 0, 0};
    QVector3D scale{1, 1, 1};
    int parent = 0;
};

// A support record: points in world millimetres, one radius per point.
struct SceneFileSupport
{
    int tip = 0;
    int foot = 0;
    int parent = 0;
    bool thinTip = false;
    QVector<float> radii;
    QVector<QVector3D> points;
};

struct SceneFileBlock
{
    enum Kind { Model, Base, Support };
    Kind kind = Model;
    SceneFileModel model;
    SceneFileBase base;
    SceneFileSupport support;
    qint64 endOffset = 0;     // bytes of the text read when the block ends (for progress)
    // An unsound support: it makes no object, but keeps its place so later ids still count.
    bool skipped = false;
};

struct SceneDocument
{
    QList<SceneFileBlock> blocks;
    QStringList problems;     // blocks skipped as unsound, one line each
};

// The text of the scene's models, bases and supports in list order. Object ids in it count
// the stored objects only (1 = the first stored one), so structures the file does not keep
// (linkers, drain holes, hollowed copies) cannot shift the ids of what follows them.
QByteArray sceneFileText(const Scene &scene);

// Writes the text through a temporary file, so a failed write leaves an older file whole.
// False with *error (the system's reason) when the file cannot be written.
bool writeSceneFile(const Scene &scene, const QString &path, QString *error);

// Reads blocks from scene-file text. Never fails: unknown lines are passed over, numbers that
// do not parse read as 0, and supports that cannot be sound (fewer points than radii,
// coordinates that are not finite, absurd counts) are left out with a line in `problems`.
SceneDocument parseSceneFile(const QByteArray &text);

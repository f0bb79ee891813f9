#pragma once

#include <QList>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <functional>

#include "scene/SceneFile.h"

class Bases;
class Scene;
class SupportEditor;

// What putting a scene file back into a scene needs from its caller. Every hook has a
// default that works without a window: model files are read in the calling thread, a
// missing model is left out, nothing reports progress, and ring bases are not made.
struct SceneFileHooks
{
    // Reads a model file and appends its objects. False with *error when it gives none.
    std::function<bool(const QString &path, QString *error)> loadModel;
    // A model file that cannot be found or read: a replacement chosen by the user, or an
    // empty path to go on without it.
    std::function<QString(const QString &fileName)> chooseMissing;
    // Bytes of the file done so far and what is happening.
    std::function<void(qint64 bytes, const QString &text)> progress;
    // The outlines of a model's cut at a height (ring bases).
    std::function<QList<QPolygonF>(const Scene &, int objectId, float heightMm)> sectionOutlines;
    // Asked before each block: true stops loading there (what is in stays).
    std::function<bool()> cancelled;
    QString gridBasePath = QStringLiteral(":/stl/Grid_bottom_118x67.stl");
    float globalBaseMarginMm = -1;   // below 0: the margin the bases remember
};

struct SceneFileLoadResult
{
    int modelsMade = 0;
    int basesMade = 0;
    int supportsMade = 0;
    QStringList missingModels;   // file names of the models left out
    QStringList problems;        // one line per block that made nothing, for the log
    bool cancelled = false;      // stopped before the end
};

// Adds the blocks of a scene file to the scene, after what is already there: models read
// from their files (a file whose name is already in the scene is copied, not read again;
// one not found at its path is looked for in the scene file's folder), group ids moved past
// the scene's, bases of each kind and supports. Ids in the file are mapped to the objects
// their blocks made, so a model left out takes its bases and supports with it and does not
// shift anything else.
SceneFileLoadResult loadSceneDocument(const SceneDocument &doc, const QString &sceneFilePath, Scene &scene,
                                      Bases &bases, SupportEditor &supports, const SceneFileHooks &hooks = {});

// Reads a scene file from disk and adds it as above. False with *error (the system's reason)
// when the file cannot be read.
bool loadSceneFile(const QString &path, Scene &scene, Bases &bases, SupportEditor &supports,
                   const SceneFileHooks &hooks, SceneFileLoadResult *result, QString *error);

// True for a path ending in ".o3d" in any letter case.
bool isSceneFilePath(const QString &path);

#pragma once

#include <QString>
#include <QStringList>

#include "scene/ModelFile.h"

class Scene;
struct EnvironmentSettings;

// Puts the command line's inputs into the scene: a model file is placed as the window
// places it (centred, on the plate), a scene file (".o3d") brings its models, bases and
// supports where it keeps them, its supports rebuilt with the settings' support dimensions.
// A scene file whose model cannot be found fails the whole run, so nothing is sliced or
// written without it. False with *error naming the file.
// Model files, those a scene names included, are read with `options`.
bool loadCliInputs(const QStringList &paths, Scene &scene, const EnvironmentSettings &settings, QString *error,
                   const ModelReadOptions &options = ModelReadOptions());

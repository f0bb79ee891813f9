#include "cli/SceneInput.h"

#include <QFileInfo>
#include <cstdio>

#include "config/EnvironmentSettings.h"
#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "slicing/SectionOutlines.h"
#include "support/Bases.h"
#include "support/SceneFileLoad.h"
#include "support/SupportEditor.h"
#include "support/SupportParameters.h"

namespace {

bool readModelInto(Scene &scene, const QString &path, const ModelReadOptions &options, QString *error)
{
    const ModelReadResult r = readModelFile(path, {}, options);
    if (!r.ok()) {
        *error = QString("%1: %2").arg(path, r.error);
        return false;
    }
    if (!r.colors.isEmpty())
        scene.onColorList(r.colors);
    scene.load_mesh(r.meshes, QFileInfo(path).absoluteFilePath());
    return true;
}

bool loadScene(const QString &path, Scene &scene, const EnvironmentSettings &settings,
               const ModelReadOptions &options, QString *error)
{
    Bases bases(&scene);
    SupportEditor supports(&scene);
    supports.setParameters(supportParametersFrom(settings.support));
    SceneFileHooks hooks;
    hooks.loadModel = [&scene, &options](const QString &model, QString *why) {
        return readModelInto(scene, model, options, why);
    };
    hooks.sectionOutlines = sectionOutlinesMm;
    if (settings.support.baseMarginMm > 0)
        hooks.globalBaseMarginMm = float(settings.support.baseMarginMm);
    SceneFileLoadResult result;
    QString why;
    if (!loadSceneFile(path, scene, bases, supports, hooks, &result, &why)) {
        *error = QString("%1: %2").arg(path, why);
        return false;
    }
    if (!result.missingModels.isEmpty()) {
        *error = QString("%1: the model file %2 cannot be read").arg(path, result.missingModels.join(", "));
        return false;
    }
    for (const QString &p : result.problems)
        std::fprintf(stderr, "%s: warning: %s\n", qPrintable(path), qPrintable(p));
    return true;
}

} // namespace

bool loadCliInputs(const QStringList &paths, Scene &scene, const EnvironmentSettings &settings, QString *error,
                   const ModelReadOptions &options)
{
    for (const QString &path : paths) {
        if (isSceneFilePath(path) ? !loadScene(path, scene, settings, options, error)
                                  : !readModelInto(scene, path, options, error))
            return false;
    }
    return true;
}

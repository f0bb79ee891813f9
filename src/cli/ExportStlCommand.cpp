#include "cli/Commands.h"

#include <cstdio>
#include <unistd.h>

#include "cli/SceneInput.h"
#include "config/EnvironmentSettings.h"
#include "config/SettingsFile.h"
#include "scene/Scene.h"
#include "scene/StlExport.h"

namespace {

const char *const prefix = "orvell3d-cli export-stl";

void printExportHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli export-stl [options] -o OUT.stl SCENE_OR_MODEL...\n"
                 "\n"
                 "Writes the scene as one binary STL file: every model, support and base where it\n"
                 "stands on the plate, mirrored models with their outward faces kept. A scene file\n"
                 "(.o3d) brings its models, bases and supports as saved; a model file (STL, OBJ, 3MF)\n"
                 "is placed as the program places it (centred, on the plate). An older OUT.stl is\n"
                 "replaced only when the new one is complete.\n"
                 "\n"
                 "Options:\n"
                 "  -o, --out OUT.stl   the STL file to write (required)\n"
                 "  --settings FILE     environment settings file (setting*.ini): the support\n"
                 "                      dimensions and base margin a scene's supports and global\n"
                 "                      base are rebuilt with, and the build plate's size\n"
                 "  -h, --help          show this help and exit\n"
                 "  --                  treat every following argument as an input file\n"
                 "\n"
                 "Exit status: 0 when the file was written, 1 when an input cannot be read or the\n"
                 "file cannot be written (the reason goes to standard error), 2 for a wrong command\n"
                 "line.\n");
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    std::fprintf(stderr, "Run 'orvell3d-cli export-stl --help' for the options.\n");
    return 2;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", prefix, qPrintable(message));
    return 1;
}

void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int runExportStlCommand(const QStringList &args)
{
    QStringList inputs;
    QString out, settingsPath;
    bool optionsDone = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (optionsDone || !a.startsWith('-') || a == "-") {
            inputs << a;
            continue;
        }
        if (a == "-h" || a == "--help") {
            printExportHelp(stdout);
            return 0;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        QString name = a == "-o" ? QString("--out") : a, value;
        const int eq = a.indexOf('=');
        if (eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        }
        if (name != "--out" && name != "--settings")
            return usageError(QString("unknown option '%1'").arg(a));
        if (eq < 0) {
            if (i + 1 >= args.size())
                return usageError(QString("option '%1' needs a value").arg(name));
            value = args[++i];
        }
        (name == "--out" ? out : settingsPath) = value;
    }
    if (inputs.isEmpty())
        return usageError("no scene or model file given");
    if (out.isEmpty())
        return usageError("no output file given (-o OUT.stl)");

    EnvironmentSettings settings = defaultEnvironmentSettings();
    if (!settingsPath.isEmpty()) {
        QString error;
        if (!readSettingsFile(settingsPath, settings, &error))
            return failure(error.isEmpty() ? QString("cannot read the settings file %1").arg(settingsPath) : error);
    }
    const QtMessageHandler previous = qInstallMessageHandler(quietHandler);
    Scene scene;
    scene.setLoadPauseMs(0);
    if (settings.printer.displayOverrideXPx > 0 && settings.printer.pixelSizeXUm > 0)
        scene.setProjector(settings.printer.displayOverrideXPx, settings.printer.displayOverrideYPx,
                           settings.printer.pixelSizeXUm, settings.printer.pixelSizeYUm);
    QString error;
    const bool loaded = loadCliInputs(inputs, scene, settings, &error);
    qInstallMessageHandler(previous);
    if (!loaded)
        return failure(error);

    const bool showProgress = isatty(STDERR_FILENO);
    const auto progress = [showProgress](int percent) {
        if (showProgress) {
            std::fprintf(stderr, "\rSaving scene into STL file... %3d%%", percent);
            std::fflush(stderr);
        }
    };
    const bool written = exportSceneStl(scene, out, &error, progress);
    if (showProgress)
        std::fprintf(stderr, "\r\033[K");
    if (!written)
        return failure(QString("%1: %2").arg(out, error));
    qint64 triangles = 0;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (scene.object(i)->mesh)
            triangles += qint64(scene.object(i)->mesh->triangleCount());
    std::printf("%lld triangles of %d objects written to %s\n", static_cast<long long>(triangles),
                scene.objectCount() - 1, qPrintable(out));
    return 0;
}

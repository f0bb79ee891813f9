#include "cli/Commands.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "cli/PackageInfo.h"
#include "cli/JsonReport.h"
#include "cli/SceneInput.h"
#include "config/EnvironmentSettings.h"
#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "support/SceneFileLoad.h"

namespace {

void printInfoHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli info [options] MODEL|SCENE.o3d|PACKAGE.lpk...\n"
                 "\n"
                 "Reads each model file (binary or ASCII STL, OBJ, 3MF) as the program loads it and\n"
                 "prints its format, triangle count, vertex count after welding, what the mesh check\n"
                 "found and repaired (open edges, shells, shells turned outside out, holes closed),\n"
                 "bounding box in mm and the time the read took; for a 3MF file also its colour parts.\n"
                 "\n"
                 "A scene file (a name ending in .o3d) is loaded with the model files it names, and its\n"
                 "models, supports and bases are counted; the box is the scene's as placed.\n"
                 "\n"
                 "A print package (a name ending in .lpk) is checked instead: its machine, slice\n"
                 "thickness, layer count, exposures, image size and contents are printed, and it is\n"
                 "damaged when a scheduled layer image is missing, is not a PNG of the image size, or\n"
                 "the schedule's heights fall.\n"
                 "\n"
                 "Options:\n"
                 "  --no-repair  only check the meshes; the counts are those of the mesh as read\n"
                 "  --json       print one JSON object on standard output instead of the text\n"
                 "  -h, --help   show this help and exit\n"
                 "  --           treat every following argument as a file name\n"
                 "\n"
                 "Exit status: 0 when every file was read, 1 when a file could not be read, holds\n"
                 "no geometry or is a damaged package (the reason goes to standard error), 2 for a\n"
                 "wrong command line.\n");
}

void printModel(const QString &path, const ModelReadResult &r)
{
    std::size_t triangles = 0;
    std::size_t vertices = 0;
    float lo[3] = {0, 0, 0};
    float hi[3] = {0, 0, 0};
    bool first = true;
    for (const Mesh &m : r.meshes) {
        triangles += m.triangleCount();
        vertices += m.vertexCount();
        if (m.vertexCount() == 0)
            continue;
        for (int a = 0; a < 3; ++a) {
            lo[a] = first ? m.minCoord(a) : std::min(lo[a], m.minCoord(a));
            hi[a] = first ? m.maxCoord(a) : std::max(hi[a], m.maxCoord(a));
        }
        first = false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).filePath()));
    std::printf("  format:      %s\n", qPrintable(modelFormatName(r.format)));
    std::printf("  triangles:   %zu\n", triangles);
    std::printf("  vertices:    %zu%s\n", vertices,
                (r.format == ModelFormat::BinaryStl || r.format == ModelFormat::AsciiStl) ? " (welded)" : "");
    if (r.quadCount > 0)
        std::printf("  quads split: %d\n", r.quadCount);
    for (const MeshCheckReport &check : r.checks) {
        if (check.checked)
            std::printf("  mesh check:  %s\n", qPrintable(check.summary()));
    }
    if (r.format == ModelFormat::ThreeMf) {
        QStringList parts;
        for (int i = 0; i < r.meshes.size(); ++i)
            parts << QString("%1 triangles%2").arg(r.meshes.at(i).triangleCount())
                         .arg(i < r.colors.size() && r.colors.at(i) == 1 ? " (green, second exposure)" : "");
        std::printf("  parts:       %s\n", qPrintable(parts.join(", ")));
    }
    std::printf("  bounding box (mm): x %.3f .. %.3f, y %.3f .. %.3f, z %.3f .. %.3f\n", lo[0], hi[0], lo[1],
                hi[1], lo[2], hi[2]);
    std::printf("  size (mm):   %.3f x %.3f x %.3f\n", hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
    std::printf("  read time:   %.3f s\n", double(r.elapsedMs) / 1000.0);
}

void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// A scene file as the program loads it; false with the reason on standard error.
bool printScene(const QString &path, const ModelReadOptions &readOptions)
{
    const QtMessageHandler previous = qInstallMessageHandler(quietHandler);
    Scene scene;
    scene.setLoadPauseMs(0);
    QString error;
    const bool loaded = loadCliInputs({path}, scene, defaultEnvironmentSettings(), &error, readOptions);
    qInstallMessageHandler(previous);
    if (!loaded) {
        std::fprintf(stderr, "orvell3d-cli info: %s\n", qPrintable(error));
        return false;
    }
    int models = 0, supports = 0, bases = 0;
    std::size_t triangles = 0;
    QStringList names;
    for (int i = 1; i < scene.objectCount(); ++i) {
        const Object &o = *scene.object(i);
        models += o.type == TypeModel;
        supports += o.type == TypeSupport;
        bases += o.type == TypeBase;
        if (o.type == TypeModel)
            names << o.name;
        if (o.mesh)
            triangles += o.mesh->triangleCount();
    }
    names.removeDuplicates();
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    bool first = true;
    for (int i = 1; i < scene.objectCount(); ++i) {
        const QList<float> &b = scene.object(i)->bbox;
        if (b.size() != 6)
            continue;
        const float l[3] = {b[4], b[2], b[1]}, h[3] = {b[5], b[3], b[0]};
        for (int a = 0; a < 3; ++a) {
            lo[a] = first ? l[a] : std::min(lo[a], l[a]);
            hi[a] = first ? h[a] : std::max(hi[a], h[a]);
        }
        first = false;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).filePath()));
    std::printf("  format:      scene file\n");
    std::printf("  models:      %d (%s)\n", models, qPrintable(names.join(", ")));
    std::printf("  supports:    %d\n", supports);
    std::printf("  bases:       %d\n", bases);
    std::printf("  triangles:   %zu\n", triangles);
    std::printf("  bounding box (mm): x %.3f .. %.3f, y %.3f .. %.3f, z %.3f .. %.3f\n", lo[0], hi[0], lo[1],
                hi[1], lo[2], hi[2]);
    return true;
}

} // namespace

int runInfoCommand(const QStringList &args)
{
    QStringList files;
    bool optionsDone = false;
    ModelReadOptions readOptions;
    bool json = false;
    for (const QString &a : args) {
        if (!optionsDone && a == QLatin1String("--json")) {
            json = true;
            continue;
        }
        if (!optionsDone && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            printInfoHelp(stdout);
            return 0;
        }
        if (!optionsDone && a == QLatin1String("--no-repair")) {
            readOptions.repair = false;
            continue;
        }
        if (!optionsDone && a == QLatin1String("--")) {
            optionsDone = true;
            continue;
        }
        if (!optionsDone && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            std::fprintf(stderr, "orvell3d-cli info: unknown option '%s'\n", qPrintable(a));
            printInfoHelp(stderr);
            return 2;
        }
        files << a;
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "orvell3d-cli info: no file given\n");
        printInfoHelp(stderr);
        return 2;
    }

    // Progress only for a person watching; redirected output stays clean.
    const bool showProgress = isatty(STDERR_FILENO);
    int status = 0;
    bool printedAny = false;
    InfoJsonReport report;
    for (const QString &path : qAsConst(files)) {
        const bool package = isPackagePath(path);
        if (package || isSceneFilePath(path)) {
            if (json) {
                // The package and scene reports speak in text only; keep standard output one JSON object.
                std::fprintf(stderr, "orvell3d-cli info: %s: --json describes models only\n", qPrintable(path));
                report.addFailure(path, QStringLiteral("--json describes models only"));
                status = 1;
                continue;
            }
            if (printedAny)
                std::printf("\n");
            const bool described = package ? printPackageInfo(path) == 0 : printScene(path, readOptions);
            if (!described)
                status = 1;
            printedAny = true;
            std::fflush(stdout);
            continue;
        }
        ProgressFn progress;
        if (showProgress) {
            const QByteArray name = QFileInfo(path).fileName().toLocal8Bit();
            progress = [name](int percent) {
                std::fprintf(stderr, "\rReading %s: %3d%%", name.constData(), percent);
                std::fflush(stderr);
            };
        }
        const ModelReadResult r = readModelFile(path, progress, readOptions);
        if (showProgress)
            std::fprintf(stderr, "\r\033[K");
        if (!r.ok()) {
            std::fprintf(stderr, "orvell3d-cli info: %s: %s\n", qPrintable(path), qPrintable(r.error));
            status = 1;
            report.addFailure(path, r.error);
            continue;
        }
        if (json) {
            report.addModel(path, r);
            continue;
        }
        if (printedAny)
            std::printf("\n");
        printModel(path, r);
        printedAny = true;
        std::fflush(stdout);
    }
    if (json)
        report.print();
    return status;
}

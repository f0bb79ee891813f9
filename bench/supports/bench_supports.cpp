// Automatic grid supports under a model tilted 30° about x, at the given pitches: the time
// from the click to the finished supports (ray-index build included: every run starts with
// a fresh copy of the mesh), then the live preview under the mouse (one probe and one
// see-through support) on the same model.
//   bench_supports MODEL PITCH...
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "support/RayIndex.h"
#include "support/SupportEditor.h"

// User + system time: steadier than the clock on a shared machine.
static double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_supports MODEL PITCH...\n");
        return 2;
    }
    const ModelReadResult r = readModelFile(args[0]);
    if (!r.ok()) {
        std::fprintf(stderr, "bench_supports: %s: %s\n", qPrintable(args[0]), qPrintable(r.error));
        return 1;
    }
    const QString name = QFileInfo(args[0]).fileName();
    for (int a = 1; a < args.size(); ++a) {
        const float pitch = args[a].toFloat();
        Scene scene;
        scene.setLoadPauseMs(0);
        SupportEditor editor(&scene);
        scene.load_mesh({r.meshes.first()}, args[0]);
        const int model = scene.objectCount() - 1;
        scene.object(model)->rotation = QVector3D(30, 0, 0);
        scene.refreshAABB(model, 0);
        scene.onMoveToBottom();
        scene.object(model)->move += QVector3D(0, 0, 5);   // room below for every overhang
        scene.refreshAABB(model, 0);
        scene.changeSelObj({model}, model);
        SupportParameters p;
        p.sp = pitch;
        editor.setParameters(p);

        QElapsedTimer t;
        const double cpuBefore = cpuSeconds();
        t.start();
        const std::shared_ptr<const RayIndex> index = rayIndexFor(scene.object(model)->mesh);
        const double buildMs = double(t.nsecsElapsed()) / 1e6;
        const double probes = SupportEditor::gridProbeCount(scene.object(model)->bbox, pitch);
        const int made = editor.onAutoSupport();
        const double totalMs = double(t.nsecsElapsed()) / 1e6;
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("%-24s %8zu triangles  pitch %.1f mm  %7.0f probes  %6d supports  %.3f s  "
                    "(cpu %.3f s; index %.0f ms)\n",
                    qPrintable(name), r.meshes.first().triangleCount(), double(pitch), probes, made,
                    totalMs / 1000.0, cpu, buildMs);

        if (a == 1) {
            // The preview under a moving mouse: one probe up from the plate, one preview support.
            const ObjectRays rays(*index, objectMatrix(*scene.object(model)));
            std::vector<double> ms;
            const QList<float> &b = scene.object(model)->bbox;
            for (int k = 0; k < 200; ++k) {
                const float x = b[4] + (b[5] - b[4]) * float(k % 20) / 20, y = b[2] + (b[3] - b[2]) * float(k / 20) / 10;
                QElapsedTimer pt;
                pt.start();
                const RayIndex::Hit h = rays.cast(QVector3D(x, y, 0), QVector3D(0, 0, 1));
                if (h.hit) {
                    editor.pick = {h.point, h.normal, QVector3D(x, y, 0), QVector3D(0, 0, 1), model, 0};
                    editor.addSupportManual(1, true);
                }
                ms.push_back(double(pt.nsecsElapsed()) / 1e6);
            }
            std::sort(ms.begin(), ms.end());
            std::printf("%-24s preview under the mouse: median %.2f ms, worst %.2f ms (200 positions)\n",
                        qPrintable(name), ms[ms.size() / 2], ms.back());
        }
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %.0f MB\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}

// Measures the 3D view in a real window (needs a display; bench/run starts Xvfb):
//   bench_view [--frames N] [--idle-seconds S] MODEL.stl
// Prints the mean frame time while the camera turns around the model, and the
// processor time the process uses while the view is at rest.
#include <epoxy/gl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <QTest>
#include <cstdio>
#include <ctime>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int frames = 30;
    double idleSeconds = 5.0;
    QString model;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--frames" && i + 1 < args.size())
            frames = std::max(1, args[++i].toInt());
        else if (args[i] == "--idle-seconds" && i + 1 < args.size())
            idleSeconds = std::max(0.5, args[++i].toDouble());
        else
            model = args[i];
    }
    if (model.isEmpty()) {
        std::fprintf(stderr, "usage: bench_view [--frames N] [--idle-seconds S] MODEL.stl\n");
        return 2;
    }

    QElapsedTimer clock;
    clock.start();
    const ModelReadResult read = readModelFile(model);
    if (!read.ok()) {
        std::fprintf(stderr, "bench_view: %s\n", qPrintable(read.error));
        return 1;
    }
    long triangles = 0;
    for (const Mesh &m : read.meshes)
        triangles += long(m.triangleCount());
    const double readS = clock.elapsed() / 1000.0;

    Canvas canvas{QSurfaceFormat()};
    canvas.resize(1280, 800);
    canvas.show();
    if (!QTest::qWaitForWindowExposed(&canvas)) {
        std::fprintf(stderr, "bench_view: the window did not show\n");
        return 1;
    }
    canvas.scene()->setLoadPauseMs(0);
    canvas.load_mesh(read.meshes, model);
    canvas.changeSelObj({}, 0);

    // The first frame uploads the mesh.
    clock.restart();
    canvas.repaint();
    canvas.makeCurrent();
    glFinish();
    canvas.doneCurrent();
    const double firstMs = clock.nsecsElapsed() / 1e6;

    Camera &cam = canvas.camera();
    clock.restart();
    for (int i = 0; i < frames; ++i) {
        cam.yaw = cam.targetYaw = cam.yaw + 3.0f;
        canvas.repaint();
        canvas.makeCurrent();
        glFinish();
        canvas.doneCurrent();
    }
    const double frameMs = clock.nsecsElapsed() / 1e6 / frames;

    // At rest: let the start-up reset and its glide finish, then only the event loop runs.
    QTest::qWait(4500);
    for (int i = 0; i < 200 && canvas.isAnimating(); ++i)
        QTest::qWait(100);
    const quint64 framesBefore = canvas.frameCount();
    const double cpu0 = processCpuSeconds();
    clock.restart();
    QTest::qWait(int(idleSeconds * 1000));
    const double wall = clock.elapsed() / 1000.0;
    const double cpuPercent = (processCpuSeconds() - cpu0) / wall * 100.0;

    std::printf("model: %ld triangles, read %.2f s\n", triangles, readS);
    std::printf("first frame (mesh upload): %.1f ms\n", firstMs);
    std::printf("frame time, 1280 x 800, camera turning: %.1f ms (%.1f frames/s) over %d frames\n", frameMs,
                1000.0 / frameMs, frames);
    std::printf("idle: %.2f %% of one core over %.1f s, %llu frames drawn (target < 5 %%)\n", cpuPercent, wall,
                static_cast<unsigned long long>(canvas.frameCount() - framesBefore));
    return 0;
}

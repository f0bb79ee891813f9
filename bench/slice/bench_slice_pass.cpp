// Cost of one cross-section render of a model at several cut heights, for each renderer: the
// draws (for the fill renderers: taking the cut and filling it) and the read-back, without
// encoding or files. Shows how each renderer scales with the geometry at and below the cut.
//   bench_slice_pass MODEL [--projector WxH] [--pixel-size UM] [--repeat N] [--renderer NAME]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "slicing/GlContext.h"
#include "slicing/RendererFactory.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    SliceParameters params;
    params.pixelSizeXUm = params.pixelSizeYUm = 100;
    int repeat = 3;
    QString model;
    std::vector<RendererKind> kinds = {RendererKind::Reference, RendererKind::GpuFill, RendererKind::CpuFill};
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--projector" && i + 1 < args.size()) {
            const QStringList wh = args[++i].split('x');
            params.projectorWidthPx = wh.value(0).toInt();
            params.projectorHeightPx = wh.value(1).toInt();
        } else if (args[i] == "--pixel-size" && i + 1 < args.size()) {
            params.pixelSizeXUm = params.pixelSizeYUm = args[++i].toFloat();
        } else if (args[i] == "--repeat" && i + 1 < args.size()) {
            repeat = std::max(1, args[++i].toInt());
        } else if (args[i] == "--renderer" && i + 1 < args.size()) {
            RendererKind kind;
            if (!parseRendererKind(args[++i], &kind)) {
                std::fprintf(stderr, "bench_slice_pass: unknown renderer %s\n", qPrintable(args[i]));
                return 2;
            }
            kinds = {kind};
        } else {
            model = args[i];
        }
    }
    if (model.isEmpty()) {
        std::fprintf(stderr, "usage: bench_slice_pass MODEL [--projector WxH] [--pixel-size UM] [--repeat N] "
                             "[--renderer reference|gpu|cpu]\n");
        return 2;
    }
    const ModelReadResult r = readModelFile(model);
    if (!r.ok()) {
        std::fprintf(stderr, "bench_slice_pass: %s\n", qPrintable(r.error));
        return 1;
    }
    Scene scene;
    scene.setLoadPauseMs(0);
    scene.load_mesh(r.meshes, QFileInfo(model).absoluteFilePath());
    const std::vector<SliceObject> objects = sliceObjectsOf(scene);
    const float top = scene.topOfScene();

    QString error;
    auto ctx = GlContext::createCurrent(&error);
    if (!ctx) {
        std::fprintf(stderr, "bench_slice_pass: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("GL: %s\n", qPrintable(ctx->description()));
    for (RendererKind kind : kinds) {
        std::unique_ptr<CrossSectionRenderer> renderer = makeCrossSectionRenderer(kind, true);
        std::printf("%s:\n", qPrintable(rendererKindName(kind)));
        if (!renderer->configure(params, &error)) {
            std::fprintf(stderr, "bench_slice_pass: %s\n", qPrintable(error));
            return 1;
        }
        cv::Mat image;
        QElapsedTimer prepare;
        prepare.start();
        // Uploads the mesh, or places and sorts its triangles.
        renderer->render(objects, 0.01f * params.sceneScale(), 0, {}, &image, &error);
        std::printf("  first cut (preparation included): %.1f ms\n", double(prepare.nsecsElapsed()) / 1e6);
        // Upward, as a run goes; every height is cut `repeat` times in a row.
        for (double fraction : {0.02, 0.25, 0.5, 0.75, 0.98}) {
            const float z = float(top * fraction);
            const CrossSectionRenderer::Timings before = renderer->timings();
            for (int k = 0; k < repeat; ++k) {
                if (!renderer->render(objects, z * params.sceneScale(), 0, {}, &image, &error)) {
                    std::fprintf(stderr, "bench_slice_pass: %s\n", qPrintable(error));
                    return 1;
                }
            }
            const CrossSectionRenderer::Timings after = renderer->timings();
            std::printf("  cut at %6.2f mm (%3.0f %% of the height): draws %7.1f ms, read-back %5.1f ms, lit %d px\n",
                        z, fraction * 100, (after.drawMs - before.drawMs) / repeat,
                        (after.readBackMs - before.readBackMs) / repeat, cv::countNonZero(image));
        }
        renderer->releaseGpuResources();
    }
    return 0;
}

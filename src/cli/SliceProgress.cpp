#include "cli/SliceProgress.h"

#include <cstdio>
#include <unistd.h>

Slicer::Step runSlicerShowingProgress(Slicer &slicer)
{
    const bool tty = isatty(fileno(stderr));
    Slicer::Step step;
    do {
        step = slicer.processLayer();
        if (tty)
            std::fprintf(stderr, "\rslicing: layer %d, %3d%%", slicer.layersDone(), slicer.progressPercent());
    } while (step == Slicer::Continue);
    if (tty)
        std::fprintf(stderr, "\n");
    return step;
}

void printSliceTimings(RendererKind renderer, const Slicer::Timings &t, double packingMs)
{
    std::printf("renderer: %s\n", qPrintable(rendererKindName(renderer)));
    std::printf("timings (ms): schedule %.1f, draws %.1f, read-back %.1f, post-processing %.1f, "
                "PNG encoding %.1f, file writes %.1f",
                t.scheduleMs, t.drawMs, t.readBackMs, t.postProcessMs, t.encodeMs, t.writeMs);
    if (packingMs >= 0)
        std::printf(", previews and packing %.1f", packingMs);
    std::printf("\n");
}

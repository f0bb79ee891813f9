#include "cli/SliceProgress.h"

#include <QList>
#include <QPair>
#include <QtGlobal>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

// Warnings of the run wait until it ends: the slicer logs the reason it failed, which the
// command then prints as its one line of failure, and it should not appear twice.
QtMessageHandler outerHandler = nullptr;
QList<QPair<QtMsgType, QString>> heldMessages;
std::mutex heldMutex;   // layer workers may log too

void holdingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg) {
        const std::lock_guard<std::mutex> lock(heldMutex);
        heldMessages.append({type, message});
    } else if (outerHandler) {
        outerHandler(type, context, message);
    }
}

} // namespace

Slicer::Step runSlicerShowingProgress(Slicer &slicer)
{
    const bool tty = isatty(fileno(stderr));
    heldMessages.clear();
    outerHandler = qInstallMessageHandler(holdingHandler);
    Slicer::Step step;
    do {
        step = slicer.processLayer();
        if (tty)
            std::fprintf(stderr, "\rslicing: layer %d, %3d%%", slicer.layersDone(), slicer.progressPercent());
    } while (step == Slicer::Continue);
    if (tty)
        std::fprintf(stderr, "\n");
    qInstallMessageHandler(outerHandler);
    for (const auto &held : qAsConst(heldMessages)) {
        if (step == Slicer::Failed && held.second == slicer.errorString())
            continue;
        if (held.first == QtCriticalMsg)
            qCritical("%s", qPrintable(held.second));
        else
            qWarning("%s", qPrintable(held.second));
    }
    heldMessages.clear();
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

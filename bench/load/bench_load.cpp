// Reads and welds a model file with the program's own reader, several times, and prints
// the speed and the peak memory of the process.
//   bench_load [--repeat N] MODEL
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "scene/MeshCheck.h"
#include "scene/ModelFile.h"

static double cpuTime()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int repeat = 5;
    if (args.size() >= 2 && args[0] == "--repeat") {
        repeat = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: bench_load [--repeat N] MODEL\n");
        return 2;
    }
    const QString path = args[0];
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;   // user + system time; steadier than the clock on a busy machine
    std::size_t triangles = 0, vertices = 0;
    QString format;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        const double cpuBefore = cpuTime();
        t.start();
        const ModelReadResult r = readModelFile(path);
        seconds.push_back(double(t.nsecsElapsed()) / 1e9);
        cpuSeconds.push_back(cpuTime() - cpuBefore);
        if (!r.ok()) {
            std::fprintf(stderr, "bench_load: %s: %s\n", qPrintable(path), qPrintable(r.error));
            return 1;
        }
        triangles = r.meshes.first().triangleCount();
        vertices = r.meshes.first().vertexCount();
        format = modelFormatName(r.format);
    }
    // The check alone, on the mesh as read (for a clean model the whole of what load adds), and
    // the repair of a broken one.
    std::vector<double> checkSeconds, repairSeconds;
    QString repairs;
    {
        ModelReadOptions asRead;
        asRead.repair = false;
        const ModelReadResult r = readModelFile(path, {}, asRead);
        for (int i = 0; i < repeat; ++i) {
            QElapsedTimer t;
            t.start();
            const MeshCheckReport c = checkMesh(r.meshes.first());
            checkSeconds.push_back(double(t.nsecsElapsed()) / 1e9);
            if (!c.checked)
                return 1;
            if (!c.needsRepair())
                continue;
            Mesh copy = r.meshes.first();
            t.restart();
            repairs = checkAndRepairMesh(copy).summary();
            repairSeconds.push_back(double(t.nsecsElapsed()) / 1e9);
        }
        std::sort(checkSeconds.begin(), checkSeconds.end());
        std::sort(repairSeconds.begin(), repairSeconds.end());
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpuSeconds.begin(), cpuSeconds.end());
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double best = seconds.front();
    const double median = seconds[seconds.size() / 2];
    std::printf("%-10s %-28s %8zu triangles %8zu vertices  best %.3f s  median %.3f s  (cpu %.3f s)  %.2f M triangles/s  "
                "peak memory %.0f MB  (%.0f MB file); the mesh check in it: median %.3f s\n",
                qPrintable(format), qPrintable(QFileInfo(path).fileName()), triangles, vertices, best, median,
                cpuSeconds.front(), double(triangles) / best / 1e6, double(usage.ru_maxrss) / 1024.0,
                double(QFileInfo(path).size()) / (1024.0 * 1024.0), checkSeconds[checkSeconds.size() / 2]);
    if (!repairSeconds.empty())
        std::printf("           check and repair: median %.3f s (target <= 1 s): %s\n",
                    repairSeconds[repairSeconds.size() / 2], qPrintable(repairs));
    return 0;
}

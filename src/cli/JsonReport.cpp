#include "cli/JsonReport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/AppInfo.h"
#include "package/PackageFiles.h"
#include "scene/ModelFile.h"

namespace {

QJsonObject header(const char *command)
{
    return QJsonObject{{"program", AppInfo::name}, {"version", AppInfo::version}, {"command", command}};
}

QJsonArray triple(const float v[3])
{
    return QJsonArray{double(v[0]), double(v[1]), double(v[2])};
}

double seconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

// Timings to the microsecond: finer digits are noise.
double roundedMs(double ms)
{
    return std::round(ms * 1000.0) / 1000.0;
}

} // namespace

void InfoJsonReport::addModel(const QString &path, const ModelReadResult &r)
{
    qint64 triangles = 0;
    qint64 vertices = 0;
    float lo[3] = {0, 0, 0};
    float hi[3] = {0, 0, 0};
    bool first = true;
    for (const Mesh &m : r.meshes) {
        triangles += qint64(m.triangleCount());
        vertices += qint64(m.vertexCount());
        if (m.vertexCount() == 0)
            continue;
        for (int a = 0; a < 3; ++a) {
            lo[a] = first ? m.minCoord(a) : std::min(lo[a], m.minCoord(a));
            hi[a] = first ? m.maxCoord(a) : std::max(hi[a], m.maxCoord(a));
        }
        first = false;
    }
    const float size[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    // What the load-time check found and repaired, one line per mesh.
    QJsonArray checks;
    for (const MeshCheckReport &c : r.checks)
        checks.append(c.checked ? c.summary() : QString());
    m_models.append(QJsonObject{
        {"path", QFileInfo(path).filePath()},
        {"format", modelFormatName(r.format)},
        {"meshes", int(r.meshes.size())},
        {"triangles", triangles},
        {"vertices", vertices},
        // OBJ keeps its own vertex list; the STL readers weld equal corners.
        {"welded", r.format != ModelFormat::Obj},
        {"quadsSplit", r.quadCount},
        {"minMm", triple(lo)},
        {"maxMm", triple(hi)},
        {"sizeMm", triple(size)},
        {"readTimeS", seconds(r.elapsedMs)},
        {"meshCheck", checks},
    });
}

void InfoJsonReport::addFailure(const QString &path, const QString &reason)
{
    m_failed.append(QJsonObject{{"path", path}, {"error", reason}});
}

void InfoJsonReport::print() const
{
    QJsonObject report = header("info");
    report["models"] = m_models;
    report["failed"] = m_failed;
    printJsonReport(report);
}

QJsonObject sliceJsonReport(const Slicer &slicer, const SliceParameters &params, RendererKind renderer,
                            double thicknessUm, const QString &output, const QString &path)
{
    const Slicer::Timings t = slicer.timings();
    const std::vector<float> &heights = slicer.sliceHeights();
    QJsonObject report = header("slice");
    report["output"] = output;
    report["path"] = QFileInfo(path).absoluteFilePath();
    report["layers"] = slicer.layersDone();
    report["images"] = int(slicer.sliceFileNames().size());
    report["projectorPx"] = QJsonArray{params.projectorWidthPx, params.projectorHeightPx};
    report["pixelSizeUm"] = QJsonArray{double(params.pixelSizeXUm), double(params.pixelSizeYUm)};
    report["thicknessUm"] = thicknessUm;
    // Where the top layer starts, to the micrometre (the heights are single precision).
    const double lastZMm = heights.empty() ? 0.0 : double(*std::max_element(heights.begin(), heights.end()));
    report["lastLayerZMm"] = std::round(lastZMm * 1000.0) / 1000.0;
    report["renderer"] = rendererKindName(renderer);
    report["elapsedS"] = seconds(slicer.elapsedMs());
    report["timingsMs"] = QJsonObject{
        {"schedule", roundedMs(t.scheduleMs)},         {"draws", roundedMs(t.drawMs)},
        {"readBack", roundedMs(t.readBackMs)},         {"postProcessing", roundedMs(t.postProcessMs)},
        {"pngEncoding", roundedMs(t.encodeMs)},        {"fileWrites", roundedMs(t.writeMs)}};
    return report;
}

void addPackageFacts(QJsonObject *report, const PackageDescription &run, double packingMs)
{
    double exposureS = 0;
    for (const ScheduledImage &image : exposureSchedule(run))
        exposureS += image.exposureS;
    QJsonObject &r = *report;
    r["packageBytes"] = QFileInfo(r["path"].toString()).size();
    r["machine"] = run.machineName;
    r["resin"] = run.material;
    r["thicknessUm"] = run.sliceThicknessUm;
    // The lamp-on time of the whole print; lifts and waits come on top.
    r["exposureTotalS"] = exposureS;
    QJsonObject timings = r["timingsMs"].toObject();
    timings["previewsAndPacking"] = roundedMs(packingMs);
    r["timingsMs"] = timings;
}

void printJsonReport(const QJsonObject &report)
{
    const QByteArray text = QJsonDocument(report).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

#include "scene/ModelFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <new>

#include "scene/MeshReadResult.h"
#include "scene/ObjReader.h"
#include "scene/StlReader.h"
#include "scene/ThreeMfReader.h"

namespace {

// Opens a regular file; a folder, a device or a missing file gives the reason instead.
QString openModel(QFile &file)
{
    const QFileInfo info(file.fileName());
    if (!info.exists())
        return QStringLiteral("the file does not exist");
    if (info.isDir())
        return QStringLiteral("this is a folder, not a model file");
    if (!info.isFile())
        return QStringLiteral("this is not a regular file");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be opened: %1").arg(file.errorString());
    return QString();
}

// Binary or ASCII, decided by the file size; leaves the file at its start. `announced` is
// the header's triangle count when the file has a header's length at all, else -1.
ModelFormat stlFlavour(QFile &file, qint64 &announced)
{
    const qint64 size = file.size();
    ModelFormat format = ModelFormat::AsciiStl;
    announced = -1;
    if (size >= 84) {
        uchar header[84];
        if (file.read(reinterpret_cast<char *>(header), 84) == 84) {
            const quint32 n = qFromLittleEndian<quint32>(header + 80);
            announced = n;
            if (isBinaryStlSize(size, n))
                format = ModelFormat::BinaryStl;
        }
    }
    file.seek(0);
    return format;
}

MeshReadResult readMesh(ModelFormat format, QFile &file, const ProgressFn &progress)
{
    switch (format) {
    case ModelFormat::BinaryStl:
        return readBinaryStl(file, progress);
    case ModelFormat::AsciiStl:
        return readAsciiStl(file, progress);
    case ModelFormat::Obj:
        return readObj(file, progress);
    case ModelFormat::ThreeMf:
        break;
    case ModelFormat::Unknown:
        return MeshReadResult{Mesh(), QStringLiteral("unknown model format"), 0};
    }
    return MeshReadResult{Mesh(), QStringLiteral("unknown model format"), 0};
}

// Records what the check of a mesh found; a mesh with findings keeps the summary and gets a log line.
void noteCheck(Mesh &mesh, const MeshCheckReport &check, ModelReadResult &result)
{
    if (check.needsRepair() || check.crowdedEdges > 0) {
        mesh.checkSummary = check.summary();
        result.logLines << QStringLiteral("Mesh check: ") + mesh.checkSummary;
    }
    result.checks.append(check);
}

// A 3MF file is a ZIP archive; it is read from a memory map, so nothing is unpacked to disk.
void read3mf(QFile &file, ModelReadResult &result, const ProgressFn &progress)
{
    if (file.size() > qint64(0x7FFFFF00)) {
        result.error = QStringLiteral("3MF files larger than 2 GB are not supported");
        return;
    }
    uchar *mapped = file.map(0, file.size());
    const QByteArray whole = mapped ? QByteArray() : file.readAll();
    const QByteArray archive = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size()))
                                      : whole;
    ThreeMfModel model = read3mfArchive(archive, QFileInfo(file.fileName()).fileName(), &result.debugLines, progress);
    if (mapped)
        file.unmap(mapped);
    if (!model.ok()) {
        result.error = model.error;
        return;
    }
    for (int i = 0; i < model.meshes.size(); ++i) {
        result.colors << threeMfColorCode(model.colors.at(i));
        result.meshes.append(std::move(model.meshes[i]));
    }
    result.debugLines << QStringLiteral("3MF file read: %1 triangles in %2 colour parts")
                             .arg(model.placedTriangles).arg(result.meshes.size());
}

// Models beyond 10 m are mistakes (wrong units, a broken export): slicing one would write
// layers for hours or fill the disk. Coordinates far from the origin lose the precision of
// the model's own details.
constexpr double maxModelSizeMm = 10000.0;
constexpr double maxModelDistanceMm = 100000.0;

QString checkModelSize(const Mesh &mesh)
{
    double size[3];
    double farthest = 0.0;
    for (int a = 0; a < 3; ++a) {
        const double lo = mesh.minCoord(a);
        const double hi = mesh.maxCoord(a);
        size[a] = hi - lo;
        farthest = std::max({farthest, std::fabs(lo), std::fabs(hi)});
    }
    if (std::max({size[0], size[1], size[2]}) > maxModelSizeMm)
        return QStringLiteral("the model measures %1 x %2 x %3 mm; models larger than 10 m are not loaded "
                              "(are the units right?)")
            .arg(size[0], 0, 'g', 4).arg(size[1], 0, 'g', 4).arg(size[2], 0, 'g', 4);
    if (farthest > maxModelDistanceMm)
        return QStringLiteral("the model lies %1 mm from the origin; models further than 100 m are not loaded")
            .arg(farthest, 0, 'g', 4);
    return QString();
}

} // namespace

QString modelFormatName(ModelFormat format)
{
    switch (format) {
    case ModelFormat::BinaryStl:
        return QStringLiteral("binary STL");
    case ModelFormat::AsciiStl:
        return QStringLiteral("ASCII STL");
    case ModelFormat::Obj:
        return QStringLiteral("OBJ");
    case ModelFormat::ThreeMf:
        return QStringLiteral("3MF");
    case ModelFormat::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

ModelReadResult readModelFile(const QString &path, const ProgressFn &progress, const ModelReadOptions &options)
{
    QElapsedTimer timer;
    timer.start();
    ModelReadResult result;

    const QString ending = path.right(3).toLower();
    if (ending == QLatin1String("obj"))
        result.format = ModelFormat::Obj;
    else if (ending == QLatin1String("3mf"))
        result.format = ModelFormat::ThreeMf;

    QFile file(path);
    result.error = openModel(file);
    if (!result.error.isEmpty())
        return result;
    qint64 announced = -1;
    if (result.format == ModelFormat::Unknown)
        result.format = stlFlavour(file, announced);

    if (result.format == ModelFormat::ThreeMf) {
        try {
            read3mf(file, result, progress);
            for (Mesh &mesh : result.meshes)
                noteCheck(mesh, options.repair ? checkAndRepairMesh(mesh) : checkMesh(mesh), result);
        } catch (const std::bad_alloc &) {
            result.meshes.clear();
            result.checks.clear();
            result.error = QStringLiteral("not enough memory to read the file");
        }
        result.elapsedMs = timer.elapsed();
        return result;
    }

    MeshReadResult read;
    MeshCheckReport check;
    try {
        read = readMesh(result.format, file, progress);
        if (read.ok())
            check = options.repair ? checkAndRepairMesh(read.mesh) : checkMesh(read.mesh);
    } catch (const std::bad_alloc &) {
        read = MeshReadResult();
        read.error = QStringLiteral("not enough memory to read the file");
    }
    result.elapsedMs = timer.elapsed();
    if (read.ok())
        read.error = checkModelSize(read.mesh);
    if (!read.ok()) {
        result.error = read.error;
        // Most often a damaged binary file rather than bad text: say what its size should be.
        if (result.format == ModelFormat::AsciiStl && announced > 0 && read.error.startsWith(QLatin1String("no vertex")))
            result.error = QStringLiteral("not an ASCII STL file, and not a complete binary STL either: %1 "
                                          "triangles need %2 bytes, the file has %3")
                               .arg(announced).arg(84 + 50 * announced).arg(file.size());
        return result;
    }

    const int triangles = int(read.mesh.triangleCount());
    const qulonglong vertices = read.mesh.vertexCount();
    const double seconds = double(result.elapsedMs) / 1000.0;
    switch (result.format) {
    case ModelFormat::BinaryStl:
        // The build plate is loaded at every start; it would only clutter the log.
        if (!path.contains(QLatin1String("BuildPlate"))) {
            result.logLines << QString::asprintf("Binary STL file with %d triangle meshes loaded in: %.2f sec.",
                                                 triangles, seconds);
            result.debugLines << QStringLiteral("Binary STL file loaded. # of vertices and triangles: %1 %2")
                                     .arg(vertices).arg(triangles);
        }
        break;
    case ModelFormat::AsciiStl:
        result.logLines << QString::asprintf("ASCII STL file with %d triangle meshes loaded in: %.2f sec.",
                                             triangles, seconds);
        result.debugLines << QStringLiteral("ASCII STL file loaded. # of triangles: %1 %2")
                                 .arg(vertices).arg(triangles);
        break;
    case ModelFormat::Obj:
        result.logLines << QString::asprintf("OBJ file with %d triangle meshes loaded in: %.2f sec.",
                                             triangles, seconds);
        if (read.quadCount > 0)
            result.logLines << QString::asprintf("%d quad meshes converted into two triangles.", read.quadCount);
        break;
    case ModelFormat::ThreeMf:
    case ModelFormat::Unknown:
        break;
    }
    noteCheck(read.mesh, check, result);
    result.quadCount = read.quadCount;
    result.meshes.append(std::move(read.mesh));
    return result;
}

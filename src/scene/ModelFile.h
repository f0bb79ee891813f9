#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "scene/Mesh.h"
#include "scene/MeshCheck.h"
#include "scene/Object.h"
#include "scene/ReadProgress.h"

enum class ModelFormat { Unknown, BinaryStl, AsciiStl, Obj, ThreeMf };

// "binary STL", "ASCII STL", "OBJ", "3MF" or "unknown".
QString modelFormatName(ModelFormat format);

// Everything one model file gives: the meshes, or the reason there are none, and the lines
// the program logs about it. Shared by the loader thread and the command line.
struct ModelReadResult
{
    ModelFormat format = ModelFormat::Unknown;
    QList<Mesh> meshes;
    QList<Object::modelColor> colors;   // one per mesh, for formats that carry colours
    QStringList logLines;               // summary lines for the log window
    QStringList debugLines;             // diagnostic lines for the log file
    QList<MeshCheckReport> checks;      // one per mesh: what the check found and the repair did
    QString error;                      // why the file gave no usable geometry; empty on success
    qint64 elapsedMs = 0;               // time spent reading, welding included
    int quadCount = 0;

    bool ok() const { return error.isEmpty(); }
};

struct ModelReadOptions
{
    // Repair broken meshes (see checkAndRepairMesh); off, they are only checked and reported.
    bool repair = true;
};

// Reads a model file. The format follows the last three characters of the path, in any
// case: "obj" is OBJ, "3mf" is 3MF, anything else STL, which is binary when the file
// size matches its triangle count and ASCII otherwise. Never throws; a file that cannot
// be read or holds no geometry comes back with an error and no mesh. Each mesh is checked
// (and repaired, unless the options say otherwise) in memory after reading; a mesh with
// findings gets a "Mesh check: …" log line and keeps the summary in its checkSummary.
ModelReadResult readModelFile(const QString &path, const ProgressFn &progress = {},
                              const ModelReadOptions &options = ModelReadOptions());

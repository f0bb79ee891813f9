#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "scene/Mesh.h"
#include "scene/Object.h"
#include "scene/ReadProgress.h"

// What the model part of a 3MF file gives: one mesh per colour, all objects of a colour merged,
// in the order the colours are first used by the objects.
struct ThreeMfModel
{
    QList<Mesh> meshes;
    QStringList colors;                 // the colour string of each mesh ("" for none)
    QString error;                      // why there is no usable geometry; empty on success
    qint64 placedTriangles = 0;

    bool ok() const { return error.isEmpty(); }
};

// The colour code of a 3MF colour: 1 for green "#00FF00" (second exposure), 0 for the rest.
Object::modelColor threeMfColorCode(const QString &color);

// Gives the XML of another model part of the same file, by its name in the archive
// ("3D/Objects/object_1.model"); false with a reason when there is none or it is refused.
using ThreeMfPartReader = std::function<bool(const QString &partName, QByteArray *xml, QString *error)>;

// Parses a 3MF model part (the XML document). Element names are matched without their
// namespace prefix. An object's colour is the first colour of the last colour group met before
// it. Objects are placed by the build items with their transforms, through any components
// (also those kept in other model parts, which otherParts supplies); a file without build items
// takes every mesh object once, as written. Coordinates are converted to mm from the model's
// unit. A pure function on bytes (and on what otherParts gives): never throws, never reads
// outside the data.
ThreeMfModel parse3mfModel(const QByteArray &xml, const ProgressFn &progress = {},
                           const ThreeMfPartReader &otherParts = {});

// The name of the model part inside a 3MF archive: the target of the package relationship
// of type 3D model in "_rels/.rels" when there is one, else "3D/3dmodel.model", else any part
// called "3dmodel.model". Empty when the archive has none.
struct ZipDirectory;
QString threeMfModelPartName(const QByteArray &archive, const ZipDirectory &dir);

// Reads a whole 3MF file (a ZIP archive in memory). debugLines receives what the log file
// records about the read (the model part's name, and the failure lines of the loader).
ThreeMfModel read3mfArchive(const QByteArray &archive, const QString &displayName, QStringList *debugLines,
                            const ProgressFn &progress = {});

// Largest model part that is unpacked (uncompressed bytes; all model parts of a file together).
// Reading takes about five times the part's size in memory, and 1 GiB of XML is some
// 15 million triangles, more than a resin print needs.
constexpr qint64 maxThreeMfModelPartBytes = qint64(1024) * 1024 * 1024;

#pragma once

#include <QIODevice>
#include <QtGlobal>

#include "scene/MeshReadResult.h"
#include "scene/ReadProgress.h"

// A file is a binary STL when its size is exactly what its triangle count announces:
// an 80-byte header, the count, and 50 bytes per triangle. Anything else is read as text,
// whatever the header says (binary files whose header starts with "solid" are common).
bool isBinaryStlSize(qint64 fileSize, quint32 triangleCount);

// Reads a binary STL from the start of `in` and welds its vertices.
// Progress: 0 to 80 while reading, 80 to 100 while welding.
MeshReadResult readBinaryStl(QIODevice &in, const ProgressFn &progress = {});

// Reads an ASCII STL from the start of `in` and welds its vertices. Only the "vertex"
// keyword matters: each is followed by x, y and z, separated by any white space, every
// three vertices make a triangle, and the rest of the text is skipped. Coordinates are
// truncated to five decimals. Progress as for the binary reader.
MeshReadResult readAsciiStl(QIODevice &in, const ProgressFn &progress = {});

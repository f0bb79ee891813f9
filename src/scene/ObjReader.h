#pragma once

#include <QIODevice>

#include "scene/MeshReadResult.h"
#include "scene/ReadProgress.h"

// Reads a Wavefront OBJ from the start of `in`. Uses "v" lines (x, y, z, truncated to five
// decimals; further values such as colours are ignored) and "f" lines with three or four
// corners (a quad becomes the triangles 0-1-2 and 0-2-3); of a corner "v/vt/vn" only the
// vertex number counts. Keywords are matched in any case; every other line is skipped.
// Vertices keep their file order (no welding).
//
// The file fails as a whole, and nothing of it is kept, for a face with fewer than three
// or more than four corners, a vertex number outside 1 … vertex count (relative numbers
// included), text where a number belongs, no vertex or no face at all.
// Progress: 0 to 100 over the bytes read.
MeshReadResult readObj(QIODevice &in, const ProgressFn &progress = {});

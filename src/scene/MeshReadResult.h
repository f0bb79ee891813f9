#pragma once

#include <QString>

#include "scene/Mesh.h"

// What one reader makes of one file: a mesh, or the reason there is none.
struct MeshReadResult
{
    Mesh mesh;
    QString error;        // one line, for the log and the command line; empty on success
    int quadCount = 0;    // OBJ quads split into two triangles each

    bool ok() const { return error.isEmpty(); }
};

#pragma once

// Shared by the view tests.

#include <QVector3D>

#include "scene/Mesh.h"

// An axis-aligned box mesh, outward counter-clockwise winding.
inline Mesh boxMesh(QVector3D lo, QVector3D hi)
{
    std::vector<float> v;
    for (int k = 0; k < 8; ++k) {
        v.push_back((k & 1) ? hi.x() : lo.x());
        v.push_back((k & 2) ? hi.y() : lo.y());
        v.push_back((k & 4) ? hi.z() : lo.z());
    }
    std::vector<uint32_t> i = {0, 2, 3, 0, 3, 1,   // bottom (-z)
                               4, 5, 7, 4, 7, 6,   // top (+z)
                               0, 1, 5, 0, 5, 4,   // -y
                               2, 6, 7, 2, 7, 3,   // +y
                               0, 4, 6, 0, 6, 2,   // -x
                               1, 3, 7, 1, 7, 5};  // +x
    std::vector<uint32_t> r = reverseWinding(i);
    return Mesh(std::move(v), std::move(i), std::move(r));
}

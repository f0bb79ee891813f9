#include "scene/SceneBox.h"

#include <algorithm>
#include <limits>

QList<float> measureWorldBox(const Mesh &mesh, const QMatrix4x4 &toWorld)
{
    const std::size_t n = mesh.vertices.size() / 3;
    if (n == 0)
        return {};

    // Doubles keep the sums exact enough that a box edge lands where the vertex is.
    double m[3][4];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = toWorld(r, c);

    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = std::numeric_limits<double>::max();
        hi[a] = std::numeric_limits<double>::lowest();
    }
    const float *v = mesh.vertices.data();
    for (std::size_t k = 0; k < n; ++k, v += 3) {
        const double x = v[0], y = v[1], z = v[2];
        for (int a = 0; a < 3; ++a) {
            const double w = m[a][0] * x + m[a][1] * y + m[a][2] * z + m[a][3];
            lo[a] = std::min(lo[a], w);
            hi[a] = std::max(hi[a], w);
        }
    }
    return {float(hi[2]), float(lo[2]), float(lo[1]), float(hi[1]), float(lo[0]), float(hi[0])};
}

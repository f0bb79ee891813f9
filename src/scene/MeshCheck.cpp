#include "scene/MeshCheck.h"

#include <QStringList>
#include <algorithm>

#include "scene/MeshTopology.h"

using namespace meshtopo;

namespace {

QString counted(std::size_t n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString MeshCheckReport::summary() const
{
    QStringList found;
    found << QStringLiteral("open edges: %1").arg(openEdges);
    if (crowdedEdges > 0)
        found << QStringLiteral("edges with more than two faces: %1").arg(crowdedEdges);
    if (misorientedEdges > 0)
        found << QStringLiteral("misoriented edges: %1").arg(misorientedEdges);
    found << QStringLiteral("shells: %1").arg(shells);
    if (insideOutShells > 0)
        found << QStringLiteral("inside-out shells: %1").arg(insideOutShells);
    QStringList done;
    if (flippedShells > 0)
        done << counted(flippedShells, "flipped shell", "flipped shells");
    if (flippedTriangles > 0)
        done << counted(flippedTriangles, "flipped triangle", "flipped triangles");
    if (closedHoles > 0)
        done << counted(closedHoles, "closed hole", "closed holes") + QStringLiteral(" (%1)").arg(
                    counted(addedTriangles, "triangle", "triangles"));
    found << QStringLiteral("repaired: ") + (done.isEmpty() ? QStringLiteral("nothing") : done.join(QStringLiteral(", ")));
    return found.join(QStringLiteral(", "));
}

MeshCheckReport checkMesh(const Mesh &mesh)
{
    MeshCheckReport r;
    const std::size_t vertexCount = mesh.vertexCount();
    const std::size_t triangles = mesh.triangleCount();
    if (triangles == 0 || !indicesInRange(mesh))
        return r;
    r.checked = true;
    const std::vector<uint32_t> &idx = mesh.indices;

    // Shells: vertices joined by triangles.
    UnionFind sets(vertexCount);
    for (std::size_t t = 0; t < triangles; ++t) {
        sets.unite(idx[3 * t], idx[3 * t + 1]);
        sets.unite(idx[3 * t], idx[3 * t + 2]);
    }
    std::vector<uint32_t> shellOf(vertexCount);
    std::vector<uint32_t> idOfRoot(vertexCount, UINT32_MAX);
    std::size_t shells = 0;
    for (uint32_t v = 0; v < vertexCount; ++v) {
        const uint32_t root = sets.find(v);
        if (idOfRoot[root] == UINT32_MAX)
            idOfRoot[root] = uint32_t(shells++);
        shellOf[v] = idOfRoot[root];
    }
    std::vector<uint8_t> shellOpen(shells, 0);

    // Edges: each undirected edge is looked at once, from the first half-edge found for it.
    HalfEdges h;
    h.build(idx, vertexCount, false);
    for (uint32_t u = 0; u < vertexCount; ++u) {
        for (uint32_t k = h.begin(u), e = h.end(u); k < e; ++k) {
            const uint32_t w = h.target[k];
            if (w == u)
                continue;   // a degenerate triangle's corner
            bool seen = false;
            for (uint32_t j = h.begin(u); j < k && !seen; ++j)
                seen = h.target[j] == w;
            if (seen)
                continue;
            const uint32_t back = h.count(w, u);
            if (u > w && back > 0)
                continue;   // counted from w
            const uint32_t along = h.count(u, w);
            const uint32_t faces = along + back;
            if (faces == 1) {
                ++r.openEdges;
                shellOpen[shellOf[u]] = 1;
            }
            else if (faces > 2)
                ++r.crowdedEdges;
            else if (along == 2)
                ++r.misorientedEdges;
        }
    }

    // Volumes, and where each shell lies, for the nesting test.
    const Point origin = boxCentre(mesh);
    ShellGeometry g;
    g.volume6.assign(shells, 0.0);
    g.point.assign(shells, Point{0, 0, 0});
    g.lo.assign(shells, Point{1e300, 1e300, 1e300});
    g.hi.assign(shells, Point{-1e300, -1e300, -1e300});
    std::vector<uint8_t> hasTriangle(shells, 0);
    for (std::size_t t = 0; t < triangles; ++t) {
        const uint32_t s = shellOf[idx[3 * t]];
        const Point a = vertexAt(mesh, idx[3 * t], origin), b = vertexAt(mesh, idx[3 * t + 1], origin),
                    c = vertexAt(mesh, idx[3 * t + 2], origin);
        g.volume6[s] += tripleProduct(a, b, c);
        if (!hasTriangle[s]) {
            hasTriangle[s] = 1;
            for (int k = 0; k < 3; ++k)
                g.point[s][std::size_t(k)] = origin[std::size_t(k)] + (a[std::size_t(k)] + b[std::size_t(k)] + c[std::size_t(k)]) / 3.0;
        }
    }
    for (uint32_t v = 0; v < vertexCount; ++v) {
        const uint32_t s = shellOf[v];
        for (std::size_t a = 0; a < 3; ++a) {
            g.lo[s][a] = std::min(g.lo[s][a], double(mesh.vertices[3 * v + a]));
            g.hi[s][a] = std::max(g.hi[s][a], double(mesh.vertices[3 * v + a]));
        }
    }
    double total6 = 0.0;
    double diagonal = 0.0;
    for (int a = 0; a < 3; ++a)
        diagonal = std::max(diagonal, double(mesh.maxCoord(a)) - double(mesh.minCoord(a)));
    // Flat pieces enclose nothing; rounding must not make them count as inside out.
    const double tiny = 1e-9 * diagonal * diagonal * diagonal;
    for (std::size_t s = 0; s < shells; ++s) {
        total6 += g.volume6[s];
        r.shells += hasTriangle[s];
        // An open shell's volume depends on where it is measured from: it tells nothing.
        if (std::abs(g.volume6[s]) <= tiny || shellOpen[s])
            g.volume6[s] = 0.0;
    }
    r.volumeMm3 = total6 / 6.0;

    const std::vector<uint8_t> turn = shellsToTurn(
        g, triangles, [&](std::size_t t) { return shellOf[idx[3 * t]]; },
        [&](std::size_t t, Point &a, Point &b, Point &c) {
            a = vertexAt(mesh, idx[3 * t], {0, 0, 0});
            b = vertexAt(mesh, idx[3 * t + 1], {0, 0, 0});
            c = vertexAt(mesh, idx[3 * t + 2], {0, 0, 0});
            return true;
        });
    for (uint8_t t : turn)
        r.insideOutShells += t;
    return r;
}

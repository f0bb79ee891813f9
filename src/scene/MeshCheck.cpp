#include "scene/MeshCheck.h"

#include <QStringList>
#include <QtGlobal>
#include <system_error>
#include <algorithm>
#include <future>

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

namespace {

struct EdgeCounts
{
    std::size_t open = 0, crowded = 0, misoriented = 0;
    std::vector<uint32_t> openAt;   // a vertex of each open edge
};

// Each undirected edge once, from the first half-edge found for it.
EdgeCounts countEdges(const Mesh &mesh)
{
    EdgeCounts e;
    const std::size_t vertexCount = mesh.vertexCount();
    HalfEdges h;
    h.build(mesh.indices, vertexCount, false);
    auto classify = [&e](uint32_t u, uint32_t along, uint32_t back) {
        const uint32_t faces = along + back;
        if (faces == 1) {
            ++e.open;
            e.openAt.push_back(u);
        } else if (faces > 2) {
            ++e.crowded;
        } else if (along == 2) {
            ++e.misoriented;
        }
    };
    auto firstOf = [&h](uint32_t u, uint32_t k, uint32_t w) {
        for (uint32_t j = h.begin(u); j < k; ++j)
            if (h.target[j] == w)
                return false;
        return true;
    };
    // From the lower vertex of each edge first; when the edges found that way hold every
    // half-edge (as in every closed mesh), no edge is left that only its upper vertex knows.
    std::size_t accounted = 0, selfEdges = 0;
    for (uint32_t u = 0; u < vertexCount; ++u) {
        for (uint32_t k = h.begin(u), end = h.end(u); k < end; ++k) {
            const uint32_t w = h.target[k];
            if (w == u) {
                ++selfEdges;   // a degenerate triangle's corner
                continue;
            }
            if (w < u || !firstOf(u, k, w))
                continue;
            const uint32_t along = h.count(u, w), back = h.count(w, u);
            accounted += along + back;
            classify(u, along, back);
        }
    }
    if (accounted + selfEdges == h.target.size())
        return e;
    for (uint32_t u = 0; u < vertexCount; ++u) {
        for (uint32_t k = h.begin(u), end = h.end(u); k < end; ++k) {
            const uint32_t w = h.target[k];
            if (w >= u || h.count(w, u) > 0 || !firstOf(u, k, w))
                continue;
            classify(u, h.count(u, w), 0);
        }
    }
    return e;
}

struct Shells
{
    std::vector<uint32_t> shellOf;   // per vertex
    std::size_t count = 0;
    ShellGeometry g;
    std::vector<uint8_t> hasTriangle;
    double total6 = 0.0;
    double diagonal = 0.0;
};

// Pieces joined through shared vertices, their volumes and boxes.
Shells findShells(const Mesh &mesh)
{
    Shells s;
    const std::size_t vertexCount = mesh.vertexCount();
    const std::size_t triangles = mesh.triangleCount();
    const std::vector<uint32_t> &idx = mesh.indices;
    UnionFind sets(vertexCount);
    for (std::size_t t = 0; t < triangles; ++t) {
        sets.unite(idx[3 * t], idx[3 * t + 1]);
        sets.unite(idx[3 * t], idx[3 * t + 2]);
    }
    s.shellOf.resize(vertexCount);
    std::vector<uint32_t> idOfRoot(vertexCount, UINT32_MAX);
    std::vector<std::array<float, 6>> box;   // per shell: lows, highs
    for (uint32_t v = 0; v < vertexCount; ++v) {
        const uint32_t root = sets.find(v);
        const float *p = &mesh.vertices[3 * std::size_t(v)];
        if (idOfRoot[root] == UINT32_MAX) {
            idOfRoot[root] = uint32_t(s.count++);
            box.push_back({p[0], p[1], p[2], p[0], p[1], p[2]});
        }
        const uint32_t id = idOfRoot[root];
        s.shellOf[v] = id;
        std::array<float, 6> &b = box[id];
        for (int a = 0; a < 3; ++a) {
            b[std::size_t(a)] = std::min(b[std::size_t(a)], p[a]);
            b[std::size_t(a) + 3] = std::max(b[std::size_t(a) + 3], p[a]);
        }
    }
    ShellGeometry &g = s.g;
    g.volume6.assign(s.count, 0.0);
    g.point.assign(s.count, Point{0, 0, 0});
    g.lo.resize(s.count);
    g.hi.resize(s.count);
    Point lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (std::size_t k = 0; k < s.count; ++k) {
        for (std::size_t a = 0; a < 3; ++a) {
            g.lo[k][a] = box[k][a];
            g.hi[k][a] = box[k][a + 3];
            lo[a] = std::min(lo[a], g.lo[k][a]);
            hi[a] = std::max(hi[a], g.hi[k][a]);
        }
    }
    // Volumes are summed around the middle of the mesh to keep the products small.
    const Point origin{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    s.diagonal = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2], 0.0});
    s.hasTriangle.assign(s.count, 0);
    for (std::size_t t = 0; t < triangles; ++t) {
        const uint32_t k = s.shellOf[idx[3 * t]];
        const Point a = vertexAt(mesh, idx[3 * t], origin), b = vertexAt(mesh, idx[3 * t + 1], origin),
                    c = vertexAt(mesh, idx[3 * t + 2], origin);
        g.volume6[k] += tripleProduct(a, b, c);
        if (!s.hasTriangle[k]) {
            s.hasTriangle[k] = 1;
            for (std::size_t d = 0; d < 3; ++d)
                g.point[k][d] = origin[d] + (a[d] + b[d] + c[d]) / 3.0;
        }
    }
    for (double v : g.volume6)
        s.total6 += v;
    return s;
}

} // namespace

MeshCheckReport checkMesh(const Mesh &mesh)
{
    MeshCheckReport r;
    const std::size_t triangles = mesh.triangleCount();
    if (triangles == 0 || !indicesInRange(mesh))
        return r;
    r.checked = true;
    const std::vector<uint32_t> &idx = mesh.indices;

    // Shells and volumes on a second thread while this one counts the edges; one after the
    // other where no thread can be started.
    std::future<Shells> shellsLater;
    try {
        shellsLater = std::async(std::launch::async, [&mesh] { return findShells(mesh); });
    } catch (const std::system_error &e) {
        qWarning("Mesh check on one thread: %s", e.what());
    }
    const EdgeCounts edges = countEdges(mesh);
    Shells shells = shellsLater.valid() ? shellsLater.get() : findShells(mesh);
    r.openEdges = edges.open;
    r.crowdedEdges = edges.crowded;
    r.misorientedEdges = edges.misoriented;
    r.volumeMm3 = shells.total6 / 6.0;

    // An open shell's volume depends on where it is measured from: it tells nothing. Flat
    // pieces enclose nothing; rounding must not make them count as inside out.
    ShellGeometry &g = shells.g;
    std::vector<uint8_t> open(shells.count, 0);
    for (uint32_t v : edges.openAt)
        open[shells.shellOf[v]] = 1;
    const double tiny = 1e-9 * shells.diagonal * shells.diagonal * shells.diagonal;
    for (std::size_t k = 0; k < shells.count; ++k) {
        r.shells += shells.hasTriangle[k];
        if (std::abs(g.volume6[k]) <= tiny || open[k])
            g.volume6[k] = 0.0;
    }

    const std::vector<uint8_t> turn = shellsToTurn(
        g, triangles, [&](std::size_t t) { return shells.shellOf[idx[3 * t]]; },
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

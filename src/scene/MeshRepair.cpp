#include "scene/MeshCheck.h"

#include <algorithm>
#include <unordered_map>

#include "scene/MeshTopology.h"

using namespace meshtopo;

namespace {

// The repair's view of the mesh: each triangle's orientation relative to the file, the piece
// it belongs to (triangles joined through edges with two faces), and the closing triangles.
struct Repair
{
    const Mesh &mesh;
    const std::vector<uint32_t> &idx;
    std::size_t triangles;
    HalfEdges h;
    std::vector<uint8_t> flip;        // per triangle: turned against the file
    std::vector<uint32_t> piece;      // per triangle
    std::vector<uint32_t> pieceSize;
    std::vector<uint32_t> added;      // closing triangles, three corners each, in final winding
    std::vector<uint32_t> addedPiece;
    std::vector<uint32_t> holePiece;   // per closed loop
    std::vector<uint8_t> pieceOpen;    // open edges left that no loop closes

    explicit Repair(const Mesh &m) : mesh(m), idx(m.indices), triangles(m.triangleCount())
    {
        h.build(idx, m.vertexCount(), true);
    }

    uint32_t faces(uint32_t u, uint32_t w) const { return h.count(u, w) + h.count(w, u); }

    // Floods each piece from its first triangle over edges with exactly two faces, turning
    // neighbours so that they run the other way along the shared edge. Returns the triangles
    // turned, after each piece kept the orientation most of its triangles had in the file.
    std::size_t orient()
    {
        flip.assign(triangles, 0);
        piece.assign(triangles, UINT32_MAX);
        std::vector<uint32_t> queue;
        queue.reserve(1024);
        std::size_t turned = 0;
        for (std::size_t seed = 0; seed < triangles; ++seed) {
            if (piece[seed] != UINT32_MAX)
                continue;
            const uint32_t id = uint32_t(pieceSize.size());
            pieceSize.push_back(0);
            std::size_t flippedHere = 0;
            queue.clear();
            queue.push_back(uint32_t(seed));
            piece[seed] = id;
            std::vector<uint32_t> members;
            for (std::size_t q = 0; q < queue.size(); ++q) {
                const uint32_t t = queue[q];
                members.push_back(t);
                for (int c = 0; c < 3; ++c) {
                    const uint32_t u = idx[3 * std::size_t(t) + std::size_t(c)];
                    const uint32_t w = idx[3 * std::size_t(t) + std::size_t((c + 1) % 3)];
                    if (u == w)
                        continue;
                    // The other face of an edge with two: along u→w (same way in the file) or w→u.
                    uint32_t other = UINT32_MAX, count = 0;
                    bool sameWay = false;
                    for (uint32_t k = h.begin(u), e = h.end(u); k < e; ++k) {
                        if (h.target[k] != w)
                            continue;
                        ++count;
                        if (h.face[k] != t) {
                            other = h.face[k];
                            sameWay = true;
                        }
                    }
                    for (uint32_t k = h.begin(w), e = h.end(w); k < e; ++k) {
                        if (h.target[k] != u)
                            continue;
                        ++count;
                        if (h.face[k] != t)
                            other = h.face[k];
                    }
                    if (count != 2 || other == UINT32_MAX || piece[other] != UINT32_MAX)
                        continue;
                    piece[other] = id;
                    flip[other] = sameWay ? !flip[t] : flip[t];
                    queue.push_back(other);
                }
            }
            for (uint32_t t : members)
                flippedHere += flip[t];
            pieceSize[id] = uint32_t(members.size());
            if (flippedHere * 2 > members.size()) {
                for (uint32_t t : members)
                    flip[t] = !flip[t];
                flippedHere = members.size() - flippedHere;
            }
            turned += flippedHere;
        }
        return turned;
    }

    void corners(std::size_t t, uint32_t v[3]) const
    {
        v[0] = idx[3 * t];
        v[1] = idx[3 * t + (flip[t] ? 2 : 1)];
        v[2] = idx[3 * t + (flip[t] ? 1 : 2)];
    }

    // Closes every loop of open edges with a fan from its first corner. The fan's triangles run
    // the other way along the loop's edges than the faces there, so the piece stays consistent;
    // over a loop that is not flat a fan still winds around each point as the loop does.
    std::size_t closeHoles()
    {
        pieceOpen.assign(pieceSize.size(), 0);
        // Open half-edges in their current direction, found by their first vertex.
        std::unordered_multimap<uint32_t, std::pair<uint32_t, uint32_t>> open;   // u → (w, triangle)
        for (std::size_t t = 0; t < triangles; ++t) {
            // One or two triangles cannot enclose anything however they are closed; skipping
            // them keeps a triangle soup (an OBJ file without shared corners) quick.
            if (pieceSize[piece[t]] < 3) {
                pieceOpen[piece[t]] = 1;
                continue;
            }
            uint32_t v[3];
            corners(t, v);
            for (int c = 0; c < 3; ++c) {
                const uint32_t u = v[c], w = v[(c + 1) % 3];
                if (u != w && faces(u, w) == 1)
                    open.emplace(u, std::make_pair(w, uint32_t(t)));
            }
        }
        std::size_t holes = 0;
        std::vector<uint32_t> loop;
        while (!open.empty()) {
            auto it = open.begin();
            const uint32_t start = it->first;
            const uint32_t owner = it->second.second;
            uint32_t at = it->second.first;
            open.erase(it);
            loop.assign({start});
            bool closed = false;
            while (loop.size() <= triangles * 3) {
                if (at == start) {
                    closed = true;
                    break;
                }
                loop.push_back(at);
                auto next = open.find(at);
                if (next == open.end())
                    break;   // the boundary runs into a vertex where it cannot be followed
                at = next->second.first;
                open.erase(next);
            }
            if (!closed || loop.size() < 3) {
                pieceOpen[piece[owner]] = 1;
                continue;
            }
            ++holes;
            holePiece.push_back(piece[owner]);
            for (std::size_t i = 1; i + 1 < loop.size(); ++i) {
                added.insert(added.end(), {loop[0], loop[i + 1], loop[i]});
                addedPiece.push_back(piece[owner]);
            }
        }
        return holes;
    }
};

} // namespace

MeshCheckReport checkAndRepairMesh(Mesh &mesh)
{
    MeshCheckReport r = checkMesh(mesh);
    if (!r.needsRepair())
        return r;

    Repair fix(mesh);
    r.flippedTriangles = fix.orient();
    if (r.openEdges > 0)
        fix.closeHoles();
    else
        fix.pieceOpen.assign(fix.pieceSize.size(), 0);

    // Volumes of the pieces as they now are, closing triangles included, and where they lie.
    const std::size_t pieces = fix.pieceSize.size();
    const Point origin = boxCentre(mesh);
    ShellGeometry g;
    g.volume6.assign(pieces, 0.0);
    g.point.assign(pieces, Point{0, 0, 0});
    g.lo.assign(pieces, Point{1e300, 1e300, 1e300});
    g.hi.assign(pieces, Point{-1e300, -1e300, -1e300});
    std::vector<uint8_t> seen(pieces, 0);
    for (std::size_t t = 0; t < fix.triangles; ++t) {
        uint32_t v[3];
        fix.corners(t, v);
        const uint32_t p = fix.piece[t];
        const Point a = vertexAt(mesh, v[0], origin), b = vertexAt(mesh, v[1], origin), c = vertexAt(mesh, v[2], origin);
        g.volume6[p] += tripleProduct(a, b, c);
        for (std::size_t k = 0; k < 3; ++k) {
            const double lo = std::min({a[k], b[k], c[k]}) + origin[k], hi = std::max({a[k], b[k], c[k]}) + origin[k];
            g.lo[p][k] = std::min(g.lo[p][k], lo);
            g.hi[p][k] = std::max(g.hi[p][k], hi);
            if (!seen[p])
                g.point[p][k] = origin[k] + (a[k] + b[k] + c[k]) / 3.0;
        }
        seen[p] = 1;
    }
    for (std::size_t k = 0; k < fix.addedPiece.size(); ++k) {
        const uint32_t *v = &fix.added[3 * k];
        g.volume6[fix.addedPiece[k]] +=
            tripleProduct(vertexAt(mesh, v[0], origin), vertexAt(mesh, v[1], origin), vertexAt(mesh, v[2], origin));
    }
    double diagonal = 0.0;
    for (int a = 0; a < 3; ++a)
        diagonal = std::max(diagonal, double(mesh.maxCoord(a)) - double(mesh.minCoord(a)));
    const double tiny = 1e-9 * diagonal * diagonal * diagonal;
    for (std::size_t p = 0; p < pieces; ++p) {
        // Still open: the volume depends on where it is measured from and tells nothing.
        if (std::abs(g.volume6[p]) <= tiny || fix.pieceOpen[p])
            g.volume6[p] = 0.0;
    }
    // A flat piece (a lone triangle, a sheet) encloses nothing even when closed: it keeps its
    // open edges rather than get a second face on its back.
    {
        std::vector<uint32_t> added, addedPiece;
        for (std::size_t k = 0; k < fix.addedPiece.size(); ++k) {
            if (g.volume6[fix.addedPiece[k]] == 0.0)
                continue;
            added.insert(added.end(), &fix.added[3 * k], &fix.added[3 * k + 3]);
            addedPiece.push_back(fix.addedPiece[k]);
        }
        fix.added.swap(added);
        fix.addedPiece.swap(addedPiece);
        for (uint32_t p : fix.holePiece)
            r.closedHoles += g.volume6[p] != 0.0;
        r.addedTriangles = fix.addedPiece.size();
    }
    const std::vector<uint8_t> turn = shellsToTurn(
        g, fix.triangles, [&](std::size_t t) { return fix.piece[t]; },
        [&](std::size_t t, Point &a, Point &b, Point &c) {
            uint32_t v[3];
            fix.corners(t, v);
            a = vertexAt(mesh, v[0], {0, 0, 0});
            b = vertexAt(mesh, v[1], {0, 0, 0});
            c = vertexAt(mesh, v[2], {0, 0, 0});
            return true;
        });
    for (std::size_t p = 0; p < pieces; ++p)
        r.flippedShells += turn[p];

    if (!r.repaired())
        return r;
    // Written back in place; the closing triangles go after the file's own.
    std::vector<uint32_t> &idx = mesh.indices;
    for (std::size_t t = 0; t < fix.triangles; ++t) {
        if (fix.flip[t] != turn[fix.piece[t]])
            std::swap(idx[3 * t + 1], idx[3 * t + 2]);
    }
    for (std::size_t k = 0; k < fix.addedPiece.size(); ++k) {
        uint32_t v[3] = {fix.added[3 * k], fix.added[3 * k + 1], fix.added[3 * k + 2]};
        if (turn[fix.addedPiece[k]])
            std::swap(v[1], v[2]);
        idx.insert(idx.end(), v, v + 3);
    }
    mesh.reversedIndices = reverseWinding(idx);
    return r;
}

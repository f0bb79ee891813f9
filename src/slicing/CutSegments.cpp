#include "slicing/CutSegments.h"

#include <QMatrix4x4>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "scene/Object.h"

namespace {

// One object as the sweep sees it: its mesh and its vertices placed in normalised units
// (model matrix and sceneScale, before the X/Y slice scale, which only the pixel mapping applies).
struct PlacedObject
{
    std::shared_ptr<const Mesh> mesh;
    std::vector<float> xyz;
    // What the placement was made from, to notice changes.
    const float *vertexData = nullptr;
    std::size_t vertexFloats = 0;
    std::size_t indexCount = 0;
    QMatrix4x4 matrix;
    // Taken afresh at every prepare(): they only filter and orient.
    SliceObject info;
    bool reversed = false;
};

struct SortedTriangle
{
    float zMin;
    float zMax;
    uint32_t object;
    uint32_t triangle;
};

// A segment before the objects are grouped.
struct TaggedSegment
{
    uint32_t object;
    CutSegment s;
};

} // namespace

struct CutSweep::Private
{
    SliceParameters params;
    float sceneScale = 0.0f;
    std::vector<PlacedObject> objects;
    std::vector<SortedTriangle> sorted;

    // The active set: triangles whose lowest point is at or below the highest plane asked for
    // so far and whose highest point is not below `floor`.
    std::vector<uint32_t> active;
    std::size_t next = 0;
    float floor = -std::numeric_limits<float>::infinity();

    // The three corners of a triangle in the winding the cut counts with.
    void corners(const PlacedObject &o, uint32_t t, const float *v[3]) const
    {
        const uint32_t *i = &o.mesh->indices[3 * std::size_t(t)];
        v[0] = &o.xyz[3 * std::size_t(i[0])];
        v[1] = &o.xyz[3 * std::size_t(o.reversed ? i[2] : i[1])];
        v[2] = &o.xyz[3 * std::size_t(o.reversed ? i[1] : i[2])];
    }

    // Makes the active set hold every triangle that reaches from below to above `plane`.
    void reach(float plane)
    {
        if (!(plane >= floor)) {
            active.clear();
            next = 0;
            floor = -std::numeric_limits<float>::infinity();
        }
        while (next < sorted.size() && sorted[next].zMin <= plane)
            active.push_back(uint32_t(next++));
        // Triangles a little below the plane stay: the outline is taken just under the cut.
        const float keep = plane - (0.01f * sceneScale + 4e-6f);
        if (keep > floor) {
            floor = keep;
            active.erase(std::remove_if(active.begin(), active.end(),
                                        [this, keep](uint32_t k) { return sorted[k].zMax < keep; }),
                         active.end());
        }
    }

    void place(PlacedObject &p, const SliceObject &o)
    {
        QMatrix4x4 m;
        m.scale(params.sceneScale());
        m = m * o.matrix;   // as the stencil pass's model matrix, in float
        const float *c = m.constData();   // column-major
        const Mesh &mesh = *o.mesh;
        const std::size_t n = mesh.vertexCount();
        p.xyz.resize(3 * n);
        for (std::size_t k = 0; k < n; ++k) {
            const float *v = &mesh.vertices[3 * k];
            float *out = &p.xyz[3 * k];
            out[0] = c[0] * v[0] + c[4] * v[1] + c[8] * v[2] + c[12];
            out[1] = c[1] * v[0] + c[5] * v[1] + c[9] * v[2] + c[13];
            out[2] = c[2] * v[0] + c[6] * v[1] + c[10] * v[2] + c[14];
        }
    }

    void rebuild(const std::vector<SliceObject> &list)
    {
        objects.clear();
        sorted.clear();
        active.clear();
        next = 0;
        floor = -std::numeric_limits<float>::infinity();
        sceneScale = params.sceneScale();
        objects.resize(list.size());
        std::size_t total = 0;
        for (std::size_t k = 0; k < list.size(); ++k) {
            const SliceObject &o = list[k];
            PlacedObject &p = objects[k];
            p.info = o;
            p.reversed = drawnReversed(o);
            p.matrix = o.matrix;
            if (!o.mesh)
                continue;
            p.mesh = o.mesh;
            p.vertexData = o.mesh->vertices.data();
            p.vertexFloats = o.mesh->vertices.size();
            p.indexCount = o.mesh->indices.size();
            if (o.type == TypeBuildPlate)
                continue;
            place(p, o);
            total += o.mesh->triangleCount();
        }
        sorted.reserve(total);
        for (std::size_t k = 0; k < objects.size(); ++k) {
            const PlacedObject &p = objects[k];
            if (p.xyz.empty())
                continue;
            const std::vector<uint32_t> &idx = p.mesh->indices;
            const std::size_t vertices = p.xyz.size() / 3;
            const std::size_t triangles = idx.size() / 3;
            for (std::size_t t = 0; t < triangles; ++t) {
                const uint32_t a = idx[3 * t], b = idx[3 * t + 1], c = idx[3 * t + 2];
                if (a >= vertices || b >= vertices || c >= vertices)
                    continue;   // a damaged mesh: the triangle is left out rather than read out of range
                const float za = p.xyz[3 * a + 2], zb = p.xyz[3 * b + 2], zc = p.xyz[3 * c + 2];
                const float lo = std::min({za, zb, zc}), hi = std::max({za, zb, zc});
                if (!std::isfinite(lo) || !std::isfinite(hi))
                    continue;
                sorted.push_back({lo, hi, uint32_t(k), uint32_t(t)});
            }
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const SortedTriangle &a, const SortedTriangle &b) { return a.zMin < b.zMin; });
    }

    bool sameGeometry(const std::vector<SliceObject> &list, const SliceParameters &p) const
    {
        if (list.size() != objects.size() || p.sceneScale() != sceneScale)
            return false;
        for (std::size_t k = 0; k < list.size(); ++k) {
            const SliceObject &o = list[k];
            const PlacedObject &q = objects[k];
            if (o.mesh != q.mesh || (o.type == TypeBuildPlate) != (q.info.type == TypeBuildPlate)
                || !(o.matrix == q.matrix))
                return false;
            if (o.mesh && (o.mesh->vertices.data() != q.vertexData || o.mesh->vertices.size() != q.vertexFloats
                           || o.mesh->indices.size() != q.indexCount))
                return false;
        }
        return true;
    }
};

CutSweep::CutSweep() : d(new Private) {}

CutSweep::~CutSweep() = default;

void CutSweep::prepare(const std::vector<SliceObject> &objects, const SliceParameters &params)
{
    const bool same = d->sameGeometry(objects, params);
    d->params = params;
    if (!same) {
        d->rebuild(objects);
        return;
    }
    for (std::size_t k = 0; k < objects.size(); ++k) {
        d->objects[k].info = objects[k];
        d->objects[k].reversed = drawnReversed(objects[k]);
    }
}

void CutSweep::clear()
{
    d = std::make_unique<Private>();
}

std::size_t CutSweep::activeTriangles() const
{
    return d->active.size();
}

LayerSegments CutSweep::segments(float cutZ, int mode, const RenderFlags &flags)
{
    LayerSegments out;
    // The stencil pass keeps what lies at or below this plane (its vertex stage's clip distance).
    const float plane = cutZ > 0.0f ? cutZ - 0.000001f : 0.000001f;
    d->reach(plane);

    const std::size_t count = d->objects.size();
    std::vector<std::size_t> limit(count, 0);   // triangles of each object that take part
    for (std::size_t k = 0; k < count; ++k) {
        const PlacedObject &o = d->objects[k];
        if (!o.xyz.empty() && isDrawnInMode(o.info, mode, flags))
            limit[k] = drawnIndexCount(o.info, flags) / 3;
    }

    // The cut points are computed as the stencil pass's clipper makes them, from the vertex
    // above the cut, in the same float steps (scale, interpolate, viewport), and then snapped to
    // the 1/256-pixel grid on which graphics cards place vertices: both renderers then decide
    // every pixel from the same outline.
    const SliceParameters &p = d->params;
    const int edge = p.framebufferEdge();
    const float half = float(edge) / 2.0f;
    const float fx = 1.0f + float(p.sliceScaleXPct / 100.0);
    const float fy = 1.0f + float((1.0 + p.sliceScaleYPct / 100.0) * p.yStretch() - 1.0);
    const int offsetX = (edge - p.projectorWidthPx) / 2;
    const int offsetY = (edge - p.projectorHeightPx) / 2;
    auto snap = [half](float v, int offset) {
        const float window = std::clamp(v * half + half, -1e6f, 1e6f);
        return float(std::nearbyint((double(window) - 0.5) * 256.0) - 256.0 * offset) / 256.0f + 0.5f;
    };

    std::vector<TaggedSegment> found;
    found.reserve(d->active.size() / 2 + 16);
    for (uint32_t k : d->active) {
        const SortedTriangle &t = d->sorted[k];
        if (t.zMin > plane || t.zMax <= plane || t.triangle >= limit[t.object])
            continue;
        const PlacedObject &o = d->objects[t.object];
        const float *v[3];
        d->corners(o, t.triangle, v);
        bool below[3];
        for (int i = 0; i < 3; ++i)
            below[i] = v[i][2] <= plane;
        // The edge leaving the solid's bottom side (above → below) starts the segment, the
        // one going up ends it.
        float from[2] = {0, 0}, to[2] = {0, 0};
        for (int i = 0; i < 3; ++i) {
            const int n = (i + 1) % 3;
            if (below[i] == below[n])
                continue;
            const float *in = below[i] ? v[i] : v[n];
            const float *out = below[i] ? v[n] : v[i];
            const float dOut = plane - out[2], dIn = plane - in[2];
            const float f = dOut / (dOut - dIn);
            const float ox = out[0] * fx, oy = out[1] * fy;
            float *q = below[i] ? to : from;
            q[0] = ox + f * (in[0] * fx - ox);
            q[1] = oy + f * (in[1] * fy - oy);
        }
        found.push_back({t.object, {snap(from[0], offsetX), snap(from[1], offsetY), snap(to[0], offsetX),
                                    snap(to[1], offsetY)}});
    }

    // Grouped by object, in object order.
    std::vector<std::size_t> start(count + 1, 0);
    for (const TaggedSegment &s : found)
        ++start[s.object + 1];
    for (std::size_t k = 0; k < count; ++k)
        start[k + 1] += start[k];
    out.segments.resize(found.size());
    std::vector<std::size_t> at(start.begin(), start.end() - 1);
    for (const TaggedSegment &s : found)
        out.segments[at[s.object]++] = s.s;
    for (std::size_t k = 0; k < count; ++k) {
        if (start[k + 1] > start[k])
            out.objectEnds.push_back(start[k + 1]);
    }
    return out;
}

std::vector<float> CutSweep::outline(float heightMm)
{
    std::vector<float> out;
    const SliceParameters &p = d->params;
    const float scale = p.sceneScale();
    const float p0 = std::max(heightMm * scale, 0.00001f);
    d->reach(p0);
    const float sx = float(1.0 + p.sliceScaleXPct / 100.0);
    const float sy = float(1.0 + p.sliceScaleYPct / 100.0);
    for (uint32_t k : d->active) {
        const SortedTriangle &t = d->sorted[k];
        if (t.zMin >= p0 || t.zMax < p0)
            continue;
        const PlacedObject &o = d->objects[t.object];
        if (o.info.type != TypeModel || !o.info.isShow)
            continue;
        if (out.size() >= maxOutlineSegments * 6)
            break;
        const float *v[3];
        d->corners(o, t.triangle, v);
        float dist[3];
        bool above[3];
        for (int i = 0; i < 3; ++i) {
            dist[i] = v[i][2] - p0;
            above[i] = dist[i] >= 0.0f;
        }
        for (int i = 0; i < 3; ++i) {
            const int n = (i + 1) % 3;
            if (above[i] == above[n])
                continue;
            const float f = dist[i] / (dist[i] - dist[n]);
            out.push_back((v[i][0] + f * (v[n][0] - v[i][0])) * sx / scale);
            out.push_back((v[i][1] + f * (v[n][1] - v[i][1])) * sy / scale);
            out.push_back((v[i][2] + f * (v[n][2] - v[i][2])) / scale);
        }
    }
    return out;
}

NormalRange CutSweep::sampleNormals(float cutZ)
{
    NormalRange range;
    d->reach(cutZ);
    for (uint32_t k : d->active) {
        const SortedTriangle &t = d->sorted[k];
        if (t.zMin > cutZ || t.zMax < cutZ)
            continue;
        const PlacedObject &o = d->objects[t.object];
        if (!o.info.isShow)
            continue;
        const float *v[3];
        d->corners(o, t.triangle, v);
        const float ax = v[1][0] - v[0][0], ay = v[1][1] - v[0][1], az = v[1][2] - v[0][2];
        const float bx = v[2][0] - v[0][0], by = v[2][1] - v[0][1], bz = v[2][2] - v[0][2];
        const float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (!(len > 0.0f))
            continue;   // a degenerate triangle has no direction
        const float c = -nz / len;
        if (std::abs(c) < 0.342f)
            continue;   // steeper than 70° from horizontal
        if (range.count == 0) {
            range.smallest = range.largest = c;
        } else {
            range.smallest = std::min(range.smallest, c);
            range.largest = std::max(range.largest, c);
        }
        ++range.count;
    }
    return range;
}

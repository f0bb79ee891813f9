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

    const SliceParameters &p = d->params;
    const int edge = p.framebufferEdge();
    const float half = float(edge) / 2.0f;
    const float sx = float(1.0 + p.sliceScaleXPct / 100.0) * half;
    const float sy = float(1.0 + p.sliceScaleYPct / 100.0) * half;
    const float ox = half - float((edge - p.projectorWidthPx) / 2);
    const float oy = half - float((edge - p.projectorHeightPx) / 2);

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
        // one going up ends it; each crossing is computed from its lower corner, so the two
        // triangles sharing an edge find the same point.
        float from[2] = {0, 0}, to[2] = {0, 0};
        for (int i = 0; i < 3; ++i) {
            const int n = (i + 1) % 3;
            if (below[i] == below[n])
                continue;
            const float *lo = below[i] ? v[i] : v[n];
            const float *hi = below[i] ? v[n] : v[i];
            const float f = (plane - lo[2]) / (hi[2] - lo[2]);
            float *q = below[i] ? to : from;
            q[0] = lo[0] + f * (hi[0] - lo[0]);
            q[1] = lo[1] + f * (hi[1] - lo[1]);
        }
        found.push_back({t.object, {from[0] * sx + ox, from[1] * sy + oy, to[0] * sx + ox, to[1] * sy + oy}});
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

namespace {

struct Crossing
{
    float x;
    int winding;
};

} // namespace

void fillCutSegments(const std::vector<CutSegment> &segments, cv::Mat &image)
{
    CV_Assert(image.type() == CV_8UC1);
    image.setTo(0);
    const int h = image.rows, w = image.cols;
    if (h == 0 || w == 0 || segments.empty())
        return;

    // Rows sample at their centres, j + 0.5; a segment covers the rows whose centre lies in
    // [lower end, upper end), so a vertex shared by two segments is counted once.
    auto rowsOf = [h](const CutSegment &s, int *from, int *to) {
        if (!(s.y0 != s.y1) || !std::isfinite(s.x0) || !std::isfinite(s.x1) || !std::isfinite(s.y0)
            || !std::isfinite(s.y1))
            return false;
        const float lo = std::clamp(std::min(s.y0, s.y1), -1.0f, float(h) + 1.0f);
        const float hi = std::clamp(std::max(s.y0, s.y1), -1.0f, float(h) + 1.0f);
        *from = std::max(0, int(std::ceil(lo - 0.5f)));
        *to = std::min(h, int(std::ceil(hi - 0.5f)));
        return *from < *to;
    };
    std::vector<std::size_t> offset(std::size_t(h) + 1, 0);
    for (const CutSegment &s : segments) {
        int a, b;
        if (rowsOf(s, &a, &b)) {
            for (int j = a; j < b; ++j)
                ++offset[std::size_t(j) + 1];
        }
    }
    for (int j = 0; j < h; ++j)
        offset[std::size_t(j) + 1] += offset[std::size_t(j)];
    std::vector<Crossing> crossings(offset[std::size_t(h)]);
    std::vector<std::size_t> fill(offset.begin(), offset.end() - 1);
    for (const CutSegment &s : segments) {
        int a, b;
        if (!rowsOf(s, &a, &b))
            continue;
        // Going down (towards row 0) the inside is on the right: entering it from the left.
        const int winding = s.y1 < s.y0 ? 1 : -1;
        const double slope = (double(s.x1) - s.x0) / (double(s.y1) - s.y0);
        for (int j = a; j < b; ++j) {
            const double x = s.x0 + (j + 0.5 - s.y0) * slope;
            crossings[fill[std::size_t(j)]++] = {float(std::clamp(x, -1e7, 1e7)), winding};
        }
    }

    for (int j = 0; j < h; ++j) {
        Crossing *c = crossings.data() + offset[std::size_t(j)];
        const std::size_t n = offset[std::size_t(j) + 1] - offset[std::size_t(j)];
        if (n == 0)
            continue;
        if (n <= 16) {
            for (std::size_t i = 1; i < n; ++i) {
                const Crossing key = c[i];
                std::size_t k = i;
                for (; k > 0 && c[k - 1].x > key.x; --k)
                    c[k] = c[k - 1];
                c[k] = key;
            }
        } else {
            std::sort(c, c + n, [](const Crossing &a, const Crossing &b) { return a.x < b.x; });
        }
        // Pixel i is inside when the crossings up to its centre add up to more than zero (a
        // centre on a left edge is inside, on a right edge outside, as GL rasterises): between
        // crossings at xa and xb that is i from ceil(xa - 0.5) up to ceil(xb - 0.5).
        uchar *row = image.ptr<uchar>(j);
        int count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            count += c[i].winding;
            if (count <= 0 || i + 1 == n)
                continue;
            const int from = std::max(0, int(std::ceil(c[i].x - 0.5f)));
            const int to = std::min(w, int(std::ceil(c[i + 1].x - 0.5f)));
            if (from < to)
                std::memset(row + from, 255, std::size_t(to - from));
        }
    }
}

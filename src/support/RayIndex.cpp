#include "support/RayIndex.h"

#include <QMutex>
#include <QMutexLocker>
#include <cstring>
#include <embree3/rtcore.h>
#include <map>

namespace {

// One device for the program: it owns Embree's thread pool.
RTCDevice sharedDevice()
{
    static RTCDevice device = rtcNewDevice(nullptr);
    return device;
}

} // namespace

struct RayIndex::Impl
{
    RTCScene scene = nullptr;
};

RayIndex::RayIndex(const Mesh &mesh) : d(std::make_unique<Impl>())
{
    RTCDevice device = sharedDevice();
    if (!device) {
        m_error = QStringLiteral("The ray-query library cannot start.");
        return;
    }
    const std::size_t vertexCount = mesh.vertexCount(), triangleCount = mesh.triangleCount();
    d->scene = rtcNewScene(device);
    rtcSetSceneFlags(d->scene, RTC_SCENE_FLAG_ROBUST);
    rtcSetSceneBuildQuality(d->scene, RTC_BUILD_QUALITY_LOW);
    if (vertexCount > 0 && triangleCount > 0) {
        RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
        // The quick Morton build: a third of the medium build's time, and probes stay fast.
        rtcSetGeometryBuildQuality(geom, RTC_BUILD_QUALITY_LOW);
        // Copies: Embree reads vertices with 16-byte loads and wants its own padded buffer.
        auto *v = static_cast<float *>(
            rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), vertexCount));
        auto *i = static_cast<unsigned *>(
            rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), triangleCount));
        if (!v || !i) {
            m_error = QStringLiteral("Not enough memory for the ray-query structure.");
            rtcReleaseGeometry(geom);
        } else {
            std::memcpy(v, mesh.vertices.data(), vertexCount * 3 * sizeof(float));
            std::memcpy(i, mesh.indices.data(), triangleCount * 3 * sizeof(unsigned));
            rtcCommitGeometry(geom);
            rtcAttachGeometry(d->scene, geom);
            rtcReleaseGeometry(geom);
        }
    }
    rtcCommitScene(d->scene);
    if (rtcGetDeviceError(device) != RTC_ERROR_NONE && m_error.isEmpty())
        m_error = QStringLiteral("The ray-query structure cannot be built.");
}

RayIndex::~RayIndex()
{
    if (d->scene)
        rtcReleaseScene(d->scene);
}

RayIndex::Hit RayIndex::cast(QVector3D o, QVector3D dir, float tNear, float tFar) const
{
    Hit h;
    if (!m_error.isEmpty() || !d->scene)
        return h;
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh;
    rh.ray.org_x = o.x();
    rh.ray.org_y = o.y();
    rh.ray.org_z = o.z();
    rh.ray.dir_x = dir.x();
    rh.ray.dir_y = dir.y();
    rh.ray.dir_z = dir.z();
    rh.ray.tnear = tNear;
    rh.ray.tfar = tFar;
    rh.ray.mask = 0xFFFFFFFFu;
    rh.ray.time = 0.0f;
    rh.ray.flags = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(d->scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID)
        return h;
    h.hit = true;
    h.distance = rh.ray.tfar;
    h.point = o + dir * rh.ray.tfar;
    h.normal = QVector3D(rh.hit.Ng_x, rh.hit.Ng_y, rh.hit.Ng_z).normalized();
    h.triangle = rh.hit.primID;
    return h;
}

std::vector<RayIndex::Hit> RayIndex::castMany(const std::vector<QVector3D> &origins,
                                              const std::vector<QVector3D> &dirs) const
{
    const std::size_t n = std::min(origins.size(), dirs.size());
    std::vector<Hit> hits(n);
    if (!m_error.isEmpty() || !d->scene)
        return hits;
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    context.flags = RTC_INTERSECT_CONTEXT_FLAG_COHERENT;
    for (std::size_t base = 0; base < n; base += 16) {
        alignas(64) RTCRayHit16 rh;
        alignas(64) int valid[16];
        for (int k = 0; k < 16; ++k) {
            const std::size_t r = base + std::size_t(k);
            valid[k] = r < n ? -1 : 0;
            const QVector3D o = r < n ? origins[r] : QVector3D();
            const QVector3D dir = r < n ? dirs[r] : QVector3D(0, 0, 1);
            rh.ray.org_x[k] = o.x();
            rh.ray.org_y[k] = o.y();
            rh.ray.org_z[k] = o.z();
            rh.ray.dir_x[k] = dir.x();
            rh.ray.dir_y[k] = dir.y();
            rh.ray.dir_z[k] = dir.z();
            rh.ray.tnear[k] = 0.0f;
            rh.ray.tfar[k] = std::numeric_limits<float>::infinity();
            rh.ray.mask[k] = 0xFFFFFFFFu;
            rh.ray.time[k] = 0.0f;
            rh.ray.flags[k] = 0;
            rh.hit.geomID[k] = RTC_INVALID_GEOMETRY_ID;
            rh.hit.instID[0][k] = RTC_INVALID_GEOMETRY_ID;
        }
        rtcIntersect16(valid, d->scene, &context, &rh);
        for (int k = 0; k < 16 && base + std::size_t(k) < n; ++k) {
            if (rh.hit.geomID[k] == RTC_INVALID_GEOMETRY_ID)
                continue;
            Hit &h = hits[base + std::size_t(k)];
            h.hit = true;
            h.distance = rh.ray.tfar[k];
            h.point = origins[base + std::size_t(k)] + dirs[base + std::size_t(k)] * rh.ray.tfar[k];
            h.normal = QVector3D(rh.hit.Ng_x[k], rh.hit.Ng_y[k], rh.hit.Ng_z[k]).normalized();
            h.triangle = rh.hit.primID[k];
        }
    }
    return hits;
}

// ---------------------------------------------------------------- placed objects

ObjectRays::ObjectRays(const RayIndex &index, const QMatrix4x4 &meshToWorld)
    : m_index(index), m_toWorld(meshToWorld), m_toMesh(meshToWorld.inverted()),
      m_normalToWorld(meshToWorld.normalMatrix())
{
}

RayIndex::Hit ObjectRays::toWorld(const RayIndex::Hit &h) const
{
    if (!h.hit)
        return h;
    RayIndex::Hit w = h;
    w.point = m_toWorld.map(h.point);
    const QMatrix3x3 &n = m_normalToWorld;
    const QVector3D m = h.normal;
    w.normal = QVector3D(n(0, 0) * m.x() + n(0, 1) * m.y() + n(0, 2) * m.z(),
                         n(1, 0) * m.x() + n(1, 1) * m.y() + n(1, 2) * m.z(),
                         n(2, 0) * m.x() + n(2, 1) * m.y() + n(2, 2) * m.z())
                   .normalized();
    // A mirrored object is drawn with the reversed winding: its outside is the other side.
    if (m_toWorld.determinant() < 0)
        w.normal = -w.normal;
    return w;
}

RayIndex::Hit ObjectRays::cast(QVector3D origin, QVector3D direction) const
{
    return toWorld(m_index.cast(m_toMesh.map(origin), m_toMesh.mapVector(direction)));
}

std::vector<RayIndex::Hit> ObjectRays::castMany(const std::vector<QVector3D> &origins,
                                                const std::vector<QVector3D> &dirs) const
{
    std::vector<QVector3D> o(origins.size()), dd(dirs.size());
    for (std::size_t k = 0; k < origins.size(); ++k)
        o[k] = m_toMesh.map(origins[k]);
    for (std::size_t k = 0; k < dirs.size(); ++k)
        dd[k] = m_toMesh.mapVector(dirs[k]);
    std::vector<RayIndex::Hit> hits = m_index.castMany(o, dd);
    for (RayIndex::Hit &h : hits)
        h = toWorld(h);
    return hits;
}

// ---------------------------------------------------------------- cache

std::shared_ptr<const RayIndex> rayIndexFor(const std::shared_ptr<Mesh> &mesh)
{
    if (!mesh)
        return {};
    struct Cached
    {
        std::weak_ptr<Mesh> mesh;
        std::shared_ptr<const RayIndex> index;
    };
    static QMutex mutex;
    static std::map<const Mesh *, Cached> cache;
    QMutexLocker lock(&mutex);
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second.mesh.expired())
            it = cache.erase(it);
        else
            ++it;
    }
    auto it = cache.find(mesh.get());
    if (it != cache.end() && it->second.mesh.lock() == mesh)
        return it->second.index;
    auto index = std::make_shared<const RayIndex>(*mesh);
    cache[mesh.get()] = Cached{mesh, index};
    return index;
}

#pragma once

#include <QMatrix4x4>
#include <QString>
#include <QVector3D>
#include <limits>
#include <memory>
#include <vector>

#include "scene/Mesh.h"

struct Object;

// A ray-query acceleration structure over one mesh (Embree's BVH), built once and
// answered on the processor: automatic supports cast hundreds of thousands of probes,
// which one GPU pass per probe cannot do in useful time.
class RayIndex
{
public:
    explicit RayIndex(const Mesh &mesh);
    ~RayIndex();
    RayIndex(const RayIndex &) = delete;
    RayIndex &operator=(const RayIndex &) = delete;

    // Empty when the index was built; the reason otherwise (then every ray misses).
    QString error() const { return m_error; }

    struct Hit
    {
        bool hit = false;
        float distance = 0.0f;   // along the ray, in units of |direction|
        QVector3D point;
        QVector3D normal;        // unit, outward for outward-wound meshes
        unsigned triangle = 0;
    };
    // The nearest hit of origin + t·direction with tNear ≤ t ≤ tFar, in the mesh's coordinates.
    Hit cast(QVector3D origin, QVector3D direction, float tNear = 0.0f,
             float tFar = std::numeric_limits<float>::infinity()) const;

    // Many rays at once (faster: packets of 16). Origins and directions side by side.
    std::vector<Hit> castMany(const std::vector<QVector3D> &origins, const std::vector<QVector3D> &directions) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    QString m_error;
};

// Rays in world millimetres against a placed object: the ray is taken into the mesh's
// coordinates by the inverse of the object's matrix and the hit brought back.
class ObjectRays
{
public:
    ObjectRays(const RayIndex &index, const QMatrix4x4 &meshToWorld);
    RayIndex::Hit cast(QVector3D origin, QVector3D direction) const;
    std::vector<RayIndex::Hit> castMany(const std::vector<QVector3D> &origins, const std::vector<QVector3D> &directions) const;

private:
    RayIndex::Hit toWorld(const RayIndex::Hit &h) const;

    const RayIndex &m_index;
    QMatrix4x4 m_toWorld;
    QMatrix4x4 m_toMesh;
    QMatrix3x3 m_normalToWorld;
};

// One index per mesh, made on first use and kept while the mesh lives, so the probes of
// supports and picks under the mouse share it.
std::shared_ptr<const RayIndex> rayIndexFor(const std::shared_ptr<Mesh> &mesh);

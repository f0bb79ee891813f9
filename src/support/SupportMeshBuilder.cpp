#include "support/SupportMeshBuilder.h"

#include <QtMath>
#include <cmath>

#include <algorithm>

namespace {

void pushVertex(MeshPiece &p, QVector3D v)
{
    p.vertices.push_back(v.x());
    p.vertices.push_back(v.y());
    p.vertices.push_back(v.z());
}

void pushTriangle(MeshPiece &p, int a, int b, int c)
{
    p.indices.push_back(a);
    p.indices.push_back(b);
    p.indices.push_back(c);
}

// Joints closer than this to the foot of a support standing on the plate are left out,
// so the foot stays a clean disc on the plate.
constexpr float kJointClearanceMm = 0.99f;
// A foot higher than this stands on a model: every point gets its joint.
constexpr float kFootOnModelMm = 2.0f;

} // namespace

// Unit directions of a sphere's rings and a circle's segments, worked out once per
// segment count: thousands of supports are built at a time.
struct SupportMeshBuilder::Tables
{
    unsigned int n = 0;
    std::vector<QVector3D> sphere;   // ring-major, n·n unit vectors
    std::vector<float> cosA, sinA;   // circle, n each
};

const SupportMeshBuilder::Tables &SupportMeshBuilder::tables() const
{
    if (!m_tables || m_tables->n != segmentCount) {
        auto t = std::make_shared<Tables>();
        const int n = int(segmentCount);
        t->n = segmentCount;
        for (int j = 1; j <= n; ++j) {
            const double phi = j * M_PI / (n + 1);
            for (int k = 0; k < n; ++k) {
                const double alpha = k * 2.0 * M_PI / n;
                t->sphere.emplace_back(float(std::cos(alpha) * std::sin(phi)), float(std::sin(alpha) * std::sin(phi)),
                                       float(std::cos(phi)));
            }
        }
        for (int i = 0; i < n; ++i) {
            t->cosA.push_back(float(std::cos(i * 2.0 * M_PI / n)));
            t->sinA.push_back(float(std::sin(i * 2.0 * M_PI / n)));
        }
        m_tables = t;
    }
    return *m_tables;
}

MeshPiece SupportMeshBuilder::sphere(QVector3D c, float r) const
{
    const int n = int(segmentCount);
    const Tables &t = tables();
    MeshPiece p;
    p.vertices.reserve(std::size_t(n * n + 2) * 3);
    p.indices.reserve(std::size_t(n * n) * 6);
    for (const QVector3D &u : t.sphere)
        pushVertex(p, c + r * u);
    const int top = n * n, bottom = n * n + 1;
    pushVertex(p, c + QVector3D(0, 0, r));
    pushVertex(p, c - QVector3D(0, 0, r));
    auto at = [n](int ring, int k) { return ring * n + k; };
    for (int a = 0; a + 1 < n; ++a) {
        for (int k = 0; k < n; ++k) {
            const int k1 = (k + 1) % n;
            pushTriangle(p, at(a, k), at(a + 1, k1), at(a, k1));
            pushTriangle(p, at(a, k), at(a + 1, k), at(a + 1, k1));
        }
    }
    for (int k = 0; k < n; ++k) {
        const int k1 = (k + 1) % n;
        pushTriangle(p, top, at(0, k), at(0, k1));
        pushTriangle(p, bottom, at(n - 1, k1), at(n - 1, k));
    }
    return p;
}

MeshPiece SupportMeshBuilder::frustum(QVector3D a, float ra, QVector3D b, float rb) const
{
    const int n = int(segmentCount);
    const QVector3D d = b - a;
    QVector3D u(d.y() + d.z(), -d.x(), -d.x());
    // A vertical axis would give u = (d.z, 0, 0) at best and (0, 0, 0) at worst.
    for (int i = 0; i < 3; ++i)
        if (std::abs(u[i]) < 1e-6f)
            u[i] = 1e-5f;
    QVector3D v = QVector3D::crossProduct(d, u);
    u.normalize();
    v.normalize();

    const Tables &t = tables();
    MeshPiece p;
    p.vertices.reserve(std::size_t(2 * n + 2) * 3);
    p.indices.reserve(std::size_t(n) * 12);
    // Angle i·2π/N; the B circle (i = N…2N−1) repeats the same angles.
    for (int i = 0; i < 2 * n; ++i) {
        const QVector3D &centre = i < n ? a : b;
        const float r = i < n ? ra : rb;
        pushVertex(p, centre + u * (t.cosA[std::size_t(i % n)] * r) + v * (t.sinA[std::size_t(i % n)] * r));
    }
    const int capA = 2 * n, capB = 2 * n + 1;
    pushVertex(p, a);
    pushVertex(p, b);
    // (u, v, d) is right-handed, so the circles run counter-clockwise seen from B.
    for (int i = 0; i < n; ++i) {
        const int i1 = (i + 1) % n;
        pushTriangle(p, i, i1, n + i1);
        pushTriangle(p, i, n + i1, n + i);
        pushTriangle(p, capA, i1, i);
        pushTriangle(p, capB, n + i, n + i1);
    }
    return p;
}

std::vector<MeshPiece> SupportMeshBuilder::supportPieces(const QVector<QVector3D> &p, const QVector<float> &r) const
{
    std::vector<MeshPiece> pieces;
    const int n = std::min(p.size(), r.size());
    if (n == 0)
        return pieces;
    const QVector3D last = p[n - 1];
    for (int i = 0; i < n; ++i) {
        if (p[i].z() - last.z() > kJointClearanceMm || last.z() > kFootOnModelMm) {
            // A joint never reaches below the plate.
            float radius = std::min(r[i], p[i].z());
            if (thinTip && i == 1 && n == 2)
                radius = 0.6f * r[1];
            if (radius > 0.0f)
                pieces.push_back(sphere(p[i], radius));
        }
        if (i < n - 1) {
            if (thinTip && i == 0)
                pieces.push_back(frustum(p[0], r[0], p[1], std::max(0.5f * r[1], r[0])));
            else
                pieces.push_back(frustum(p[i], r[i], p[i + 1], r[i + 1]));
        }
        if (n == 1)
            pieces.push_back(sphere(p[0], r[0]));
    }
    return pieces;
}

Mesh SupportMeshBuilder::build(const QVector<QVector3D> &points, const QVector<float> &radii) const
{
    return meshFromPieces(supportPieces(points, radii));
}

Mesh meshFromPieces(const std::vector<MeshPiece> &pieces)
{
    // The pieces are indexed already and their own vertices are distinct, so welding needs
    // only the vertices, not every triangle corner: the same result as welding the corner
    // records (equal points merged, vertices ordered by x, then y, then z, triangle order
    // kept) at a fraction of the cost, which counts when thousands of supports are made.
    std::vector<float> all;
    std::vector<uint32_t> corners;
    for (const MeshPiece &p : pieces) {
        const uint32_t base = uint32_t(all.size() / 3);
        all.insert(all.end(), p.vertices.begin(), p.vertices.end());
        for (int idx : p.indices)
            corners.push_back(base + uint32_t(idx));
    }
    const std::size_t n = all.size() / 3;
    std::vector<uint32_t> order(n);
    for (std::size_t k = 0; k < n; ++k)
        order[k] = uint32_t(k);
    auto less = [&all](uint32_t a, uint32_t b) {
        const float *p = &all[std::size_t(a) * 3], *q = &all[std::size_t(b) * 3];
        if (p[0] != q[0])
            return p[0] < q[0];
        if (p[1] != q[1])
            return p[1] < q[1];
        return p[2] < q[2];
    };
    std::stable_sort(order.begin(), order.end(), less);
    std::vector<uint32_t> newId(n);
    std::vector<float> vertices;
    vertices.reserve(all.size());
    for (std::size_t k = 0; k < n; ++k) {
        if (k == 0 || less(order[k - 1], order[k])) {
            const float *p = &all[std::size_t(order[k]) * 3];
            vertices.insert(vertices.end(), p, p + 3);
        }
        newId[order[k]] = uint32_t(vertices.size() / 3 - 1);
    }
    std::vector<uint32_t> indices(corners.size());
    for (std::size_t k = 0; k < corners.size(); ++k)
        indices[k] = newId[corners[k]];
    std::vector<uint32_t> reversed = reverseWinding(indices);
    return Mesh(std::move(vertices), std::move(indices), std::move(reversed));
}

QString supportRecordProblem(const spUnit &unit)
{
    if (unit.points.isEmpty())
        return QStringLiteral("The support has no points.");
    if (unit.radii.size() != unit.points.size())
        return QStringLiteral("The support has %1 points but %2 radii.").arg(unit.points.size()).arg(unit.radii.size());
    for (int i = 0; i < unit.points.size(); ++i) {
        const QVector3D &q = unit.points[i];
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()) || !std::isfinite(q.z()))
            return QStringLiteral("Point %1 of the support is not a number.").arg(i);
        if (!std::isfinite(unit.radii[i]) || unit.radii[i] <= 0.0f)
            return QStringLiteral("Radius %1 of the support is not a positive number.").arg(i);
        if (i > 0 && (q - unit.points[i - 1]).length() < 1e-4f)
            return QStringLiteral("Points %1 and %2 of the support are at the same place.").arg(i - 1).arg(i);
    }
    return QString();
}

#include "support/SupportMeshBuilder.h"

#include <QtMath>
#include <cmath>

#include "scene/VertexWelding.h"

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

MeshPiece SupportMeshBuilder::sphere(QVector3D c, float r) const
{
    const int n = int(segmentCount);
    MeshPiece p;
    p.vertices.reserve(std::size_t(n * n + 2) * 3);
    for (int j = 1; j <= n; ++j) {
        const double phi = j * M_PI / (n + 1);
        for (int k = 0; k < n; ++k) {
            const double alpha = k * 2.0 * M_PI / n;
            pushVertex(p, c + r * QVector3D(float(std::cos(alpha) * std::sin(phi)),
                                             float(std::sin(alpha) * std::sin(phi)), float(std::cos(phi))));
        }
    }
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

    MeshPiece p;
    p.vertices.reserve(std::size_t(2 * n + 2) * 3);
    for (int i = 0; i < 2 * n; ++i) {
        const double alpha = i * 2.0 * M_PI / n;
        const QVector3D &centre = i < n ? a : b;
        const float r = i < n ? ra : rb;
        pushVertex(p, centre + u * float(std::cos(alpha)) * r + v * float(std::sin(alpha)) * r);
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
    std::size_t corners = 0;
    for (const MeshPiece &p : pieces)
        corners += p.indices.size();
    std::vector<float> records;
    records.reserve(corners * 3);
    for (const MeshPiece &p : pieces) {
        for (int idx : p.indices) {
            const std::size_t k = std::size_t(idx) * 3;
            records.push_back(p.vertices[k]);
            records.push_back(p.vertices[k + 1]);
            records.push_back(p.vertices[k + 2]);
        }
    }
    return weldVertices(records);
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

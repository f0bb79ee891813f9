#include <QtTest>
#include <cmath>

#include "scene/VertexWelding.h"
#include "support/SupportMeshBuilder.h"
#include "support_solids.h"

namespace {

// Volume of a frustum whose ends are regular n-gons inscribed in circles of radius ra, rb.
double polygonFrustumVolume(double h, double ra, double rb, int n)
{
    const double k = n / 2.0 * std::sin(2 * M_PI / n);   // polygon area per r²
    const double a = k * ra * ra, b = k * rb * rb;
    return h / 3.0 * (a + std::sqrt(a * b) + b);
}

std::vector<int> indicesOf(const Mesh &m) { return std::vector<int>(m.indices.begin(), m.indices.end()); }

// Largest distance of the vertices used by triangles [first, last) from a point.
float reach(const Mesh &m, int firstTri, int lastTri, QVector3D c)
{
    float d = 0;
    for (int t = firstTri * 3; t < lastTri * 3; ++t) {
        const std::size_t v = m.indices[std::size_t(t)] * 3;
        d = std::max(d, (QVector3D(m.vertices[v], m.vertices[v + 1], m.vertices[v + 2]) - c).length());
    }
    return d;
}

} // namespace

class TestSupportMesh : public QObject
{
    Q_OBJECT
private slots:
    void piecesAreClosedOutwardSolids_data();
    void piecesAreClosedOutwardSolids();
    void supportJointsAndNeck();
    void contactSphereComesFirst();
    void unsoundRecordsAreNamed();
};

void TestSupportMesh::piecesAreClosedOutwardSolids_data()
{
    QTest::addColumn<QVector3D>("a");
    QTest::addColumn<QVector3D>("b");
    QTest::newRow("vertical") << QVector3D(1, 2, 10) << QVector3D(1, 2, 3);
    QTest::newRow("upward") << QVector3D(0, 0, 0) << QVector3D(0, 0, 4);
    QTest::newRow("tilted") << QVector3D(-3, 5, 9) << QVector3D(2, 1, 4);
    QTest::newRow("horizontal") << QVector3D(0, 0, 5) << QVector3D(6, 0, 5);
    // u = (d.y + d.z, -d.x, -d.x) vanishes here; the substitute must still give a ring.
    QTest::newRow("u vanishes") << QVector3D(0, 0, 5) << QVector3D(0, 3, 2);
}

void TestSupportMesh::piecesAreClosedOutwardSolids()
{
    QFETCH(QVector3D, a);
    QFETCH(QVector3D, b);
    SupportMeshBuilder builder;

    const MeshPiece f = builder.frustum(a, 0.8f, b, 0.3f);
    QCOMPARE(f.vertexCount(), std::size_t(26));
    QCOMPARE(f.triangleCount(), std::size_t(48));
    QCOMPARE(closednessProblem(f.indices), QString());
    const double h = double((b - a).length());
    QVERIFY(std::abs(signedVolume(f.vertices, f.indices) - polygonFrustumVolume(h, 0.8, 0.3, 12)) < 1e-4);
    // Both rings lie in planes across the axis, at their radius.
    const QVector3D axis = (b - a).normalized();
    for (int i = 0; i < 24; ++i) {
        const QVector3D p(f.vertices[std::size_t(i) * 3], f.vertices[std::size_t(i) * 3 + 1], f.vertices[std::size_t(i) * 3 + 2]);
        const QVector3D c = i < 12 ? a : b;
        QVERIFY(std::abs(QVector3D::dotProduct(p - c, axis)) < 1e-4f);
        QVERIFY(std::abs((p - c).length() - (i < 12 ? 0.8f : 0.3f)) < 1e-4f);
    }

    const MeshPiece s = builder.sphere(a, 1.5f);
    QCOMPARE(s.vertexCount(), std::size_t(146));
    QCOMPARE(s.triangleCount(), std::size_t(288));
    QCOMPARE(closednessProblem(s.indices), QString());
    const double sv = signedVolume(s.vertices, s.indices), ball = 4.0 / 3.0 * M_PI * 1.5 * 1.5 * 1.5;
    QVERIFY2(sv > 0.9 * ball && sv < ball, qPrintable(QString::number(sv / ball)));
}

void TestSupportMesh::supportJointsAndNeck()
{
    SupportMeshBuilder builder;
    // One point 1 mm up: just its own sphere. At 5 mm: a joint and the sphere, coinciding.
    Mesh low = builder.build({QVector3D(0, 0, 1)}, {0.5f});
    QCOMPARE(low.triangleCount(), std::size_t(288));
    QCOMPARE(closednessProblem(indicesOf(low)), QString());
    Mesh high = builder.build({QVector3D(0, 0, 5)}, {0.5f});
    QCOMPARE(high.triangleCount(), std::size_t(576));

    // On the plate: no joint in the bottom 0.99 mm, and a joint never reaches below the plate.
    const QVector<QVector3D> onPlate = {QVector3D(0, 0, 5), QVector3D(0, 0, 1.2f), QVector3D(0, 0, 0.5f), QVector3D(0, 0, 0)};
    const std::vector<MeshPiece> pieces = builder.supportPieces(onPlate, {0.3f, 1.5f, 1.0f, 0.6f});
    // joint(5), section, joint(1.2), section, section
    QCOMPARE(int(pieces.size()), 5);
    QCOMPARE(pieces[2].vertexCount(), std::size_t(146));
    QVERIFY(std::abs(pieces[2].vertices[146 * 3 - 1]) < 1e-6f);   // bottom pole at z = 0: radius 1.2, not 1.5
    double total = 0;
    for (const MeshPiece &p : pieces) {
        QCOMPARE(closednessProblem(p.indices), QString());
        total += signedVolume(p.vertices, p.indices);
    }
    QVERIFY(total > 0);
    QVERIFY(std::abs(signedVolume(builder.build(onPlate, {0.3f, 1.5f, 1.0f, 0.6f})) - total) < 1e-3);

    // Thin tip on a two-point support standing on a model: the section narrows to
    // max(0.5·r1, r0) and the lower joint shrinks to 0.6·r1.
    builder.thinTip = true;
    const std::vector<MeshPiece> thin = builder.supportPieces({QVector3D(0, 0, 10), QVector3D(0, 0, 6)}, {0.2f, 1.0f});
    QCOMPARE(int(thin.size()), 3);   // joint(10), neck, joint(6)
    const MeshPiece &neck = thin[1];
    QCOMPARE(neck.vertexCount(), std::size_t(26));
    const QVector3D ringB(neck.vertices[12 * 3], neck.vertices[12 * 3 + 1], neck.vertices[12 * 3 + 2]);
    QVERIFY(std::abs((ringB - QVector3D(0, 0, 6)).length() - 0.5f) < 1e-5f);
    const float jointTop = thin[2].vertices[144 * 3 + 2];   // top pole
    QVERIFY(std::abs(jointTop - 6.6f) < 1e-5f);
    // Without the flag the section keeps r1 and the joint is r1.
    builder.thinTip = false;
    const std::vector<MeshPiece> thick = builder.supportPieces({QVector3D(0, 0, 10), QVector3D(0, 0, 6)}, {0.2f, 1.0f});
    QVERIFY(std::abs(thick[2].vertices[144 * 3 + 2] - 7.0f) < 1e-5f);
}

void TestSupportMesh::contactSphereComesFirst()
{
    SupportMeshBuilder builder;
    const QVector3D tip(3, -2, 12);
    const Mesh m = builder.build({tip, QVector3D(3, -2, 10), QVector3D(3, -2, 1), QVector3D(3, -2, 0.5f), QVector3D(3, -2, 0)},
                                 {0.25f, 0.6f, 0.6f, 1.0f, 0.6f});
    // The contact part (864 indices) is the tip's sphere alone; the rest reaches further.
    QVERIFY(reach(m, 0, 288, tip) < 0.2501f);
    QVERIFY(reach(m, 288, int(m.triangleCount()), tip) > 11.0f);
    QCOMPARE(m.reversedIndices.size(), m.indices.size());
    QVERIFY(signedVolume(m) > 0);
    // Welded as a model file's corners are: the same vertices and indices.
    std::vector<float> records;
    for (const MeshPiece &p : builder.supportPieces({tip, QVector3D(3, -2, 10), QVector3D(3, -2, 1), QVector3D(3, -2, 0.5f), QVector3D(3, -2, 0)},
                                                   {0.25f, 0.6f, 0.6f, 1.0f, 0.6f}))
        for (int i : p.indices)
            records.insert(records.end(), &p.vertices[std::size_t(i) * 3], &p.vertices[std::size_t(i) * 3] + 3);
    const Mesh welded = weldVertices(records);
    QCOMPARE(m.vertices, welded.vertices);
    QCOMPARE(m.indices, welded.indices);
}

void TestSupportMesh::unsoundRecordsAreNamed()
{
    spUnit u;
    QVERIFY(!supportRecordProblem(u).isEmpty());
    u.points = {QVector3D(0, 0, 5), QVector3D(0, 0, 5), QVector3D(0, 0, 0)};
    u.radii = {0.2f, 0.5f, 0.5f};
    QCOMPARE(supportRecordProblem(u), QString("Points 0 and 1 of the support are at the same place."));
    u.points[1] = QVector3D(0, 0, 3);
    QCOMPARE(supportRecordProblem(u), QString());
    u.points[1].setX(std::nanf(""));
    QVERIFY(!supportRecordProblem(u).isEmpty());
    u.points[1].setX(0);
    u.radii.removeLast();
    QVERIFY(!supportRecordProblem(u).isEmpty());
}

QTEST_GUILESS_MAIN(TestSupportMesh)
#include "tst_supportmesh.moc"

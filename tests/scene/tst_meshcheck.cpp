#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "scene/MeshCheck.h"
#include "scene/ModelFile.h"
#include "support_scene.h"

namespace {

Mesh makeMesh(std::vector<float> v, std::vector<uint32_t> i)
{
    std::vector<uint32_t> r = reverseWinding(i);
    return Mesh(std::move(v), std::move(i), std::move(r));
}

// Latitude-longitude sphere, outward winding.
Mesh sphere(float radius, int stacks, int slices, float cx = 0)
{
    std::vector<float> v = {cx, 0, -radius};
    std::vector<uint32_t> idx;
    auto ring = [&](int i, int k) { return uint32_t(1 + (i - 1) * slices + (k % slices)); };
    for (int i = 1; i < stacks; ++i) {
        const double t = M_PI * i / stacks - M_PI / 2;
        for (int k = 0; k < slices; ++k) {
            const double a = 2 * M_PI * k / slices;
            v.insert(v.end(), {cx + float(radius * std::cos(t) * std::cos(a)), float(radius * std::cos(t) * std::sin(a)),
                               float(radius * std::sin(t))});
        }
    }
    v.insert(v.end(), {cx, 0, radius});
    const uint32_t north = uint32_t(v.size() / 3 - 1);
    for (int k = 0; k < slices; ++k) {
        idx.insert(idx.end(), {0, ring(1, k + 1), ring(1, k)});
        idx.insert(idx.end(), {north, ring(stacks - 1, k), ring(stacks - 1, k + 1)});
        for (int i = 1; i + 1 < stacks; ++i) {
            idx.insert(idx.end(), {ring(i, k), ring(i, k + 1), ring(i + 1, k + 1)});
            idx.insert(idx.end(), {ring(i, k), ring(i + 1, k + 1), ring(i + 1, k)});
        }
    }
    return makeMesh(std::move(v), std::move(idx));
}

Mesh joined(const Mesh &a, const Mesh &b)
{
    std::vector<float> v = a.vertices;
    v.insert(v.end(), b.vertices.begin(), b.vertices.end());
    std::vector<uint32_t> i = a.indices;
    for (uint32_t k : b.indices)
        i.push_back(k + uint32_t(a.vertexCount()));
    return makeMesh(std::move(v), std::move(i));
}

Mesh turned(const Mesh &m, const std::function<bool(std::size_t)> &which)
{
    std::vector<uint32_t> i = m.indices;
    for (std::size_t t = 0; t < i.size() / 3; ++t)
        if (which(t))
            std::swap(i[3 * t + 1], i[3 * t + 2]);
    return makeMesh(m.vertices, std::move(i));
}

Mesh without(const Mesh &m, std::vector<std::size_t> triangles)
{
    std::vector<uint32_t> i;
    for (std::size_t t = 0; t < m.triangleCount(); ++t)
        if (std::find(triangles.begin(), triangles.end(), t) == triangles.end())
            i.insert(i.end(), m.indices.begin() + long(3 * t), m.indices.begin() + long(3 * t + 3));
    return makeMesh(m.vertices, std::move(i));
}

double volumeOf(const Mesh &m)
{
    double v = 0;
    for (std::size_t t = 0; t < m.triangleCount(); ++t) {
        const float *a = &m.vertices[3 * m.indices[3 * t]], *b = &m.vertices[3 * m.indices[3 * t + 1]],
                    *c = &m.vertices[3 * m.indices[3 * t + 2]];
        v += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) - double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0])
              + double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
    }
    return v;
}

// admesh takes a file for text when the bytes after the header are all below 128, as they are
// for small coordinates; the attribute word tells it otherwise.
QByteArray admeshStl(const Mesh &m)
{
    return binaryStl(trianglesOf(m), QByteArray(80, ' '), -1, 0xffff);
}

// What admesh makes of a file: the open edges it found, and the parts, volume and reversed
// and added facets after its own repair.
struct AdmeshView
{
    int openEdges = -1;
    int parts = -1;
    double volume = 0;
    int reversed = -1;
    int added = -1;
};

AdmeshView admesh(const QString &path)
{
    QProcess p;
    p.start("admesh", {path});
    p.waitForFinished(60000);
    const QString out = QString::fromLatin1(p.readAllStandardOutput());
    auto number = [&](const QString &label, int column) {
        const QRegularExpression re("^" + QRegularExpression::escape(label) + "\\s*:\\s*(\\S+)(?:\\s+(\\S+))?",
                                    QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = re.match(out);
        return m.hasMatch() ? m.captured(column).toDouble() : -1.0;
    };
    AdmeshView v;
    v.openEdges = int(number("Facets with 1 disconnected edge", 1) + 2 * number("Facets with 2 disconnected edges", 1)
                      + 3 * number("Facets with 3 disconnected edges", 1));
    v.parts = int(number("Number of parts", 1));
    const QRegularExpressionMatch vol = QRegularExpression("Volume\\s*:\\s*(\\S+)").match(out);
    v.volume = vol.captured(1).toDouble();
    v.reversed = int(number("Facets reversed", 1));
    v.added = int(number("Facets added", 1));
    return v;
}

} // namespace

// The load-time check and repair of meshes: clean ones stay exactly as read, broken ones are
// found as admesh finds them and come out closed, consistent and outside out.
class TestMeshCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanMeshesStayAsRead()
    {
        const Mesh box = boxMesh({0, 0, 0}, {10, 20, 5});
        // A hollow box: its cavity faces inward, a negative shell inside a positive one.
        const Mesh hollow = joined(box, turned(boxMesh({2, 2, 1}, {8, 18, 4}), [](std::size_t) { return true; }));
        const Mesh two = joined(sphere(5, 12, 24), sphere(3, 8, 16, 20));
        struct Case
        {
            const char *name;
            Mesh mesh;
            std::size_t shells;
        };
        for (const Case &c : {Case{"box", box, 1}, Case{"sphere", sphere(10, 24, 48), 1}, Case{"hollow box", hollow, 2},
                              Case{"two spheres", two, 2}}) {
            Mesh m = c.mesh;
            const MeshCheckReport r = checkAndRepairMesh(m);
            QVERIFY2(r.checked && !r.needsRepair() && !r.repaired(), c.name);
            QCOMPARE(r.openEdges, std::size_t(0));
            QCOMPARE(r.misorientedEdges, std::size_t(0));
            QCOMPARE(r.shells, c.shells);
            QCOMPARE(m.vertices, c.mesh.vertices);
            QCOMPARE(m.indices, c.mesh.indices);
            QCOMPARE(m.reversedIndices, c.mesh.reversedIndices);
        }
        QCOMPARE(checkMesh(box).summary(), QString("open edges: 0, shells: 1, repaired: nothing"));

        // A triangle soup (corners not shared, as some OBJ exporters write): every edge is open,
        // but lone triangles enclose nothing, so nothing is closed or turned.
        std::vector<float> soupVertices;
        std::vector<uint32_t> soupIndices;
        for (uint32_t k : box.indices) {
            soupIndices.push_back(uint32_t(soupVertices.size() / 3));
            soupVertices.insert(soupVertices.end(), &box.vertices[3 * k], &box.vertices[3 * k + 3]);
        }
        const Mesh soup = makeMesh(soupVertices, soupIndices);
        Mesh soupCopy = soup;
        QCOMPARE(checkAndRepairMesh(soupCopy).summary(), QString("open edges: 36, shells: 12, repaired: nothing"));
        QCOMPARE(soupCopy.indices, soup.indices);
        QVERIFY(std::abs(checkMesh(hollow).volumeMm3 - (1000.0 - 6 * 16 * 3)) < 1e-6);
    }

    void brokenMeshesAreFoundAndRepairedAsAdmeshDoes()
    {
        if (QStandardPaths::findExecutable("admesh").isEmpty())
            QSKIP("admesh is not installed (./dev installs it)");
        QTemporaryDir dir;
        const Mesh ball = sphere(10, 24, 48);
        const double ballVolume = volumeOf(ball);
        struct Case
        {
            const char *name;
            Mesh mesh;
        };
        const std::vector<Case> cases = {
            {"inside-out sphere", turned(ball, [](std::size_t) { return true; })},
            {"inside-out cube", turned(boxMesh({0, 0, 0}, {10, 10, 10}), [](std::size_t) { return true; })},
            {"mixed winding", turned(ball, [](std::size_t t) { return t % 2 == 1; })},
            {"two missing facets", without(ball, {100, 700})},
            {"missing facets, mixed winding, inside out", turned(without(ball, {5, 300}), [](std::size_t t) { return t % 3 != 0; })},
        };
        for (const Case &c : cases) {
            const QString path = writeFixture(dir.filePath(QString(c.name).replace(' ', '_') + ".stl"), admeshStl(c.mesh));
            const AdmeshView truth = admesh(path);
            Mesh m = c.mesh;
            const std::vector<uint32_t> before = m.indices;
            const MeshCheckReport r = checkAndRepairMesh(m);
            const QByteArray where = c.name;
            QVERIFY2(r.needsRepair() && r.repaired(), where);
            QCOMPARE(int(r.openEdges), truth.openEdges);
            QCOMPARE(int(r.shells), truth.parts);
            QCOMPARE(int(r.addedTriangles), truth.added);
            // The file's triangles keep their place and corners; closing ones come after.
            QCOMPARE(m.indices.size(), before.size() + 3 * r.addedTriangles);
            for (std::size_t t = 0; t < before.size() / 3; ++t) {
                QCOMPARE(m.indices[3 * t], before[3 * t]);
                QVERIFY(std::is_permutation(&m.indices[3 * t], &m.indices[3 * t + 3], &before[3 * t]));
            }
            QCOMPARE(m.reversedIndices, reverseWinding(m.indices));
            // Repaired: clean on a second look, with admesh's volume.
            const MeshCheckReport again = checkMesh(m);
            QVERIFY2(!again.needsRepair() && again.openEdges == 0 && again.misorientedEdges == 0, where);
            QVERIFY2(std::abs(volumeOf(m) - truth.volume) < 1e-3 * truth.volume, where);
        }
        // The mixed sphere: admesh turns the same triangles round.
        Mesh mixed = cases[2].mesh;
        QCOMPARE(int(checkAndRepairMesh(mixed).flippedTriangles), admesh(dir.filePath("mixed_winding.stl")).reversed);
        Mesh holes = cases[3].mesh;
        QVERIFY(std::abs(volumeOf(holes) - ballVolume) > 1.0);
        QCOMPARE(checkAndRepairMesh(holes).summary(), QString("open edges: 6, shells: 1, repaired: 2 closed holes (2 triangles)"));
        QVERIFY(std::abs(volumeOf(holes) - ballVolume) < 1e-9 * ballVolume + 1e-6);
        Mesh inverted = cases[0].mesh;
        QCOMPARE(checkAndRepairMesh(inverted).summary(),
                 QString("open edges: 0, shells: 1, inside-out shells: 1, repaired: 1 flipped shell"));
        QCOMPARE(inverted.indices, ball.indices);
    }

    void cavitiesStayCavities()
    {
        // A hollow box as a whole inside out: both shells turn, the cavity stays hollow.
        const Mesh box = boxMesh({0, 0, 0}, {10, 20, 5});
        const Mesh hollow = joined(box, turned(boxMesh({2, 2, 1}, {8, 18, 4}), [](std::size_t) { return true; }));
        Mesh inverted = turned(hollow, [](std::size_t) { return true; });
        const MeshCheckReport r = checkAndRepairMesh(inverted);
        QCOMPARE(r.flippedShells, std::size_t(2));
        QCOMPARE(inverted.indices, hollow.indices);
        // Only the outer shell inside out: it turns, the cavity stays.
        Mesh outerWrong = joined(turned(box, [](std::size_t) { return true; }),
                                 turned(boxMesh({2, 2, 1}, {8, 18, 4}), [](std::size_t) { return true; }));
        checkAndRepairMesh(outerWrong);
        QCOMPARE(outerWrong.indices, hollow.indices);
        // A separate part inside out next to a good one: only it turns.
        Mesh pair = joined(box, turned(boxMesh({20, 0, 0}, {25, 5, 5}), [](std::size_t) { return true; }));
        const MeshCheckReport p = checkAndRepairMesh(pair);
        QCOMPARE(p.flippedShells, std::size_t(1));
        QVERIFY(std::abs(volumeOf(pair) - (1000.0 + 125.0)) < 1e-6);
    }

    void loadingChecksAndRepairsUnlessAskedNotTo()
    {
        QTemporaryDir dir;
        const Mesh ball = sphere(10, 24, 48);
        const QString path =
            writeFixture(dir.filePath("inside_out.stl"), admeshStl(turned(ball, [](std::size_t) { return true; })));
        const ModelReadResult repaired = readModelFile(path);
        QVERIFY(repaired.ok());
        QCOMPARE(repaired.checks.size(), 1);
        QVERIFY(repaired.checks[0].repaired());
        QVERIFY(volumeOf(repaired.meshes[0]) > 0);
        QVERIFY(repaired.logLines.contains(
            "Mesh check: open edges: 0, shells: 1, inside-out shells: 1, repaired: 1 flipped shell"));

        ModelReadOptions asRead;
        asRead.repair = false;
        const ModelReadResult raw = readModelFile(path, {}, asRead);
        QVERIFY(raw.ok());
        QVERIFY(!raw.checks[0].repaired() && raw.checks[0].insideOutShells == 1);
        QVERIFY(volumeOf(raw.meshes[0]) < 0);
        QVERIFY(raw.logLines.contains("Mesh check: open edges: 0, shells: 1, inside-out shells: 1, repaired: nothing"));

        // A clean model logs no check line, and its mesh is the reader's.
        const QString good = writeFixture(dir.filePath("ball.stl"), admeshStl(ball));
        const ModelReadResult clean = readModelFile(good);
        QVERIFY(!clean.checks[0].needsRepair());
        for (const QString &line : clean.logLines)
            QVERIFY(!line.startsWith("Mesh check"));
    }
};

QTEST_GUILESS_MAIN(TestMeshCheck)
#include "tst_meshcheck.moc"

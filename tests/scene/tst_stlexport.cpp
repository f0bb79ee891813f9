#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "scene/StlExport.h"
#include "support_scene.h"

namespace {

// admesh's report on a file: its "Label : value" statistics.
QMap<QString, double> admeshReport(const QString &path)
{
    QProcess p;
    p.start("admesh", {path});
    if (!p.waitForFinished(30000))
        return {};
    QMap<QString, double> out;
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    static const QRegularExpression row("([A-Za-z][A-Za-z0-9 ]*?)\\s*:\\s*(-?[0-9.]+)");
    auto it = row.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        if (!out.contains(m.captured(1)))
            out.insert(m.captured(1), m.captured(2).toDouble());
    }
    static const QRegularExpression range("(Min|Max) ([XYZ]) =\\s*(-?[0-9.]+)");
    auto r = range.globalMatch(text);
    while (r.hasNext()) {
        const auto m = r.next();
        out.insert(m.captured(1) + m.captured(2), m.captured(3).toDouble());
    }
    return out;
}

float floatAt(const QByteArray &b, int offset)
{
    float v;
    std::memcpy(&v, b.constData() + offset, 4);
    return v;
}

} // namespace

class TestStlExport : public QObject
{
    Q_OBJECT
private slots:
    void emptySceneIsHeaderOnly();
    void placedAndMirroredModelsAreClosedOutwardSolids();
    void failedExportKeepsTheOldFile();
};

void TestStlExport::emptySceneIsHeaderOnly()
{
    QTemporaryDir dir;
    Scene s;
    const QString path = dir.filePath("empty.stl");
    QVERIFY(exportSceneStl(s, path, nullptr));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(80, ' ') + QByteArray(4, '\0'));
}

void TestStlExport::placedAndMirroredModelsAreClosedOutwardSolids()
{
    QTemporaryDir dir;
    QuickScene s;
    // A 10 × 20 × 5 box moved to x = 40, a mirrored 8 mm cube, and a turned 6 mm cube, apart.
    s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(10, 20, 5))}, "/a.stl");
    s.object(1)->move = QVector3D(40, 0, 0);
    s.refreshAABB(1, 0);
    s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(8, 8, 8))}, "/b.stl");
    s.object(2)->move = QVector3D(0, 0, 0);
    QVERIFY(s.setObjectFlip(2, true));
    s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(6, 6, 6))}, "/c.stl");
    s.object(3)->move = QVector3D(-30, 0, 0);
    QVERIFY(s.setObjectRotation(3, QVector3D(0, 0, 30)));

    const QString path = dir.filePath("scene.stl");
    QList<int> seen;
    QString error;
    QVERIFY2(exportSceneStl(s, path, &error, [&](int p) { seen << p; }), qPrintable(error));
    QCOMPARE(seen.first(), 0);
    QCOMPARE(seen.last(), 100);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.size(), 84 + 50 * 36);
    QCOMPARE(bytes.left(80), QByteArray(80, ' '));
    QCOMPARE(quint8(bytes[80]), quint8(36));
    for (int t = 0; t < 36; ++t) {
        QCOMPARE(bytes.mid(84 + 50 * t + 48, 2), QByteArray("  "));
        const float nx = floatAt(bytes, 84 + 50 * t), ny = floatAt(bytes, 88 + 50 * t), nz = floatAt(bytes, 92 + 50 * t);
        QVERIFY(std::abs(nx * nx + ny * ny + nz * nz - 1) < 1e-5f);
    }
    // The first box by hand: centred at x = 40 on y = 0, standing on the plate.
    for (int t = 0; t < 12; ++t)
        for (int c = 0; c < 3; ++c) {
            const float x = floatAt(bytes, 96 + 50 * t + 12 * c), y = floatAt(bytes, 100 + 50 * t + 12 * c),
                        z = floatAt(bytes, 104 + 50 * t + 12 * c);
            QVERIFY(std::abs(std::abs(x - 40) - 5) < 1e-5f);
            QVERIFY(std::abs(std::abs(y) - 10) < 1e-5f);
            QVERIFY(std::abs(z) < 1e-5f || std::abs(z - 5) < 1e-5f);
        }

    // Our reader takes it back: 36 triangles.
    const ModelReadResult back = readModelFile(path);
    QVERIFY(back.ok());
    QCOMPARE(back.format, ModelFormat::BinaryStl);
    std::size_t triangles = 0;
    for (const Mesh &m : back.meshes)
        triangles += m.triangleCount();
    QCOMPARE(triangles, std::size_t(36));

    // admesh: three closed parts, nothing reversed, every normal as stored, volume by hand.
    const QMap<QString, double> r = admeshReport(path);
    QVERIFY2(!r.isEmpty(), "admesh did not run");
    QCOMPARE(r.value("Number of facets"), 36.0);
    QCOMPARE(r.value("Number of parts"), 3.0);
    QCOMPARE(r.value("Total disconnected facets"), 0.0);
    QCOMPARE(r.value("Facets reversed"), 0.0);
    QCOMPARE(r.value("Backwards edges"), 0.0);
    QCOMPARE(r.value("Normals fixed"), 0.0);
    QVERIFY(std::abs(r.value("Volume") - (1000.0 + 512.0 + 216.0)) < 1e-2);
    QVERIFY(std::abs(r.value("MaxX") - 45.0) < 1e-4);
    QVERIFY(std::abs(r.value("MinZ")) < 1e-4);
}

void TestStlExport::failedExportKeepsTheOldFile()
{
    QTemporaryDir dir;
    QuickScene s;
    s.load_mesh({boxMesh(QVector3D(0, 0, 0), QVector3D(4, 4, 4))}, "/a.stl");
    QString error;
    QVERIFY(!exportSceneStl(s, dir.path(), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.path()).isDir());
    QVERIFY(!exportSceneStl(s, dir.filePath("no/such/folder/x.stl"), &error));

    // A disk that fills up part-way: the export says so and the older file stays.
    const QString old = writeFixture(dir.filePath("old.stl"), "old contents");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limits{};
    getrlimit(RLIMIT_FSIZE, &limits);
    rlimit small = limits;
    small.rlim_cur = 300;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = exportSceneStl(s, old, &error);
    setrlimit(RLIMIT_FSIZE, &limits);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QFile f(old);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old contents"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"old.stl"}));
}

QTEST_GUILESS_MAIN(TestStlExport)
#include "tst_stlexport.moc"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "support_scene.h"
#include "scene/ModelFile.h"
#include "scene/NumberParsing.h"
#include "scene/StlReader.h"
#include "scene/VertexWelding.h"

namespace {

// The unit cube moved to (10, 20, 30), twelve triangles, outward winding.
std::vector<Triangle> cube()
{
    return trianglesOf(boxMesh({10, 20, 30}, {11, 21, 31}));
}

// `sep` goes between the numbers, `eol` ends each line, `indent` starts the inner lines.
QByteArray asciiStl(const std::vector<Triangle> &tris, const char *sep = " ", const char *eol = "\n",
                    const char *indent = "  ")
{
    QByteArray d = QByteArray("solid cube") + eol;
    for (const Triangle &t : tris) {
        d += QByteArray(indent) + "facet normal 0 0 0" + eol + indent + "outer loop" + eol;
        for (int c = 0; c < 3; ++c) {
            d += QByteArray(indent) + "vertex";
            for (int a = 0; a < 3; ++a)
                d += QByteArray(sep) + QByteArray::number(double(t[3 * c + a]), 'g', 9);
            d += eol;
        }
        d += QByteArray(indent) + "endloop" + eol + indent + "endfacet" + eol;
    }
    return d + "endsolid cube" + eol;
}

// Welding exactly as described for the program: sort records by x, y, z, file position;
// keep a record unless it equals the last kept one.
Mesh referenceWeld(const std::vector<float> &rec)
{
    const std::size_t n = rec.size() / 3;
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        for (int k = 0; k < 3; ++k) {
            if (rec[3 * a + k] != rec[3 * b + k])
                return rec[3 * a + k] < rec[3 * b + k];
        }
        return false;
    });
    std::vector<float> verts;
    std::vector<uint32_t> idx(n);
    for (uint32_t r : order) {
        const std::size_t last = verts.size();
        if (last == 0 || verts[last - 3] != rec[3 * r] || verts[last - 2] != rec[3 * r + 1]
            || verts[last - 1] != rec[3 * r + 2])
            verts.insert(verts.end(), {rec[3 * r], rec[3 * r + 1], rec[3 * r + 2]});
        idx[r] = uint32_t(verts.size() / 3 - 1);
    }
    return Mesh(std::move(verts), std::vector<uint32_t>(idx), reverseWinding(idx));
}

bool sameBits(const std::vector<float> &a, const std::vector<float> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Hands out its data at most `piece` bytes per read, as a pipe does.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(QByteArray data, int piece) : m_data(std::move(data)), m_piece(piece) { open(ReadOnly | Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_data.size() - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 n = std::min<qint64>({max, qint64(m_piece), qint64(m_data.size()) - m_pos});
        std::memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    int m_piece;
    qint64 m_pos = 0;
};

} // namespace

// Binary and ASCII STL reading, vertex welding and the file-type dispatch.
class StlReaderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data) { return writeFixture(m_dir.filePath(name), data); }

    // Every record's welded vertex has the record's coordinates.
    static void verifyCornersMatch(const Mesh &m, const std::vector<Triangle> &tris)
    {
        QCOMPARE(m.indices.size(), tris.size() * 3);
        for (std::size_t t = 0; t < tris.size(); ++t)
            for (int c = 0; c < 3; ++c)
                for (int a = 0; a < 3; ++a)
                    QCOMPARE(m.vertices[3 * m.indices[3 * t + c] + a], tris[t][3 * c + a]);
    }

private slots:
    void binaryCubeWeldsToEightSortedVertices()
    {
        // The header starts with "solid", as many exporters write it; the size decides.
        const QString path = write("cube.stl", binaryStl(cube(), "solid exported by a CAD program"));
        QList<int> progress;
        const ModelReadResult r = readModelFile(path, [&](int p) { progress << p; });
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.format, ModelFormat::BinaryStl);
        QCOMPARE(r.meshes.size(), 1);
        const Mesh &m = r.meshes.first();
        QCOMPARE(m.indices.size(), std::size_t(36));
        QCOMPARE(m.vertexCount(), std::size_t(8));
        std::vector<float> expected;
        for (int x = 0; x < 2; ++x)
            for (int y = 0; y < 2; ++y)
                for (int z = 0; z < 2; ++z)
                    expected.insert(expected.end(), {10.f + x, 20.f + y, 30.f + z});
        QCOMPARE(m.vertices, expected);
        verifyCornersMatch(m, cube());
        QCOMPARE(m.reversedIndices, reverseWinding(m.indices));

        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), 100);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QVERIFY(progress.contains(80) && progress.contains(90));

        QCOMPARE(r.logLines.size(), 1);
        QVERIFY2(QRegularExpression("^Binary STL file with 12 triangle meshes loaded in: \\d+\\.\\d\\d sec\\.$")
                     .match(r.logLines.first()).hasMatch(), qPrintable(r.logLines.first()));
        QCOMPARE(r.debugLines, QStringList{"Binary STL file loaded. # of vertices and triangles: 8 12"});
    }

    void buildPlatePathWritesNoSummary()
    {
        const ModelReadResult bundled = readModelFile(":/BuildPlate_SAv1.STL");
        QVERIFY2(bundled.ok(), qPrintable(bundled.error));
        QCOMPARE(bundled.format, ModelFormat::BinaryStl);
        QVERIFY(bundled.meshes.first().triangleCount() > 0);
        QVERIFY(bundled.logLines.isEmpty() && bundled.debugLines.isEmpty());
        // The name alone decides, and only for binary files.
        QVERIFY(readModelFile(write("MyBuildPlate.stl", binaryStl(cube()))).logLines.isEmpty());
        QCOMPARE(readModelFile(write("BuildPlate.stl", asciiStl(cube()))).logLines.size(), 1);
    }

    void asciiLayoutsReadLikeBinary()
    {
        const Mesh binary = readModelFile(write("cube_bin.stl", binaryStl(cube()))).meshes.first();
        struct Layout { const char *name, *sep, *eol, *indent; };
        const Layout layouts[] = {
            {"plain", " ", "\n", "  "},
            {"crlf", " ", "\r\n", "  "},
            {"double spaces", "  ", "\n", "    "},
            {"tabs", "\t", "\n", "\t"},
            {"no indentation", " ", "\n", ""},
            {"old mac line ends", " ", "\r", ""},
        };
        for (const Layout &l : layouts) {
            const ModelReadResult r = readModelFile(write("cube_ascii.stl", asciiStl(cube(), l.sep, l.eol, l.indent)));
            QVERIFY2(r.ok(), l.name);
            QCOMPARE(r.format, ModelFormat::AsciiStl);
            QVERIFY2(r.meshes.first().vertices == binary.vertices, l.name);
            QVERIFY2(r.meshes.first().indices == binary.indices, l.name);
        }
        const ModelReadResult r = readModelFile(write("cube_ascii.stl", asciiStl(cube())));
        QVERIFY(QRegularExpression("^ASCII STL file with 12 triangle meshes loaded in: \\d+\\.\\d\\d sec\\.$")
                    .match(r.logLines.value(0)).hasMatch());
        QCOMPARE(r.debugLines, QStringList{"ASCII STL file loaded. # of triangles: 8 12"});
    }

    // Through a pipe the text arrives in pieces of any size; the mesh must not depend on them.
    void asciiReadInSmallPiecesGivesTheSameMesh()
    {
        const QByteArray text = asciiStl(cube(), "  ", "\r\n", "\t");
        QBuffer whole;
        whole.setData(text);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const MeshReadResult expected = readAsciiStl(whole);
        QVERIFY(expected.ok());
        QCOMPARE(expected.mesh.indices.size(), std::size_t(36));
        for (int piece : {1, 2, 3, 5, 7, 64}) {
            TrickleDevice trickle(text, piece);
            const MeshReadResult r = readAsciiStl(trickle);
            QVERIFY2(r.ok(), qPrintable(QString("%1 bytes per read: %2").arg(piece).arg(r.error)));
            QVERIFY2(sameBits(r.mesh.vertices, expected.mesh.vertices), qPrintable(QString::number(piece)));
            QVERIFY(r.mesh.indices == expected.mesh.indices);
        }
    }

    void textCoordinatesAreTruncatedToFiveDecimals()
    {
        // Binary keeps every bit: the sixth decimal keeps two points apart.
        std::vector<Triangle> tris = {{1.000004f, 0, 0, 1.000001f, 0, 0, 0, 1, 0}};
        QCOMPARE(readModelFile(write("six.stl", binaryStl(tris))).meshes.first().vertexCount(), std::size_t(3));

        // Text is cut toward zero to five decimals, so both read as 1 and weld.
        const QByteArray text = "solid t\nvertex 1.000004 -2.000009 3.5e-6\nvertex 1.000001 -2.000001 0\n"
                                "vertex 30000.123456 -0.000001 1e2\nendsolid\n";
        QBuffer in;
        in.setData(text);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const MeshReadResult r = readAsciiStl(in);
        QVERIFY2(r.ok(), qPrintable(r.error));
        const Mesh &m = r.mesh;
        QCOMPARE(m.vertexCount(), std::size_t(2));
        QCOMPARE(m.indices[0], m.indices[1]);
        const float *a = &m.vertices[3 * m.indices[0]];
        QCOMPARE(a[0], 1.0f);
        QCOMPARE(a[1], -2.0f);
        QCOMPARE(a[2], 0.0f);
        QVERIFY(!std::signbit(a[2]));
        // Coordinates beyond what a 32-bit cast of value × 100000 holds still truncate correctly.
        const float *b = &m.vertices[3 * m.indices[2]];
        QCOMPARE(b[0], float(30000.12345));
        QVERIFY(b[1] == 0.0f && !std::signbit(b[1]));
        QCOMPARE(b[2], 100.0f);
    }

    // A model 30 m across is a mistake (units, a broken export) and is not loaded: slicing it
    // would write layers for hours. 10 m still loads.
    void modelsLargerThanTenMetresAreRefused()
    {
        const QByteArray far = "solid t\nvertex 0 0 0\nvertex 30000 0 0\nvertex 0 1 0\nendsolid\n";
        ModelReadResult r = readModelFile(write("far.stl", far));
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains("3e+04 x 1 x 0 mm") && r.error.contains("larger than 10 m"), qPrintable(r.error));
        QVERIFY(r.meshes.isEmpty());
        r = readModelFile(write("huge.stl", binaryStl({{0, 0, 0, 1e30f, 0, 0, 0, 1, 0}})));
        QVERIFY2(r.error.contains("larger than 10 m"), qPrintable(r.error));
        // Small, but so far out that its details are lost to rounding.
        r = readModelFile(write("away.obj", "v 1e9 0 0\nv 1e9 1 0\nv 1e9 0 1\nf 1 2 3\n"));
        QVERIFY2(r.error.contains("from the origin"), qPrintable(r.error));
        QVERIFY(readModelFile(write("ten.stl", binaryStl({{0, 0, 0, 10000, 0, 0, 0, 1, 0}}))).ok());
    }

    void weldingMatchesStraightSortOnRandomSoups()
    {
        QRandomGenerator rng(1234);
        const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e-30f, -1e-30f, 3.4e38f, -3.4e38f, 1e-45f, 7.25f};
        for (int round = 0; round < 20; ++round) {
            // Few distinct values so many records coincide; some rounds large enough to grow the table.
            const int records = round < 10 ? 3 * (1 + rng.bounded(40)) : 3 * (1000 + rng.bounded(20000));
            std::vector<float> rec(std::size_t(records) * 3);
            for (float &f : rec)
                f = round % 2 ? pool[rng.bounded(int(std::size(pool)))] : float(rng.bounded(-50, 50)) * 0.25f;
            VertexWelder welder(round % 3 == 0 ? 0 : rec.size() / 3);   // also a wrong size hint
            if (round % 4 < 2) {
                for (std::size_t k = 0; k < rec.size(); k += 3)
                    welder.add(rec[k], rec[k + 1], rec[k + 2]);
            } else {
                // In uneven batches, as the readers hand records over.
                for (std::size_t k = 0; k < rec.size() / 3;) {
                    const std::size_t n = std::min<std::size_t>(rec.size() / 3 - k, 1 + rng.bounded(700));
                    welder.add(&rec[3 * k], n);
                    k += n;
                }
            }
            const Mesh got = welder.finish();
            const Mesh want = referenceWeld(rec);
            QVERIFY2(sameBits(got.vertices, want.vertices), qPrintable(QString::number(round)));
            QCOMPARE(got.indices, want.indices);
            QCOMPARE(got.reversedIndices, want.reversedIndices);
        }
    }

    void numberParsingAgreesWithQt()
    {
        QList<QByteArray> tokens = {"1", "-1", "+2.5", ".5", "-.5", "5.", "1e5", "1E+05", "-2.5e-3", "00012",
                                    "0.000000e+00", "-0.000000e+00", "1.7976931348623157e308", "4.9e-324",
                                    "123456789012345678901234567890", "0.1000000000000000055511151231257827",
                                    "9007199254740993", "1.00001", "21474.83647", "1e400", "1e-400", "inf", "-inf",
                                    "nan", "", "-", "+", ".", "e5", "1e", "1e+", "0x10", "1,5", "1.2.3", "1d5",
                                    "Infinity", "--1", "1 2"};
        QRandomGenerator rng(99);
        for (int i = 0; i < 20000; ++i) {
            const double v = (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-8, 9));
            const char *formats[] = {"%.6e", "%.9g", "%f", "%.17g", "%.3f", "%.12f"};
            tokens << QString::asprintf(formats[i % 6], v).toLatin1();
        }
        for (const QByteArray &t : tokens) {
            bool qtOk = false;
            const double want = QString::fromLatin1(t).toDouble(&qtOk);
            double got = 0;
            const bool ok = parseDouble(t.constData(), t.constData() + t.size(), got);
            if (qtOk) {
                QVERIFY2(ok, t.constData());
                if (std::isnan(want))
                    QVERIFY2(std::isnan(got), t.constData());
                else
                    QVERIFY2(std::memcmp(&got, &want, sizeof got) == 0, t.constData());
            } else if (t != "1e-400") {   // an underflow is read as 0, not refused
                QVERIFY2(!ok || std::isinf(got), t.constData());
            }
        }
    }

    void malformedFilesFailWithNothingRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        const QByteArray cubeBin = binaryStl(cube());
        QTest::newRow("empty") << "empty.stl" << QByteArray();
        QTest::newRow("header only, no triangles") << "none.stl" << binaryStl({});
        QTest::newRow("truncated binary") << "cut.stl" << cubeBin.left(cubeBin.size() - 7);
        QTest::newRow("count far beyond the file") << "huge.stl" << binaryStl(cube(), "solid x", 0xFFFFFFF0);
        QTest::newRow("binary NaN") << "nan.stl"
                                    << binaryStl({{0, 0, 0, 1, 0, 0, 0, std::nanf(""), 0}});
        QTest::newRow("binary infinity") << "inf.stl"
                                         << binaryStl({{0, 0, 0, 1, 0, 0, 0, 1, INFINITY}});
        QTest::newRow("text without vertex") << "text.stl" << QByteArray("solid x\nendsolid x\n");
        QTest::newRow("non-numeric coordinate") << "word.stl"
                                                << QByteArray("vertex 0 0 0\nvertex 1 zero 0\nvertex 0 1 0\n");
        QTest::newRow("ascii nan") << "tnan.stl" << QByteArray("vertex 0 0 0\nvertex nan 0 0\nvertex 0 1 0\n");
        QTest::newRow("ascii overflow") << "tbig.stl" << QByteArray("vertex 0 0 0\nvertex 1e39 0 0\nvertex 0 1 0\n");
        QTest::newRow("one record left over") << "rest1.stl" << asciiStl(cube()) + "vertex 1 2 3\n";
        QTest::newRow("two records left over") << "rest2.stl" << asciiStl(cube()) + "vertex 1 2 3\nvertex 1 2 4\n";
        QTest::newRow("vertex cut short at the end") << "short.stl" << asciiStl(cube()) + "vertex 1 2";
        QTest::newRow("three-mf") << "part.3mf" << QByteArray("PK\3\4");
        QByteArray noise(5000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(QRandomGenerator::global()->bounded(256));
        QTest::newRow("random bytes") << "noise.stl" << noise;
        // A single enormous token right where a coordinate belongs.
        QTest::newRow("endless token") << "long.stl" << QByteArray("vertex 1 2 ") + QByteArray(3 << 20, '7');
    }

    void malformedFilesFailWithNothingRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const ModelReadResult r = readModelFile(write(name, content));
        QVERIFY(!r.ok());
        QVERIFY(r.meshes.isEmpty());
        QVERIFY(r.logLines.isEmpty());
        QVERIFY2(!r.error.contains('\n'), qPrintable(r.error));
    }

    void unreadablePathsFail()
    {
        for (const QString &path : {m_dir.filePath("missing.stl"), m_dir.path(), QStringLiteral("/dev/zero")}) {
            const ModelReadResult r = readModelFile(path);
            QVERIFY2(!r.ok() && r.meshes.isEmpty(), qPrintable(path));
        }
    }

    void binaryReaderStopsAtTheEndOfTheData()
    {
        // Called directly, the reader must not trust the triangle count either.
        QByteArray data = binaryStl(cube(), "solid", 1000);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        const MeshReadResult r = readBinaryStl(buffer);
        QVERIFY(!r.ok());
        QVERIFY(r.error.contains("13 of 1000"));
        QCOMPARE(r.mesh.vertexCount(), std::size_t(0));

        // Through the dispatch, such a file is tried as text and the reason names the size.
        const ModelReadResult cut = readModelFile(write("cut.stl", binaryStl(cube()).left(600)));
        QVERIFY2(cut.error.contains("12 triangles need 684 bytes, the file has 600"), qPrintable(cut.error));
    }
};

QTEST_GUILESS_MAIN(StlReaderTest)
#include "tst_stlreader.moc"

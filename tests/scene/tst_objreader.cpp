#include <QTemporaryDir>
#include <QtTest>

#include "support_scene.h"

#include "scene/ModelFile.h"

// The OBJ reader: faces, quads, the lines it skips, and the files it refuses whole.
class ObjReaderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data) { return writeFixture(m_dir.filePath(name), data); }

    static QByteArray sixVertices()
    {
        return "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\n";
    }

private slots:
    void quadBecomesTwoTrianglesAndIsCounted()
    {
        // Corners carry texture and normal numbers; only the first number counts.
        const ModelReadResult r = readModelFile(write("quad.obj", sixVertices() + "f 1/2/3 2/3/4 3/4/5 4/5/6\n"));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.format, ModelFormat::Obj);
        const Mesh &m = r.meshes.first();
        QCOMPARE(m.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
        QCOMPARE(m.reversedIndices, (std::vector<uint32_t>{0, 2, 1, 0, 3, 2}));
        QCOMPARE(m.vertexCount(), std::size_t(6));   // unused vertices stay; no welding
        QCOMPARE(r.quadCount, 1);
        // A lone quad is an open sheet: the check's line comes last.
        QCOMPARE(r.logLines.size(), 3);
        QCOMPARE(r.logLines[2], QStringLiteral("Mesh check: open edges: 4, shells: 1, repaired: nothing"));
        QVERIFY(QRegularExpression("^OBJ file with 2 triangle meshes loaded in: \\d+\\.\\d\\d sec\\.$")
                    .match(r.logLines[0]).hasMatch());
        QCOMPARE(r.logLines[1], QStringLiteral("1 quad meshes converted into two triangles."));

        const ModelReadResult tri = readModelFile(write("tri.obj", sixVertices() + "f 1 2 3\n"));
        QCOMPARE(tri.logLines.size(), 2);   // no quad line without quads
        QVERIFY(tri.logLines[1].startsWith("Mesh check: "));
    }

    void toleratesRealWorldLayout()
    {
        // Comments, normals, texture coordinates, groups, upper-case keywords, CR line ends,
        // runs of spaces and tabs, a fourth "w" value, vertices after the faces that use them.
        const QByteArray text = "# exported\r\nmtllib x.mtl\r\no part\r\nV  1.000004   2\t3 1.0\r\n"
                                "vn 0 0 1\r\nvt 0.5 0.5\r\ng side\r\nusemtl red\r\ns off\r\n"
                                "f 1//1 2//1 3//1\r\nF 3 2 1\r\n\r\n   \r\nv -0.000001 0 0\rv 0 0 5\n";
        const ModelReadResult r = readModelFile(write("layout.OBJ", text));
        QVERIFY2(r.ok(), qPrintable(r.error));
        const Mesh &m = r.meshes.first();
        QCOMPARE(m.vertices, (std::vector<float>{1, 2, 3, 0, 0, 0, 0, 0, 5}));
        QVERIFY(!std::signbit(m.vertices[3]));
        QCOMPARE(m.indices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
    }

    void badFilesFailWhole_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        const QByteArray v = sixVertices();
        QTest::newRow("pentagon") << v + "f 1 2 3\nf 1 2 3 4 5\nf 1 2 3\n" << "5 corners";
        QTest::newRow("two corners") << v + "f 1 2\n" << "fewer than three corners";
        QTest::newRow("bare f") << v + "f\n" << "fewer than three corners";
        QTest::newRow("vertex number zero") << v + "f 0 1 2\n" << "out of range";
        QTest::newRow("relative vertex number") << v + "f -1 -2 -3\n" << "out of range";
        QTest::newRow("beyond the last vertex") << v + "f 1 2 7\n" << "line 7: vertex number 7";
        QTest::newRow("vertex number past 32 bits") << v + "f 1 2 99999999999999999999\n" << "not a face corner";
        // 2^64 + 2: a parser that lets the product wrap reads vertex 2 here.
        QTest::newRow("vertex number wrapping to 2") << v + "f 1 18446744073709551618 4\n" << "not a face corner";
        QTest::newRow("vertex number one past 2^63") << v + "f 1 9223372036854775808 4\n" << "not a face corner";
        QTest::newRow("word as corner") << v + "f 1 two 3\n" << "not a face corner";
        QTest::newRow("word as coordinate") << QByteArray("v 1 x 3\nf 1 1 1\n") << "not a vertex coordinate";
        QTest::newRow("two coordinates") << QByteArray("v 1 2\nf 1 1 1\n") << "fewer than three";
        QTest::newRow("infinite coordinate") << QByteArray("v 1 2 inf\nf 1 1 1\n") << "not a finite number";
        QTest::newRow("no vertices") << QByteArray("# nothing\nf 1 2 3\n") << "no vertex";
        QTest::newRow("no faces") << v << "no face";
        QTest::newRow("empty") << QByteArray() << "no vertex";
    }

    void badFilesFailWhole()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        const ModelReadResult r = readModelFile(write("bad.obj", content));
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
        QVERIFY(r.meshes.isEmpty());
        QVERIFY(r.logLines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ObjReaderTest)
#include "tst_objreader.moc"

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli info` as a user runs it.
class InfoCommandTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data) { return writeFixture(m_dir.filePath(name), data); }

    CliRun cli(const QStringList &args)
    {
        return runCli(QStringList{"info"} + args, m_dir.filePath("data"), 30000);
    }

private slots:
    void summarisesEachFormat()
    {
        // A tetrahedron as binary STL (header starting with "solid"), as ASCII STL and as OBJ.
        const float pts[4][3] = {{0, 0, 0}, {10, 0, 0}, {0, 20, 0}, {0, 0, 5.5f}};
        const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}};
        QByteArray bin = QByteArray("solid tetra").leftJustified(80, ' ');
        bin += QByteArray("\x04\0\0\0", 4);
        QByteArray ascii = "solid tetra\n";
        QByteArray obj = "# tetra\n";
        for (const auto &p : pts)
            obj += QString::asprintf("v %g %g %g\n", p[0], p[1], p[2]).toLatin1();
        for (const auto &f : faces) {
            bin += QByteArray(12, '\0');
            ascii += " facet normal 0 0 0\n  outer loop\n";
            for (int c : f) {
                for (float v : pts[c]) {
                    uchar b[4];
                    qToLittleEndian<float>(v, b);
                    bin.append(reinterpret_cast<const char *>(b), 4);
                }
                ascii += QString::asprintf("   vertex %g %g %g\n", pts[c][0], pts[c][1], pts[c][2]).toLatin1();
            }
            bin += QByteArray(2, '\0');
            ascii += "  endloop\n endfacet\n";
            obj += QString::asprintf("f %d %d %d\n", f[0] + 1, f[1] + 1, f[2] + 1).toLatin1();
        }
        const CliRun r = cli({write("tetra.stl", bin), write("tetra_text.stl", ascii + "endsolid\n"), write("tetra.obj", obj)});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(r.out.count("triangles:   4\n"), 3);
        QCOMPARE(r.out.count("vertices:    4"), 3);
        QCOMPARE(r.out.count("bounding box (mm): x 0.000 .. 10.000, y 0.000 .. 20.000, z 0.000 .. 5.500\n"), 3);
        for (const char *format : {"format:      binary STL\n", "format:      ASCII STL\n", "format:      OBJ\n"})
            QVERIFY2(r.out.contains(format), format);
        QVERIFY(r.out.contains("read time:   "));
    }

    void threeMfFilesGiveTheirColourParts()
    {
        const float lo[3] = {0, 0, 0}, hi[3] = {10, 20, 5}, lo2[3] = {20, 0, 0}, hi2[3] = {25, 5, 2};
        const QByteArray model = threeMfModel(
            "<m:colorgroup id=\"1\"><m:color color=\"#00FF00\"/></m:colorgroup>\n" + threeMfBoxObject(2, lo, hi) +
            "<m:colorgroup id=\"3\"><m:color color=\"#FF0000\"/></m:colorgroup>\n" + threeMfBoxObject(4, lo2, hi2));
        const CliRun r = cli({write3mfFixture(m_dir.filePath("two.3mf"), model)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("  format:      3MF\n"));
        QVERIFY(r.out.contains("  triangles:   24\n"));
        QVERIFY(r.out.contains("  vertices:    16\n"));
        QVERIFY(r.out.contains("  parts:       12 triangles (green, second exposure), 12 triangles\n"));
        QVERIFY(r.out.contains("bounding box (mm): x 0.000 .. 25.000, y 0.000 .. 20.000, z 0.000 .. 5.000\n"));

        const CliRun empty = cli({write3mfFixture(m_dir.filePath("empty.3mf"), threeMfModel(""))});
        QCOMPARE(empty.code, 1);
        QVERIFY2(empty.err.contains("empty.3mf: the 3MF file holds no objects"), qPrintable(empty.err));
    }

    void unreadableFileFailsWithOneLine()
    {
        const QString good = write("ok.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
        const QString bad = write("bad.stl", "solid nothing here\nendsolid\n");
        const CliRun r = cli({good, bad, m_dir.filePath("missing.stl")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains("format:      OBJ"));   // the good file is still reported
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith("orvell3d-cli info: " + bad + ": no vertex"), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains("missing.stl: the file does not exist"), qPrintable(lines[1]));
    }

    void reportsTheMeshCheck()
    {
        // A cube with every face turned inward, and one with a face missing.
        QByteArray inward, holed;
        for (int k = 0; k < 8; ++k) {
            const QByteArray v = QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 10, (k >> 2) * 10).toLatin1();
            inward += v;
            holed += v;
        }
        const char *faces[] = {"1 3 4", "1 4 2", "5 6 8", "5 8 7", "1 2 6", "1 6 5", "2 4 8", "2 8 6", "4 3 7", "4 7 8", "3 1 5", "3 5 7"};
        for (int f = 0; f < 12; ++f) {
            const QStringList c = QString(faces[f]).split(' ');
            inward += QString("f %1 %2 %3\n").arg(c[0], c[2], c[1]).toLatin1();
            if (f != 4)
                holed += QString("f %1\n").arg(faces[f]).toLatin1();
        }
        const QString in = write("inward.obj", inward), hole = write("holed.obj", holed);
        CliRun r = cli({in, hole});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("  mesh check:  open edges: 0, shells: 1, inside-out shells: 1, repaired: 1 flipped shell\n"),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains("  mesh check:  open edges: 3, shells: 1, repaired: 1 closed hole (1 triangle)\n"),
                 qPrintable(r.out));
        QVERIFY(r.out.contains("triangles:   12\n"));   // the closed hole's triangle counts
        r = cli({"--no-repair", in});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("  mesh check:  open edges: 0, shells: 1, inside-out shells: 1, repaired: nothing\n"));
    }

    void helpAndUsage()
    {
        const CliRun help = cli({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("--help") && help.out.contains("MODEL"));
        QCOMPARE(cli({}).code, 2);
        const CliRun unknown = cli({"--frobnicate", "x.stl"});
        QCOMPARE(unknown.code, 2);
        QVERIFY(unknown.err.contains("unknown option '--frobnicate'"));
    }
};

QTEST_GUILESS_MAIN(InfoCommandTest)
#include "tst_info.moc"

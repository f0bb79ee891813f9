#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "support_cli.h"

// A saved scene on the command line: slice, info and export-stl take it like a model file.
class SceneFileCliTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_box, m_scene;

    CliRun cli(const QStringList &args) { return runCli(args, m_dir.filePath("data")); }

    // The lit pixels' count and bounding rectangle.
    static QRect litArea(const QString &png, int *count)
    {
        const QImage img = QImage(png).convertToFormat(QImage::Format_Grayscale8);
        QRect r;
        *count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.constScanLine(y)[x] > 127) {
                    ++*count;
                    r = r.united(QRect(x, y, 1, 1));
                }
        return r;
    }

    QByteArray sceneText(const QString &modelPath) const
    {
        // A 10 × 20 × 5 mm box lifted 2 mm with its x from 0 to 10 and y from −13 to 7, a 14 × 24 × 1 mm
        // base under it and one support between them.
        return "#object\nfilename " + modelPath.toUtf8()
               + "\nscale 1.000000 1.000000 1.000000\nmove 5.000000 -3.000000 2.000000\n"
                 "rotation 0.000000 0.000000 0.000000\nisShow 1\nselectable 1\nflip 0\nopacity 1.000000\n"
                 "parent 0\nmoveZoff 0.000000\ngroupId -1\n"
                 "#baseplate\nsize 14.000000 24.000000 1.000000\nmove 5.000000 -3.000000 0.000000\n"
                 "scale 1.000000 1.000000 1.000000\nparent 1\n"
                 "#support\nselId 1 0 1 0\nradii 0.300000 0.500000 0.500000 \n"
                 "point0 5.000000 -3.000000 2.000000\npoint1 5.000000 -3.000000 1.000000\n"
                 "point2 5.000000 -3.000000 0.000000\n";
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QByteArray obj;
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", k & 1 ? 10 : 0, k & 2 ? 20 : 0, k & 4 ? 5 : 0).toLatin1();
        obj += "f 1 3 4\nf 1 4 2\nf 5 6 8\nf 5 8 7\nf 1 2 6\nf 1 6 5\nf 2 4 8\nf 2 8 6\nf 4 3 7\nf 4 7 8\n"
               "f 3 1 5\nf 3 5 7\n";
        m_box = writeFixture(m_dir.filePath("box.obj"), obj);
        m_scene = writeFixture(m_dir.filePath("plate.o3d"), sceneText(m_box));
    }

    void slicesTheSceneWhereItStands()
    {
        const CliRun r = cli({"slice", "--renderer", "cpu", "--thickness", "100", "--pixel-size", "50", "--projector",
                              "1000x1000", "-o", m_dir.filePath("layers"), m_scene});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // 7 mm at 100 µm.
        QVERIFY2(r.out.startsWith("70 layers"), qPrintable(r.out));
        // At 4 mm only the box: 10 × 20 mm at 50 µm, x = 0 at the middle column.
        int lit = 0;
        QRect area = litArea(m_dir.filePath("layers/S000040_P1.png"), &lit);
        QCOMPARE(area.size(), QSize(200, 400));
        QCOMPARE(area.left(), 500);
        QCOMPARE(lit, 200 * 400);
        // At 0.45 mm the base: 14 × 24 mm, 2 mm wider on each side.
        area = litArea(m_dir.filePath("layers/S000005_P1.png"), &lit);
        QCOMPARE(area.size(), QSize(280, 480));
        QCOMPARE(area.left(), 460);
        // At 1.45 mm (above the base, below the box) the support stands at x = 5, y = −3 mm; 2 mm
        // beside it there is nothing.
        const QImage img = QImage(m_dir.filePath("layers/S000015_P1.png")).convertToFormat(QImage::Format_Grayscale8);
        const int row = area.top() + (-3 + 15) * 20;   // the base's rows run from y = −15 mm
        QVERIFY(img.constScanLine(row)[600] > 127);
        QVERIFY(img.constScanLine(row)[560] < 128);
        QVERIFY(img.constScanLine(row)[640] < 128);
    }

    void infoAndExportDescribeTheSameScene()
    {
        const CliRun info = cli({"info", m_scene});
        QVERIFY2(info.code == 0, qPrintable(info.err));
        QVERIFY2(info.out.contains("  models:      1 (box.obj)\n  supports:    1\n  bases:       1\n"), qPrintable(info.out));
        const QRegularExpressionMatch m = QRegularExpression("triangles:\\s+(\\d+)").match(info.out);
        QVERIFY(m.hasMatch());
        const int sceneTriangles = m.captured(1).toInt();
        QVERIFY(info.out.contains("x -2.000 .. 12.000, y -15.000 .. 9.000, z -0.000 .. 7.000")
                || info.out.contains("x -2.000 .. 12.000, y -15.000 .. 9.000, z 0.000 .. 7.000"));

        // The scene and one more model file, placed centred.
        const QString out = m_dir.filePath("plate.stl");
        const CliRun r = cli({"export-stl", "-o", out, m_scene, m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const int triangles = sceneTriangles + 12;
        QVERIFY2(r.out.contains(QString("%1 triangles of 4 objects written to").arg(triangles)), qPrintable(r.out));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.size(), 84 + 50 * triangles);
        quint32 count = 0;
        std::memcpy(&count, bytes.constData() + 80, 4);
        QCOMPARE(int(count), triangles);
    }

    void missingModelFailsWithoutWriting()
    {
        const QString scene = writeFixture(m_dir.filePath("lost.o3d"), sceneText("/no/such/folder/gone.stl"));
        const QString out = writeFixture(m_dir.filePath("keep.stl"), "older file");
        for (const QStringList &args : {QStringList{"export-stl", "-o", out, scene},
                                        QStringList{"slice", "--renderer", "cpu", "-o", m_dir.filePath("x"), scene},
                                        QStringList{"info", scene}}) {
            const CliRun r = cli(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("lost.o3d: the model file gone.stl cannot be read"), qPrintable(r.err));
        }
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("older file"));
        QVERIFY(!QDir(m_dir.filePath("x")).exists());

        QCOMPARE(cli({"export-stl", m_box}).code, 2);
        QCOMPARE(cli({"export-stl", "-o", out}).code, 2);
        QCOMPARE(cli({"export-stl", "--bogus", "-o", out, m_box}).code, 2);
    }
};

QTEST_GUILESS_MAIN(SceneFileCliTest)
#include "tst_scene_file.moc"

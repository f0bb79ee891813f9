#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli slice` as a user runs it.
class SliceCommandTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_box;

    CliRun cli(const QStringList &args)
    {
        return runCli(QStringList{"slice"} + args, m_dir.filePath("data"));
    }

    // Width, height, bit depth and colour type from a PNG header; zeros when it is not a PNG.
    static QList<int> pngHeader(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {0, 0, 0, 0};
        const QByteArray h = f.read(26);
        if (h.size() < 26 || !h.startsWith("\x89PNG"))
            return {0, 0, 0, 0};
        const auto *b = reinterpret_cast<const uchar *>(h.constData());
        return {int(qFromBigEndian<quint32>(b + 16)), int(qFromBigEndian<quint32>(b + 20)), b[24], b[25]};
    }

    static QStringList layerFiles(const QString &folder)
    {
        return QDir(folder).entryList({"S*_P1.png"}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A 10 × 20 × 5 mm box as OBJ, somewhere off the plate centre: the command places it.
        QByteArray obj;
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", 100 + (k & 1) * 10, 50 + ((k >> 1) & 1) * 20, 7 + (k >> 2) * 5)
                       .toLatin1();
        obj += "f 1 3 4\nf 1 4 2\nf 5 6 8\nf 5 8 7\nf 1 2 6\nf 1 6 5\nf 2 4 8\nf 2 8 6\nf 4 3 7\nf 4 7 8\n"
               "f 3 1 5\nf 3 5 7\n";
        m_box = writeFixture(m_dir.filePath("box.obj"), obj);
    }

    void slicesIntoNumberedLayers()
    {
        const QString out = m_dir.filePath("layers");
        QVERIFY(QDir().mkpath(out));
        QFile stale(out + "/S000009_P1.png"), notes(out + "/notes.txt");
        QVERIFY(stale.open(QIODevice::WriteOnly) && notes.open(QIODevice::WriteOnly));
        stale.close();
        notes.close();

        const CliRun r = cli({m_box, "--out", out, "--thickness", "1000", "--projector", "640x400", "--pixel-size", "100"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // 5 mm tall at 1 mm: heights 0 … 4.
        QCOMPARE(layerFiles(out), QStringList({"S000001_P1.png", "S000002_P1.png", "S000003_P1.png",
                                               "S000004_P1.png", "S000005_P1.png"}));
        QVERIFY(QFile::exists(out + "/notes.txt"));
        QCOMPARE(pngHeader(out + "/S000003_P1.png"), QList<int>({640, 400, 8, 0}));   // 8-bit grey
        QVERIFY(r.out.contains("5 layers"));

        const CliRun capped = cli({m_box, "--out", out, "--thickness=1000", "--max-z", "2.5", "--projector", "640x400"});
        QVERIFY2(capped.code == 0, qPrintable(capped.err));
        QCOMPARE(layerFiles(out).size(), 3);
    }

    void settingsFileGivesTheProjector()
    {
        const QString ini = m_dir.filePath("setting.ini");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Slice]\nSliceThickness=2500\n[Printer]\nDisplayOverrideX=320\nDisplayOverrideY=200\n"
                "PixelSizeX=100\nPixelSizeY=100\n");
        f.close();
        const QString out = m_dir.filePath("fromSettings");
        const CliRun r = cli({"--settings", ini, "--out", out, m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(layerFiles(out).size(), 2);   // 2.5 mm layers: 0 and 2.5
        QCOMPARE(pngHeader(out + "/S000001_P1.png").mid(0, 2), QList<int>({320, 200}));
    }

    void failuresExplainThemselves()
    {
        const QString out = m_dir.filePath("failures");
        CliRun r = cli({m_dir.filePath("missing.stl"), "--out", out});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("missing.stl"));

        r = cli({m_box});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--out"));
        r = cli({m_box, "--out", out, "--thickness", "-5"});
        QCOMPARE(r.code, 2);
        r = cli({m_box, "--out", out, "--projector", "wide"});
        QCOMPARE(r.code, 2);
        r = cli({m_box, "--out", out, "--frobnicate"});
        QCOMPARE(r.code, 2);

        // Beyond the largest projectors: a wrong command line.
        r = cli({m_box, "--out", out, "--projector", "60000x1000"});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("--projector") && r.err.contains("16384"), qPrintable(r.err));
        // More pixels than this graphics driver's framebuffer takes: refused, and the output
        // folder the run would have made is not left behind empty.
        r = cli({m_box, "--out", out + "/sub", "--projector", "16000x1000", "--renderer", "gpu"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("at most"), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(out));

        // The output folder cannot be made: a file stands in its place.
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        r = cli({m_box, "--out", blocker.fileName() + "/sub"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("cannot be created"));

        r = cli({"--help"});
        QCOMPARE(r.code, 0);
        for (const char *option : {"--out", "--thickness", "--settings", "--max-z", "--projector", "--pixel-size"})
            QVERIFY2(r.out.contains(option), option);
    }
};

QTEST_GUILESS_MAIN(SliceCommandTest)
#include "tst_slice.moc"

#include <QDir>
#include <QImage>
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

        const CliRun capped = cli({m_box, "--out", out, "--thickness=1000", "--max-z", "2.5", "--projector", "640x400",
                                   "--pixel-size", "100"});
        QVERIFY2(capped.code == 0, qPrintable(capped.err));
        QCOMPARE(layerFiles(out).size(), 3);
    }

    void threeMfModelsAreSlicedLikeTheOthers()
    {
        // The same 10 × 20 × 5 mm box as a 3MF object, put far off the plate by its build item.
        const float lo[3] = {0, 0, 0}, hi[3] = {10, 20, 5};
        const QString model = write3mfFixture(
            m_dir.filePath("box.3mf"),
            threeMfModel(threeMfBoxObject(1, lo, hi), "<build><item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 80 -60 3\"/></build>"));
        const QString out = m_dir.filePath("from3mf");
        const CliRun r = cli({model, "--out", out, "--thickness", "1000", "--projector", "640x400", "--pixel-size", "100"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(layerFiles(out).size(), 5);
        // Centred on the plate: 10 × 20 mm at 100 µm is 100 × 200 white pixels.
        const QImage layer(out + "/S000003_P1.png");
        int white = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                white += qGray(layer.pixel(x, y)) >= 128;
        QCOMPARE(white, 100 * 200);
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

    void brokenAndOversizedModels()
    {
        // The box with every face turned inward: repaired it prints, as read it is empty.
        QFile box(m_box);
        QVERIFY(box.open(QIODevice::ReadOnly));
        QByteArray inward;
        for (const QByteArray &line : box.readAll().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            inward += f.size() == 4 && f[0] == "f" ? "f " + f[1] + " " + f[3] + " " + f[2] + "\n" : line + "\n";
        }
        const QString path = writeFixture(m_dir.filePath("inward.obj"), inward);
        const QString out = m_dir.filePath("inward");
        const QStringList small = {"--thickness", "1000", "--projector", "640x400", "--pixel-size", "100", "--renderer", "cpu"};
        CliRun r = cli(QStringList{path, "--out", out} + small);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QImage layer(out + "/S000003_P1.png");
        QCOMPARE(layer.size(), QSize(640, 400));
        // 10 × 20 mm at 100 µm: 100 × 200 pixels.
        auto lit = [](const QImage &image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += qGray(image.pixel(x, y)) > 127;
            return n;
        };
        QCOMPARE(lit(layer), 100 * 200);
        r = cli(QStringList{path, "--out", out, "--no-repair"} + small);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(lit(QImage(out + "/S000003_P1.png")), 0);

        // 640 × 400 pixels of 10 µm are 6.4 × 4 mm: the box leaves them by 1.8 mm in X and 8 mm in Y.
        const QString tiny = m_dir.filePath("tiny");
        r = cli({m_box, "--out", tiny, "--projector", "640x400", "--pixel-size", "10", "--thickness", "1000"});
        QCOMPARE(r.code, 1);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains("box.obj leaves it by 1.80 mm in X and 8.00 mm in Y"), qPrintable(lines[0]));
        QVERIFY(lines[0].contains("6.40 x 4.00 mm"));
        QCOMPARE(layerFiles(tiny).size(), 0);
        r = cli({m_box, "--out", tiny, "--projector", "640x400", "--pixel-size", "10", "--thickness", "1000",
                 "--allow-clipping"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("warning"));
        QCOMPARE(layerFiles(tiny).size(), 5);
        QCOMPARE(lit(QImage(tiny + "/S000001_P1.png")), 640 * 400);
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
        // More pixels than this graphics driver's framebuffer takes: the stencil pass over the
        // whole scene refuses (the fills work in tiles), and the output folder the run would
        // have made is not left behind empty.
        r = cli({m_box, "--out", out + "/sub", "--projector", "16000x1000", "--renderer", "reference"});
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

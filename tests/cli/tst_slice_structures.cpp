#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli slice --base rect|global --linkers`: one command makes a supported, based,
// braced job.
class SliceStructuresTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_mushroom;
    const QStringList m_common = {"--thickness", "100", "--pixel-size", "50", "--projector", "1000x1000",
                                  "--renderer", "cpu"};

    CliRun cli(const QStringList &args) { return runCli(QStringList{"slice"} + args, m_dir.filePath("data")); }

    static QImage layer(const QString &png) { return QImage(png).convertToFormat(QImage::Format_Grayscale8); }

    static int litPixels(const QImage &img)
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.constScanLine(y)[x] > 127;
        return n;
    }

    static int litInMiddleRow(const QImage &img)
    {
        int n = 0;
        for (int x = 0; x < img.width(); ++x)
            n += img.constScanLine(img.height() / 2)[x] > 127;
        return n;
    }


private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_mushroom = writeFixture(m_dir.filePath("mushroom.obj"), mushroomObj());
    }

    void supportedBasedAndBraced()
    {
        const CliRun plain = cli(m_common + QStringList{"--supports", "-o", m_dir.filePath("plain"), m_mushroom});
        QVERIFY2(plain.code == 0, qPrintable(plain.err));
        const CliRun r = cli(m_common + QStringList{"--supports", "--base", "global", "--base-margin", "1",
                                                    "--base-thickness", "0.5", "--linkers", "-o",
                                                    m_dir.filePath("full"), m_mushroom});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("global base added (margin 1 mm, 0.5 mm thick)"), qPrintable(r.err));
        QVERIFY2(r.err.contains(QRegularExpression("\\d+ support linker braces added")), qPrintable(r.err));
        // The base in the first layers: the cap's 20 × 20 mm footprint and 2.299 mm around it,
        // corners rounded to that radius: 24.598² − (4 − π)·2.299² = 600.5 mm² = 240200 pixels.
        const QImage first = layer(m_dir.filePath("full/S000001_P1.png"));
        QVERIFY2(std::abs(litPixels(first) - 240200) < 2400, qPrintable(QString::number(litPixels(first))));
        QVERIFY(std::abs(litInMiddleRow(first) - 492) <= 2);
        // Above the base the supports stand alone again, and the braces show between them.
        QCOMPARE(litPixels(layer(m_dir.filePath("full/S000010_P1.png"))),
                 litPixels(layer(m_dir.filePath("plain/S000010_P1.png"))));
        int extra = 0;
        for (const char *name : {"S000030_P1.png", "S000040_P1.png", "S000050_P1.png"})
            extra += litPixels(layer(m_dir.filePath("full/") + name)) - litPixels(layer(m_dir.filePath("plain/") + name));
        QVERIFY2(extra > 500, qPrintable(QString::number(extra)));
    }

    void rectangularBaseAndPackage()
    {
        // Margin 2 around the 20 mm cap: 24 mm = 480 pixels across, as a print package.
        const QString job = m_dir.filePath("job.lpk");
        const CliRun r = cli(m_common + QStringList{"--base", "rect", "--base-margin", "2", "--base-thickness", "1",
                                                    "-o", job, m_mushroom});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("1 rectangular bases added (margin 2 mm, 1 mm thick)"), qPrintable(r.err));
        QVERIFY(!QDir(m_dir.path()).entryList({"job_z100.lpk"}).isEmpty());
        const CliRun folder = cli(m_common + QStringList{"--base", "rect", "--base-margin", "2", "-o",
                                                         m_dir.filePath("rect"), m_mushroom});
        QVERIFY2(folder.code == 0, qPrintable(folder.err));
        QVERIFY(std::abs(litInMiddleRow(layer(m_dir.filePath("rect/S000003_P1.png"))) - 480) <= 1);
    }

    void badStructureOptions()
    {
        const QString out = m_dir.filePath("bad");
        for (const QStringList &args : {QStringList{"--base", "round"}, QStringList{"--base", "rect", "--base-margin", "0"},
                                        QStringList{"--base", "global", "--base-thickness", "-1"},
                                        QStringList{"--base-margin", "2"}}) {
            const CliRun r = cli(args + QStringList{"-o", out, m_mushroom});
            QVERIFY2(r.code == 2, qPrintable(args.join(' ') + ": " + r.err));
        }
        // A base wider than the 50 mm plate.
        const CliRun wide = cli(m_common + QStringList{"--base", "rect", "--base-margin", "20", "-o", out, m_mushroom});
        QCOMPARE(wide.code, 1);
        QVERIFY2(wide.err.contains("is larger than the build plate"), qPrintable(wide.err));
        QVERIFY(QDir(out).entryList({"S*_P1.png"}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SliceStructuresTest)
#include "tst_slice_structures.moc"

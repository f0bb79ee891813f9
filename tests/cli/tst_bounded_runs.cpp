#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// Damaged settings and absurd models end a run at once with their reason: no layers written
// until the disk is full, no black layers reported as a success, no crash at start.
class BoundedRunsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_box;
    int m_files = 0;

    CliRun cli(const QStringList &args) { return runCli(QStringList{"slice", "--renderer", "cpu"} + args, m_dir.filePath("data")); }

    QString settings(const QByteArray &text)
    {
        return writeFixture(m_dir.filePath(QString("setting%1.ini").arg(++m_files)),
                            "[Printer]\nDisplayOverrideX=300\nDisplayOverrideY=200\nPixelSizeX=100\nPixelSizeY=100\n"
                                + text);
    }

    static QStringList layerFiles(const QString &folder)
    {
        return QDir(folder).entryList({"S*_P1.png"}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QByteArray obj;   // a 10 × 10 × 30 mm column
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 10, (k >> 2) * 30).toLatin1();
        obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
        m_box = writeFixture(m_dir.filePath("column.obj"), obj);
    }

    void absurdValuesEndAtOnceNamingTheCause()
    {
        const QString out = m_dir.filePath("never");
        const QString huge = writeFixture(m_dir.filePath("huge.stl"),
                                          "solid h\nvertex 0 0 0\nvertex 1e30 0 0\nvertex 0 1 0\nendsolid\n");
        CliRun r = cli({"--settings", settings(""), "-o", out, huge});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("larger than 10 m"), qPrintable(r.err));

        struct Case { QByteArray settings; const char *says; };
        const Case cases[] = {{"[Slice]\nSliceScaleZ=1e30\n", "SliceScaleZ"},
                              {"[Slice]\nSliceScaleX=1e308\n", "SliceScaleX"},
                              {"[Printer]\nPixelSizeX=1e-45\n", "PixelSizeX"}};
        for (const Case &c : cases) {
            r = cli({"--settings", settings(c.settings), "-o", out, m_box});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(c.says), qPrintable(r.err));
            QCOMPARE(r.err.count('\n'), 1);
        }
        r = cli({"--pixel-size", "1e-45", "-o", out, m_box});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("--pixel-size"), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(out));
    }

    void slicingStopsAtTheBuildHeight()
    {
        const QString limited = settings("StepperLimitZ=5\n");
        const QString out = m_dir.filePath("limited");
        CliRun r = cli({"--settings", limited, "--thickness", "1000", "-o", out, m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("build height of 5 mm"), qPrintable(r.err));
        // 5 mm at 1 mm: heights 0, 1, 2, 3 and 4.
        QCOMPARE(layerFiles(out).size(), 5);

        r = cli({"--settings", limited, "--max-z", "50", "-o", out, m_box});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("StepperLimitZ"), qPrintable(r.err));
    }

    // A value QSettings would decode as a broken variant ended the program before this.
    void brokenTypedValueInSettingsIsSkippedQuietly()
    {
        const QString out = m_dir.filePath("typed");
        const CliRun r = cli({"--settings", settings("[Misc]\nLanguage=@Variant(\\0\\0\\0\\t?\\0?)\n"),
                              "--thickness", "10000", "-o", out, m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(layerFiles(out).size(), 3);
        // One warning about the value; none of the reader's progress lines.
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.contains("Misc/Language is a typed value"), qPrintable(r.err));
    }

    // The reader's progress lines belong in the window's log, for every command.
    void settingsLeaveStandardErrorQuiet()
    {
        const CliRun r = runCli({"calibrate", "--settings", settings(""), "-o", m_dir.filePath("calibration.lpk")},
                                m_dir.filePath("data"));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.err, QString());
    }

    void failedLayerWriteIsReportedOnce()
    {
        const QString out = m_dir.filePath("blocked");
        QVERIFY(QDir().mkpath(out + "/S000001_P1.png"));   // a folder where the first layer goes
        const CliRun r = cli({"--settings", settings(""), "-o", out, m_box});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count("S000001_P1.png"), 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.startsWith("orvell3d-cli slice: "));
        QVERIFY(QFileInfo(out).isDir());   // the user's folder stays
    }
};

QTEST_GUILESS_MAIN(BoundedRunsTest)
#include "tst_bounded_runs.moc"

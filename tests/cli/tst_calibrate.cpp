#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli calibrate -o NAME.lpk`: the exposure calibration package, headless.
class CalibrateTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    CliRun cli(const QStringList &args) { return runCli(QStringList{"calibrate"} + args, m_dir.filePath("data")); }

    static QByteArray unzipped(const QString &package, const QString &member)
    {
        QProcess p;
        p.start("unzip", {"-p", "-P", "KVTR570213", package, member});
        p.waitForFinished(60000);
        return p.readAllStandardOutput();
    }

private slots:
    void everyFieldReachesThePackage()
    {
        const QString package = m_dir.filePath("resin test.lpk");
        const CliRun r = cli({"-o", package, "--fill", "exponential", "--initial", "2", "--factor", "1.5",
                              "--rows", "2", "--columns", "3", "--gray", "100,50", "--no-lines", "--projector",
                              "800x600", "--pixel-size", "40", "--thickness", "30", "--layers", "2",
                              "--base-layers", "1", "--base-exposure", "12", "--machine", "1"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("7 images (800 x 600 px, 2 x 3 patterns) written to"), qPrintable(r.out));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("resin test")));   // working folder gone

        const QByteArray script = unzipped(package, "buildscript.ini");
        QCOMPARE(script, QByteArray("Machine = 1\r\n"
                                    "Slice thickness = 30\r\n"
                                    "number of slices = 7\r\n"
                                    "illumination time = 4.5\r\n"
                                    "number of override slices = -1\r\n"
                                    "override illumination time = 12\r\n"
                                    "0.0000, S000001_P1, 12.0, 4.0\r\n"
                                    "0.0300, S000002_P1, 2.0, 0.0\r\n"
                                    "0.0300, S000003_P1, 1.0, 0.0\r\n"
                                    "0.0300, S000004_P1, 1.5, 4.0\r\n"
                                    "0.0600, S000005_P1, 2.0, 0.0\r\n"
                                    "0.0600, S000006_P1, 1.0, 0.0\r\n"
                                    "0.0600, S000007_P1, 1.5, 4.0\r\n"));
        QVERIFY(unzipped(package, "parameters.ini").contains("\r\nPlatform size X = 32\r\nPlatform size Y = 24\r\n"));
        QImage image;
        QVERIFY(image.loadFromData(unzipped(package, "S000002_P1.png")));
        QCOMPARE(image.size(), QSize(800, 600));
        // Row 1 (y 320 … 519 before the flip) at half grey, its lower half without bars.
        QCOMPARE(qGray(image.pixel(400, 599 - 450)), 127);
        QCOMPARE(qGray(image.pixel(400, 599 - 210)), 255);
    }

    void wrongCommandLinesAndFailures()
    {
        CliRun r = cli({});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith("orvell3d-cli calibrate: no package file given"));
        r = cli({"-o", m_dir.filePath("a.lpk"), "--columns", "9"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--columns wants 1 to 8"));
        r = cli({"-o", m_dir.filePath("a.lpk"), "--columns", "3", "--exposures", "1,2"});
        QCOMPARE(r.code, 2);
        r = cli({"-o", m_dir.filePath("a.lpk"), "--exposures", "5,3,-1,2"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("pattern 3"), qPrintable(r.err));
        r = cli({"-o", m_dir.filePath("missing/a.lpk")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFileInfo::exists(m_dir.filePath("a.lpk")));
        r = cli({"--help"});
        QCOMPARE(r.code, 0);
        for (const char *option : {"--fill", "--initial", "--increment", "--factor", "--rows", "--columns",
                                   "--exposures", "--gray", "--no-labels", "--no-lines", "--projector",
                                   "--pixel-size", "--thickness", "--layers", "--base-layers", "--base-exposure"})
            QVERIFY2(r.out.contains(option), option);
    }
};

QTEST_MAIN(CalibrateTest)
#include "tst_calibrate.moc"

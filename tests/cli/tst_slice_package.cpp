#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli slice -o PACKAGE.lpk`: a whole print package from a model file, headless.
class SlicePackageTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_box;

    CliRun cli(const QStringList &args)
    {
        return runCli(QStringList{"slice", "--projector", "300x200", "--pixel-size", "100"} + args, m_dir.filePath("data"));
    }

    static QByteArray unzipped(const QString &package, const QString &member)
    {
        QProcess p;
        p.start("unzip", {"-p", "-P", "KVTR570213", package, member});
        p.waitForFinished(60000);
        return p.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A 10 × 20 × 1 mm box as OBJ.
        QByteArray obj;
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 20, (k >> 2)).toLatin1();
        obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
        m_box = writeFixture(m_dir.filePath("box.obj"), obj);
    }

    void packageHoldsEveryLayerAndTheSchedule()
    {
        const CliRun r = cli({"-o", m_dir.filePath("my box.lpk"), "--thickness", "100", m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString package = m_dir.filePath("my_box_z100.lpk");
        QVERIFY(QFileInfo(package).isFile());
        QVERIFY(!QFileInfo::exists(m_dir.filePath("my_box_z100")));   // working folder gone
        // The summary names the package and its size.
        const qint64 kib = qRound64(QFileInfo(package).size() / 1024.0);
        QVERIFY2(r.out.contains(QString("my_box_z100.lpk (%1 KiB) in ").arg(kib)), qPrintable(r.out));

        QProcess list;
        list.start("unzip", {"-Z1", package});
        QVERIFY(list.waitForFinished(60000));
        const QStringList entries = QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(entries.filter("_P1.png").size(), 10);              // 1 mm at 100 µm
        QVERIFY(entries.contains("parameters.ini") && entries.contains("buildscript.ini"));
        // The five previews are drawn headless, as the window draws them.
        for (const char *view : {"Top", "Front", "Left", "Right", "TFR"})
            QVERIFY2(entries.contains(QString("Preview_%1.png").arg(view)), view);

        const QList<QByteArray> script = unzipped(package, "buildscript.ini").split('\n');
        QCOMPARE(script.value(1), QByteArray("Slice thickness = 100\r"));
        QCOMPARE(script.value(2), QByteArray("number of slices = 10\r"));
        // The first image gets the profile's first-layer exposure.
        const QByteArray firstExposure = script.value(5).split('=').value(1).trimmed();
        QVERIFY(!firstExposure.isEmpty());
        QVERIFY(script.value(6).endsWith(", S000001_P1, " + firstExposure + ".0, 4.0, 0\r"));
        QVERIFY(unzipped(package, "parameters.ini").contains("\r\nImage size in X = 300\r\n"));
    }

    void otherMachinesAreNamedAndArrangedModelsDoNotOverlap()
    {
        // Two boxes side by side need 10 + 2 + 10 mm of the 30 × 20 mm plate; without arranging
        // they would stand on each other.
        const CliRun r = cli({"-o", m_dir.filePath("pair.lpk"), "--machine", "2", "--thickness", "100", "--arrange",
                              m_box, m_box});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString package = m_dir.filePath("pair_z100.lpk");
        QCOMPARE(unzipped(package, "buildscript.ini").split('\n').value(0), QByteArray("Machine = OrvellDLP 50\r"));
        // 100 µm pixels: two 100 × 200 pixel boxes with a 20 pixel gap, centred on the
        // 300 × 200 image, fill columns 40 … 139 and 160 … 259 of the first layer.
        const QByteArray png = unzipped(package, "S000001_P1.png");
        QImage layer;
        QVERIFY(layer.loadFromData(png, "PNG"));
        auto lit = [&](int x) { return qGray(layer.pixel(x, 100)) > 127; };
        QVERIFY(!lit(38) && lit(41) && lit(138) && !lit(141));
        QVERIFY(!lit(158) && lit(161) && lit(258) && !lit(261));

        // Three do not fit: the command says which and makes nothing.
        const CliRun full = cli({"-o", m_dir.filePath("three.lpk"), "--arrange", m_box, m_box, m_box});
        QCOMPARE(full.code, 1);
        QVERIFY2(full.err.contains("no room on the plate for box.obj"), qPrintable(full.err));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("three_z50.lpk")));
    }

    void infoReportsAndChecksThePackage()
    {
        QVERIFY(cli({"-o", m_dir.filePath("checked.lpk"), "--thickness", "100", m_box}).code == 0);
        const QString package = m_dir.filePath("checked_z100.lpk");
        CliRun r = runCli({"info", package}, m_dir.filePath("data"));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        for (const char *line : {"  format:          LPK print package\n", "  machine:         Stellan-Arc 2.0\n",
                                 "  slice thickness: 100 um\n", "  layers:          10\n",
                                 "  heights (mm):    0.0000 .. 0.9000\n", "  image size:      300 x 200\n",
                                 "  contents:        10 of 10 layer images, 5 previews, buildscript.ini, parameters.ini\n",
                                 "  check:           ok\n"})
            QVERIFY2(r.out.contains(line), qPrintable(r.out));

        // Without its fourth layer (deleted by the archive tool) the package is damaged.
        QProcess del;
        del.start("7za", {"d", "-tzip", package, "S000004_P1.png"});
        QVERIFY(del.waitForFinished(60000) && del.exitCode() == 0);
        r = runCli({"info", package}, m_dir.filePath("data"));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("  contents:        9 of 10 layer images"), qPrintable(r.out));
        QCOMPARE(r.err, "orvell3d-cli info: " + package + ": damaged package: S000004_P1.png is missing\n");

        // Not a package at all: one line, exit 1.
        r = runCli({"info", writeFixture(m_dir.filePath("fake.lpk"), "no zip")}, m_dir.filePath("data"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.startsWith("orvell3d-cli info: " + m_dir.filePath("fake.lpk") + ": "), qPrintable(r.err));
    }

    void failuresLeaveNothingBehind()
    {
        CliRun r = cli({"-o", "/proc/box.lpk", m_box});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Cannot write into the folder /proc"), qPrintable(r.err));
        r = cli({"-o", m_dir.filePath("x.lpk"), "--resin", "No Such Resin", m_box});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("No Such Resin"));
        r = cli({"-o", m_dir.filePath("x.lpk"), "--machine", "7", m_box});
        QCOMPARE(r.code, 2);
        QVERIFY(!QFileInfo::exists(m_dir.filePath("x_z50.lpk")));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("x")));
    }
};

QTEST_GUILESS_MAIN(SlicePackageTest)
#include "tst_slice_package.moc"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support_cli.h"

// `orvell3d-cli upload` and `orvell3d-cli status` against the printer simulator on 127.0.0.1:
// a real package arrives byte for byte, the reports are printed as the printer sends them, and
// every failure ends with one line on standard error and the documented exit status.
class PrinterCommandsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_package;

    // The simulator with a port of its own choosing; returns "127.0.0.1:PORT".
    static QString startSimulator(QProcess &sim, const QString &folder, const QStringList &args)
    {
        sim.start(ORVELL_PRINTER_SIM_PATH, QStringList{"--port", "0", "--dir", folder} + args);
        QString out;
        for (int i = 0; i < 500 && !out.contains('\n'); ++i) {
            sim.waitForReadyRead(20);
            out += QString::fromUtf8(sim.readAllStandardOutput());
        }
        const QRegularExpressionMatch m = QRegularExpression("listening on (127\\.0\\.0\\.1:\\d+)").match(out);
        if (!m.hasMatch())
            qFatal("the printer simulator did not start: %s", qPrintable(out));
        return m.captured(1);
    }

    static void stop(QProcess &p)
    {
        p.kill();
        p.waitForFinished(5000);
    }

    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A real package: a 10 × 20 × 1 mm box sliced at 100 µm.
        QByteArray obj;
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 20, (k >> 2)).toLatin1();
        obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
        const QString box = writeFixture(m_dir.filePath("box.obj"), obj);
        const CliRun r = runCli({"slice", "--projector", "300x200", "--pixel-size", "100", "--thickness", "100", "-o",
                                 m_dir.filePath("box.lpk"), box},
                                m_dir.filePath("data"));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        m_package = m_dir.filePath("box_z100.lpk");
        QVERIFY(QFileInfo(m_package).size() > 0);
    }

    void uploadThenFollowTheJob()
    {
        QTemporaryDir store;
        QProcess sim;
        const QString printer = startSimulator(sim, store.path(), {"--no-print", "--pixel", "35.5", "--layer-ms", "50"});

        const CliRun status = runCli({"status", "--printer", printer}, m_dir.filePath("data"), 30000);
        QCOMPARE(status.code, 0);
        QCOMPARE(status.out, QStringLiteral("pixel size: 35.5 um\nstatus: Connected\n"));

        const CliRun up = runCli({"upload", m_package, "--printer", printer}, m_dir.filePath("data"), 60000);
        QVERIFY2(up.code == 0, qPrintable(up.err));
        const qint64 size = QFileInfo(m_package).size();
        QCOMPARE(up.out, QStringLiteral("uploaded box_z100.lpk (%1 bytes) to %2; the printer confirmed it\n")
                             .arg(size)
                             .arg(printer));
        QVERIFY(bytes(store.filePath("box_z100.lpk")) == bytes(m_package));
        // Not a terminal: no progress noise.
        QCOMPARE(up.err, QString());

        // --follow prints every report until the job ends.
        QProcess follow;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVELL3D_DATA_DIR", m_dir.filePath("data"));
        follow.setProcessEnvironment(env);
        follow.start(ORVELL_CLI_PATH, {"status", "--follow", "--printer", printer});
        QString out;
        for (int i = 0; i < 500 && !out.contains("status: Connected"); ++i) {
            follow.waitForReadyRead(20);
            out += QString::fromUtf8(follow.readAllStandardOutput());
        }
        sim.write("start 3\n");
        QVERIFY(sim.waitForBytesWritten(5000));
        QVERIFY(follow.waitForFinished(20000));
        out += QString::fromUtf8(follow.readAllStandardOutput());
        QCOMPARE(follow.exitCode(), 0);
        // 3 layers of 8 s (the simulator's default claim).
        QCOMPARE(out, QStringLiteral("pixel size: 35.5 um\nstatus: Connected\n"
                                     "status: Printing in Progress, layer 0 of 3\nremaining time: 00:00:24\n"
                                     "status: Printing in Progress, layer 1 of 3\nremaining time: 00:00:16\n"
                                     "status: Printing in Progress, layer 2 of 3\nremaining time: 00:00:08\n"
                                     "status: Printing Completed, layer 3 of 3\nremaining time: 00:00:00\n"));
        stop(sim);
    }

    void failuresSayWhyOnOneLine()
    {
        const QString data = m_dir.filePath("data");
        // Wrong command lines.
        QCOMPARE(runCli({"upload", m_package}, data).code, 2);
        QCOMPARE(runCli({"upload", "--printer", "127.0.0.1"}, data).code, 2);
        QCOMPARE(runCli({"upload", m_package, "--printer", "127.0.0.1:99999"}, data).code, 2);
        QCOMPARE(runCli({"status", "--printer", "127.0.0.1", "--bogus"}, data).code, 2);
        QCOMPARE(runCli({"upload", "--help"}, data).code, 0);

        // A port where nothing listens: refused at once.
        QProcess sim;
        const QString printer = startSimulator(sim, m_dir.path(), {"--no-print"});
        stop(sim);
        CliRun r = runCli({"status", "--printer", printer}, data, 30000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("orvell3d-cli status: Failed connection to " + printer), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);

        // A package that cannot be read is reported before any printer is contacted.
        r = runCli({"upload", m_dir.filePath("missing.lpk"), "--printer", printer}, data);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QStringLiteral("orvell3d-cli upload: %1: the file cannot be opened for reading\n")
                            .arg(m_dir.filePath("missing.lpk")));

        // The printer goes away while --follow waits for the job's end.
        const QString second = startSimulator(sim, m_dir.path(), {"--no-print"});
        QProcess follow;
        follow.start(ORVELL_CLI_PATH, {"status", "--follow", "--printer", second});
        QString out;
        for (int i = 0; i < 500 && !out.contains("status: Connected"); ++i) {
            follow.waitForReadyRead(20);
            out += QString::fromUtf8(follow.readAllStandardOutput());
        }
        stop(sim);
        QVERIFY(follow.waitForFinished(20000));
        QCOMPARE(follow.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(follow.readAllStandardError()),
                 QStringLiteral("orvell3d-cli status: the printer at %1 closed the connection\n").arg(second));
    }
};

QTEST_GUILESS_MAIN(PrinterCommandsTest)
#include "tst_printer.moc"

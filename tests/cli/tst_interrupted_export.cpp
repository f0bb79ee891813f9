#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "support_cli.h"

namespace {

// "R", "S", "Z", … from /proc, or an empty string once the process is gone.
QByteArray processState(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close < 0 ? QByteArray() : line.mid(close + 2, 1);
}

bool processEnded(qint64 pid)
{
    const QByteArray state = processState(pid);
    return state.isEmpty() || state == "Z" || state == "X";
}

// A failed check must not leave the stand-in tool running.
struct KillOnExit
{
    qint64 pid = 0;
    ~KillOnExit()
    {
        if (pid > 0 && !processEnded(pid))
            ::kill(pid_t(pid), SIGKILL);
    }
};

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

// A package export that is killed halfway leaves nothing beside the user's package, and the
// archive tool does not go on writing after the program is gone.
class InterruptedExportTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_box;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QByteArray obj;   // a 10 × 20 × 1 mm box
        for (int k = 0; k < 8; ++k)
            obj += QString::asprintf("v %d %d %d\n", (k & 1) * 10, ((k >> 1) & 1) * 20, (k >> 2)).toLatin1();
        obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
        m_box = writeFixture(m_dir.filePath("box.obj"), obj);
    }

    void killedExportLeavesNothingBesideThePackage()
    {
        // An archive tool that says where it is and then takes its time, as 7za does with a
        // large package; it is found first on the search path.
        QVERIFY(QDir(m_dir.path()).mkdir("slowtool"));
        const QString marker = m_dir.filePath("tool.pid");
        const QString tool = writeFixture(m_dir.filePath("slowtool/7za"),
                                          "#!/bin/sh\necho $$ > \"$ORVELL_TEST_MARKER\"\nexec sleep 300\n");
        QVERIFY(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QDir(m_dir.path()).mkdir("packages"));
        const QString packages = m_dir.filePath("packages");
        const QString data = m_dir.filePath("data");

        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVELL3D_DATA_DIR", data);
        env.insert("ORVELL_TEST_MARKER", marker);
        env.insert("PATH", m_dir.filePath("slowtool") + ":" + env.value("PATH"));
        cli.setProcessEnvironment(env);
        cli.start(ORVELL_CLI_PATH, {"slice", "--projector", "300x200", "--pixel-size", "100", "--renderer", "cpu",
                                    "-o", packages + "/x.lpk", m_box});
        QVERIFY(cli.waitForStarted());

        // Layers, previews and text files are done once the tool runs.
        QElapsedTimer clock;
        clock.start();
        while (QFileInfo(marker).size() == 0 && clock.elapsed() < 60000 && cli.state() == QProcess::Running)
            QTest::qWait(50);
        QFile pidFile(marker);
        QVERIFY2(pidFile.open(QIODevice::ReadOnly), qPrintable(QString::fromUtf8(cli.readAllStandardError())));
        const qint64 toolPid = pidFile.readAll().trimmed().toLongLong();
        QVERIFY(toolPid > 0);
        const KillOnExit guard{toolPid};
        QVERIFY(!processEnded(toolPid));

        cli.kill();   // SIGKILL: no chance to clean up
        QVERIFY(cli.waitForFinished(10000));
        clock.restart();
        while (!processEnded(toolPid) && clock.elapsed() < 10000)
            QTest::qWait(50);
        QVERIFY2(processEnded(toolPid), "the archive tool outlived the program");
        QCOMPARE(entries(packages), QStringList());

        // The next export (with the real tool) clears what the killed one left in the data folder.
        const CliRun again = runCli({"slice", "--projector", "300x200", "--pixel-size", "100", "--renderer", "cpu",
                                     "-o", packages + "/x.lpk", m_box},
                                    data);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(entries(packages), QStringList{"x_z50.lpk"});
        QCOMPARE(entries(data + "/temp"), QStringList());
    }
};

QTEST_GUILESS_MAIN(InterruptedExportTest)
#include "tst_interrupted_export.moc"

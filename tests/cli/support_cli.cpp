#include "support_cli.h"

#include <QFile>
#include <QProcess>

CliRun runCli(const QStringList &args, const QString &dataDir, int timeoutMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVELL3D_DATA_DIR", dataDir);
    p.setProcessEnvironment(env);
    p.start(ORVELL_CLI_PATH, args);
    if (!p.waitForFinished(timeoutMs))
        qFatal("orvell3d-cli did not finish");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString writeFixture(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write test fixture %s", qPrintable(path));
    return path;
}

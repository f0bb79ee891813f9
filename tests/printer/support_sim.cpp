#include "support_sim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

SimProcess::SimProcess(const QString &folder, const QStringList &args)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(ORVELL_PRINTER_SIM_PATH,
                    QStringList{"--listen", "127.0.0.1", "--port", "0", "--dir", folder} + args);
    if (!m_process.waitForStarted(10000))
        qFatal("the printer simulator did not start");
    if (!waitForOutput(QStringLiteral("listening on")))
        qFatal("the printer simulator did not listen: %s", qPrintable(m_process.readAllStandardError()));
    const QRegularExpressionMatch m = QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(m_output);
    if (!m.hasMatch())
        qFatal("unexpected simulator output: %s", qPrintable(m_output));
    m_port = quint16(m.captured(1).toUInt());
}

SimProcess::~SimProcess()
{
    kill();
}

void SimProcess::command(const QByteArray &line)
{
    m_process.write(line + '\n');
}

bool SimProcess::waitForOutput(const QString &text, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!m_output.contains(text)) {
        if (t.elapsed() > timeoutMs)
            return false;
        // Keeps the test's own sockets served while the simulator's output is awaited.
        QTest::qWait(10);
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    }
    return true;
}

void SimProcess::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

ScriptedPeer::ScriptedPeer() : m_server(new QTcpServer(this))
{
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen on 127.0.0.1");
}

quint16 ScriptedPeer::port() const
{
    return m_server->serverPort();
}

QTcpSocket *ScriptedPeer::waitForClient(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!m_server->hasPendingConnections() && t.elapsed() < timeoutMs)
        QTest::qWait(10);
    return m_server->nextPendingConnection();
}

void writeRandomFile(const QString &path, qint64 bytes, quint32 seed)
{
    QRandomGenerator rng(seed);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block(1 << 20, '\0');
    for (qint64 left = bytes; left > 0;) {
        const int n = int(std::min<qint64>(left, block.size()));
        rng.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        if (f.write(block.constData(), n) != n)
            qFatal("cannot write %s", qPrintable(path));
        left -= n;
    }
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

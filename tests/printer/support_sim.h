#pragma once

// The printer simulator as a child process on 127.0.0.1 with a port of its own choosing, and a
// scripted stand-in peer for replies no sane printer sends.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

class SimProcess
{
public:
    // Starts the simulator with `args` (plus --listen 127.0.0.1 --port 0) storing into `folder`;
    // stops the test program when it does not come up.
    SimProcess(const QString &folder, const QStringList &args = {});
    ~SimProcess();

    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // Sends a control line (pause, resume, abort, start N) to its standard input.
    void command(const QByteArray &line);
    // Waits until the simulator printed a line containing `text`; false after `timeoutMs`.
    bool waitForOutput(const QString &text, int timeoutMs = 10000);
    QString output() const { return m_output; }
    void kill();

private:
    QProcess m_process;
    QString m_output;
    quint16 m_port = 0;
};

// Listens on 127.0.0.1 (a free port) and hands each accepted client to the test.
class ScriptedPeer : public QObject
{
    Q_OBJECT
public:
    ScriptedPeer();
    quint16 port() const;
    // Waits for the next client; nullptr after the time limit.
    QTcpSocket *waitForClient(int timeoutMs = 5000);
    QTcpServer *server() const { return m_server; }

private:
    QTcpServer *m_server;
};

// A file of `bytes` pseudo-random bytes (fixed seed), written to `path`.
void writeRandomFile(const QString &path, qint64 bytes, quint32 seed);
QByteArray fileBytes(const QString &path);

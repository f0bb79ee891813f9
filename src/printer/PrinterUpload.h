#pragma once

#include <QFile>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

// One package on its way to a printer: "fileName NAME", a 50 ms pause, "fileStart SIZE",
// another 50 ms, then exactly SIZE bytes of the file. The file is read piece by piece as the
// socket drains, so a package of any size costs a few hundred kilobytes of memory and the
// event loop never waits on the network.
class PrinterUpload : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPauseMs = 50;
    static constexpr qint64 kChunkBytes = 64 * 1024;
    static constexpr qint64 kQueuedBytes = 256 * 1024;   // kept in the socket's buffer at most

    PrinterUpload(QTcpSocket *socket, int stallTimeoutMs, int confirmTimeoutMs, QObject *parent = nullptr);

    // Opens the file and starts; false with the reason when the file cannot be read.
    bool start(const QString &path, QString *error);

    QString fileName() const { return m_name; }
    qint64 totalBytes() const { return m_total; }
    qint64 sentBytes() const { return m_sent; }
    bool isDone() const { return m_done; }

    // The printer's "fileReceived".
    void confirm();
    // The link closed or the user gave up.
    void fail(const QString &reason);

    // The name as it goes on the "fileName" line: no folder, no line breaks.
    static QString wireName(const QString &path);

signals:
    void progress(qint64 sentBytes, qint64 totalBytes);
    void finished(bool ok, const QString &message);

private:
    void sendSize();
    void beginContent();
    void pump();
    void onBytesWritten(qint64 bytes);
    void onStall();
    void finish(bool ok, const QString &message);

    enum Stage { Idle, Announcing, Streaming, Confirming };

    QTcpSocket *m_socket;
    QFile m_file;
    QTimer *m_watchdog;
    QString m_name;
    qint64 m_total = 0;
    qint64 m_read = 0;     // bytes taken from the file and handed to the socket
    qint64 m_sent = 0;     // bytes the socket reports as written to the network
    qint64 m_queuedAtStart = 0;   // header bytes still in the socket when the content began
    Stage m_stage = Idle;
    bool m_done = false;
    bool m_sizeSent = false;
    bool m_confirmedEarly = false;
    int m_stallTimeoutMs;
    int m_confirmTimeoutMs;
};

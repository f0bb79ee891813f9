#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "printer/PrinterProtocol.h"
#include "printer/PrinterState.h"
#include "printer/PrinterUpload.h"

class QTcpSocket;
class QTimer;

// One TCP link to one printer: connecting with a time limit, reading the printer's report
// lines into a PrinterState, and uploading packages. Everything runs on the event loop of the
// calling thread; nothing here waits, so a window that owns links stays responsive whatever
// the printer does.
class PrinterConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 1500;

    explicit PrinterConnection(QObject *parent = nullptr);
    ~PrinterConnection() override;

    // Starts connecting (a fresh socket each time). Ends in connected() or connectFailed().
    void connectTo(const QString &host, quint16 port);
    // Closes the link; disconnected() follows once it is closed.
    void disconnectFrom();

    bool isConnected() const;
    bool isConnecting() const;
    const PrinterState &state() const { return m_state; }
    QString peerText() const { return m_peerText; }

    // Sends a package: its name, its size and its bytes, streamed in pieces. False (with the
    // reason) when the link is down, an upload runs already or the file cannot be read; the
    // outcome otherwise arrives as uploadFinished().
    bool upload(const QString &path, QString *error = nullptr);
    bool isUploading() const;
    // Gives up the running upload; the link is closed, since the printer still expects bytes.
    void cancelUpload();
    PrinterUpload *currentUpload() const { return m_upload; }

    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }
    // Time without progress after which an upload counts as stalled (default 30 s) and the
    // wait for the printer's confirmation after the last byte (default 120 s).
    void setUploadTimeouts(int stallMs, int confirmMs);

signals:
    void connected();
    void connectFailed(const QString &reason);
    // The link closed (by either side) after it had been established.
    void disconnected();
    // A report changed state().
    void stateChanged();
    void messageReceived(const PrinterMessage &message);
    // A line that could not be used (bad values, overlong); the link stays up.
    void lineRejected(const QString &reason);

    void uploadProgress(qint64 sentBytes, qint64 totalBytes);
    // ok: the printer confirmed the whole file; otherwise `message` says what went wrong.
    void uploadFinished(bool ok, const QString &message);

private:
    void onConnected();
    void onDisconnected();
    void onReadyRead();
    void onConnectTimeout();
    void dropSocket();

    QTcpSocket *m_socket = nullptr;
    QTimer *m_connectTimer;
    QPointer<PrinterUpload> m_upload;
    PrinterLineBuffer m_lines;
    PrinterState m_state;
    QString m_peerText;
    bool m_wasConnected = false;
    int m_connectTimeoutMs = kConnectTimeoutMs;
    int m_stallTimeoutMs = 30000;
    int m_confirmTimeoutMs = 120000;
};

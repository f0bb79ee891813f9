#include "printer/PrinterConnection.h"

#include <QTcpSocket>
#include <QTimer>

#include "printer/PrinterUpload.h"

namespace {

// Read in pieces so a flood of bytes is parsed as it comes instead of piling up.
constexpr qint64 kReadPieceBytes = 64 * 1024;

} // namespace

PrinterConnection::PrinterConnection(QObject *parent) : QObject(parent), m_connectTimer(new QTimer(this))
{
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, &PrinterConnection::onConnectTimeout);
}

PrinterConnection::~PrinterConnection()
{
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

void PrinterConnection::connectTo(const QString &host, quint16 port)
{
    dropSocket();
    m_lines.clear();
    m_state = PrinterState();
    m_wasConnected = false;
    m_peerText = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                                 : QStringLiteral("%1:%2").arg(host).arg(port);
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &PrinterConnection::onConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &PrinterConnection::onDisconnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &PrinterConnection::onReadyRead);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        // Errors before the link stands end the attempt at once (refused, unknown host);
        // errors after it end in disconnected().
        if (!m_wasConnected && m_connectTimer->isActive()) {
            m_connectTimer->stop();
            const QString reason = m_socket->errorString();
            dropSocket();
            emit connectFailed(reason);
        }
    });
    m_connectTimer->start(m_connectTimeoutMs);
    m_socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void PrinterConnection::disconnectFrom()
{
    m_connectTimer->stop();
    if (!m_socket)
        return;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        if (isUploading())
            m_upload->fail(tr("The upload of %1 was stopped: the printer was disconnected").arg(m_upload->fileName()));
        // A failed upload closes the link itself.
        if (m_socket)
            m_socket->disconnectFromHost();
    } else {
        dropSocket();
    }
}

bool PrinterConnection::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool PrinterConnection::isConnecting() const
{
    return m_socket && m_connectTimer->isActive();
}

void PrinterConnection::setUploadTimeouts(int stallMs, int confirmMs)
{
    m_stallTimeoutMs = stallMs;
    m_confirmTimeoutMs = confirmMs;
}

bool PrinterConnection::upload(const QString &path, QString *error)
{
    if (!isConnected()) {
        if (error)
            *error = tr("Confirm the printer is connected.");
        return false;
    }
    if (isUploading()) {
        if (error)
            *error = tr("An upload to this printer is still running.");
        return false;
    }
    auto *up = new PrinterUpload(m_socket, m_stallTimeoutMs, m_confirmTimeoutMs, this);
    if (!up->start(path, error)) {
        delete up;
        return false;
    }
    m_upload = up;
    connect(up, &PrinterUpload::progress, this, &PrinterConnection::uploadProgress);
    connect(up, &PrinterUpload::finished, this, [this, up](bool ok, const QString &message) {
        up->deleteLater();
        // A half-sent file leaves the printer waiting for bytes that never come; only a new
        // link brings both sides back in step.
        if (!ok && m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
            m_socket->abort();
        emit uploadFinished(ok, message);
    });
    return true;
}

bool PrinterConnection::isUploading() const
{
    return m_upload && !m_upload->isDone();
}

void PrinterConnection::cancelUpload()
{
    if (isUploading())
        m_upload->fail(tr("The upload of %1 was cancelled").arg(m_upload->fileName()));
}

void PrinterConnection::onConnected()
{
    m_connectTimer->stop();
    m_wasConnected = true;
    emit connected();
}

void PrinterConnection::onConnectTimeout()
{
    if (!m_socket || m_wasConnected)
        return;
    dropSocket();
    emit connectFailed(tr("No answer from %1 within %2 ms").arg(m_peerText).arg(m_connectTimeoutMs));
}

void PrinterConnection::onDisconnected()
{
    // Bytes still buffered belong to the last lines the printer sent.
    onReadyRead();
    if (isUploading()) {
        const qint64 sent = m_upload->sentBytes();
        const qint64 total = m_upload->totalBytes();
        m_upload->fail(sent < total ? tr("The connection closed after %1 of %2 bytes of %3")
                                          .arg(sent)
                                          .arg(total)
                                          .arg(m_upload->fileName())
                                    : tr("The connection closed before the printer confirmed %1")
                                          .arg(m_upload->fileName()));
    }
    // A line cut off by the close is incomplete; it is not shown.
    m_lines.clear();
    const bool was = m_wasConnected;
    m_wasConnected = false;
    m_state.status = PrinterState::NotConnected;
    m_state.ready = false;
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (was)
        emit disconnected();
}

void PrinterConnection::onReadyRead()
{
    if (!m_socket)
        return;
    const int overlongBefore = m_lines.overlongLines();
    while (m_socket->bytesAvailable() > 0) {
        const QByteArray piece = m_socket->read(kReadPieceBytes);
        if (piece.isEmpty())
            break;
        for (const QByteArray &line : m_lines.append(piece)) {
            const PrinterMessage m = parsePrinterLine(line);
            if (m.kind == PrinterMessage::Malformed) {
                emit lineRejected(m.error);
                continue;
            }
            if (m.kind == PrinterMessage::Ignored)
                continue;
            if (m.kind == PrinterMessage::FileReceived && m_upload)
                m_upload->confirm();
            // Listeners of either signal see the state this line leaves.
            const bool changed = applyPrinterMessage(m_state, m);
            emit messageReceived(m);
            if (changed)
                emit stateChanged();
        }
    }
    if (m_lines.overlongLines() > overlongBefore)
        emit lineRejected(tr("The printer sent a line longer than %1 bytes; it was dropped")
                              .arg(PrinterLineBuffer::kDefaultMaxLineBytes));
}

void PrinterConnection::dropSocket()
{
    m_connectTimer->stop();
    if (!m_socket)
        return;
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

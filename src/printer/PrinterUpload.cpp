#include "printer/PrinterUpload.h"

#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>

PrinterUpload::PrinterUpload(QTcpSocket *socket, int stallTimeoutMs, int confirmTimeoutMs, QObject *parent)
    : QObject(parent), m_socket(socket), m_watchdog(new QTimer(this)), m_stallTimeoutMs(stallTimeoutMs),
      m_confirmTimeoutMs(confirmTimeoutMs)
{
    m_watchdog->setSingleShot(true);
    connect(m_watchdog, &QTimer::timeout, this, &PrinterUpload::onStall);
}

QString PrinterUpload::wireName(const QString &path)
{
    QString name = QFileInfo(path).fileName();
    // A line break in the name would end the line early and turn the rest into garbage.
    for (QChar &c : name)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char('_');
    return name;
}

bool PrinterUpload::start(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!QFileInfo(path).isFile() || !m_file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = tr("The file could not be opened for reading:\n%1").arg(path);
        return false;
    }
    m_name = wireName(path);
    m_total = m_file.size();
    m_stage = Announcing;
    connect(m_socket, &QTcpSocket::bytesWritten, this, &PrinterUpload::onBytesWritten);
    m_socket->write(QStringLiteral("fileName %1\n").arg(m_name).toUtf8());
    QTimer::singleShot(kPauseMs, this, &PrinterUpload::sendSize);
    m_watchdog->start(m_stallTimeoutMs);
    return true;
}

void PrinterUpload::sendSize()
{
    if (m_done)
        return;
    m_socket->write(QByteArray("fileStart ") + QByteArray::number(m_total) + '\n');
    m_sizeSent = true;
    QTimer::singleShot(kPauseMs, this, &PrinterUpload::beginContent);
}

void PrinterUpload::beginContent()
{
    if (m_done)
        return;
    m_stage = Streaming;
    m_queuedAtStart = m_socket->bytesToWrite();
    m_watchdog->start(m_stallTimeoutMs);
    pump();
}

void PrinterUpload::pump()
{
    QByteArray chunk;
    while (!m_done && m_read < m_total && m_socket->bytesToWrite() < kQueuedBytes) {
        chunk = m_file.read(std::min(kChunkBytes, m_total - m_read));
        if (chunk.isEmpty()) {
            // The file shrank or became unreadable while it was being sent.
            fail(tr("Reading %1 failed after %2 of %3 bytes: %4")
                     .arg(m_name)
                     .arg(m_read)
                     .arg(m_total)
                     .arg(m_file.errorString()));
            return;
        }
        if (m_socket->write(chunk) != chunk.size()) {
            fail(tr("Sending %1 failed after %2 of %3 bytes: %4")
                     .arg(m_name)
                     .arg(m_read)
                     .arg(m_total)
                     .arg(m_socket->errorString()));
            return;
        }
        m_read += chunk.size();
    }
    if (!m_done && m_read == m_total && m_socket->bytesToWrite() == 0) {
        m_file.close();
        m_stage = Confirming;
        m_sent = m_total;
        emit progress(m_sent, m_total);
        m_watchdog->start(m_confirmTimeoutMs);
        if (m_confirmedEarly)
            confirm();
    }
}

void PrinterUpload::onBytesWritten(qint64 bytes)
{
    if (m_done)
        return;
    if (m_stage == Streaming) {
        // The header lines leave the socket first; what follows is the file.
        const qint64 header = std::min(bytes, m_queuedAtStart);
        m_queuedAtStart -= header;
        m_sent = std::min(m_total, m_sent + bytes - header);
        m_watchdog->start(m_stallTimeoutMs);
        emit progress(m_sent, m_total);
        pump();
    }
}

void PrinterUpload::onStall()
{
    if (m_stage == Confirming)
        fail(tr("The printer did not confirm %1 after all %2 bytes were sent").arg(m_name).arg(m_total));
    else
        fail(tr("The printer stopped taking data: %1 of %2 bytes of %3 sent")
                 .arg(m_sent)
                 .arg(m_total)
                 .arg(m_name));
}

void PrinterUpload::confirm()
{
    if (m_done)
        return;
    if (m_stage == Confirming)
        finish(true, tr("The printer received %1 (%2 bytes)").arg(m_name).arg(m_total));
    else if (m_sizeSent)
        // The printer may answer before our last bytes are reported written (at once for an
        // empty file); its word counts once everything has left.
        m_confirmedEarly = true;
}

void PrinterUpload::fail(const QString &reason)
{
    if (m_done)
        return;
    finish(false, reason);
}

void PrinterUpload::finish(bool ok, const QString &message)
{
    m_done = true;
    m_watchdog->stop();
    m_file.close();
    disconnect(m_socket, nullptr, this, nullptr);
    emit finished(ok, message);
}

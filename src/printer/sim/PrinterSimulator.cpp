#include "printer/sim/PrinterSimulator.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int kMaxLineBytes = 4096;
constexpr qint64 kMaxFileBytes = qint64(64) * 1024 * 1024 * 1024;

QByteArray pixelLine(float um)
{
    return "pixel " + QByteArray::number(double(um), 'g', 9) + '\n';
}

QList<QByteArray> words(const QByteArray &line)
{
    QList<QByteArray> out;
    for (const QByteArray &w : line.simplified().split(' '))
        if (!w.isEmpty())
            out << w;
    return out;
}

} // namespace

struct PrinterSimulator::Session
{
    QTcpSocket *socket = nullptr;
    QByteArray lineBuffer;
    QString fileName;          // announced by "fileName"
    QSaveFile *file = nullptr; // open while the content arrives
    qint64 expected = 0;
    qint64 received = 0;
};

PrinterSimulator::PrinterSimulator(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_server(new QTcpServer(this)), m_layerTimer(new QTimer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &PrinterSimulator::onNewConnection);
    connect(m_layerTimer, &QTimer::timeout, this, &PrinterSimulator::nextLayer);
}

PrinterSimulator::~PrinterSimulator()
{
    for (Session *s : std::as_const(m_sessions)) {
        disconnect(s->socket, nullptr, this, nullptr);
        delete s->file;
        delete s;
    }
}

bool PrinterSimulator::listen(QString *error)
{
    if (m_server->listen(m_options.address, m_options.port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 PrinterSimulator::port() const
{
    return m_server->serverPort();
}

void PrinterSimulator::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *s = new Session;
        s->socket = socket;
        socket->setParent(this);
        m_sessions << s;
        connect(socket, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(socket, &QTcpSocket::disconnected, this, [this, s] { onDisconnected(s); });
        emit event(QStringLiteral("client %1:%2 connected")
                       .arg(socket->peerAddress().toString())
                       .arg(socket->peerPort()));
        socket->write(pixelLine(m_options.pixelSizeUm));
    }
}

void PrinterSimulator::onDisconnected(Session *s)
{
    if (s->file) {
        emit event(QStringLiteral("%1 incomplete: %2 of %3 bytes; discarded")
                       .arg(s->fileName)
                       .arg(s->received)
                       .arg(s->expected));
        s->file->cancelWriting();
        delete s->file;
        s->file = nullptr;
    }
    emit event(QStringLiteral("client disconnected"));
    m_sessions.removeOne(s);
    disconnect(s->socket, nullptr, this, nullptr);
    s->socket->deleteLater();
    delete s;
}

void PrinterSimulator::onReadyRead(Session *s)
{
    QByteArray data = s->socket->readAll();
    while (!data.isEmpty()) {
        if (s->file) {
            receiveBytes(s, data);
            continue;
        }
        const int end = data.indexOf('\n');
        if (end < 0) {
            s->lineBuffer += data;
            if (s->lineBuffer.size() > kMaxLineBytes) {
                emit event(QStringLiteral("overlong line from the client dropped"));
                s->lineBuffer.clear();
            }
            return;
        }
        s->lineBuffer += data.left(end);
        data.remove(0, end + 1);
        const QByteArray line = s->lineBuffer.trimmed();
        s->lineBuffer.clear();
        handleLine(s, line);
    }
}

void PrinterSimulator::handleLine(Session *s, const QByteArray &line)
{
    if (line.startsWith("fileName ")) {
        s->fileName = safeFileName(line.mid(9).trimmed());
        return;
    }
    const QList<QByteArray> w = words(line);
    if (w.size() == 2 && w[0] == "fileStart") {
        bool ok = false;
        const qint64 size = w[1].toLongLong(&ok);
        if (!ok || size < 0 || size > kMaxFileBytes) {
            emit event(QStringLiteral("unusable file size \"%1\"").arg(QString::fromLatin1(w[1].left(40))));
            return;
        }
        if (s->fileName.isEmpty())
            s->fileName = QStringLiteral("upload.lpk");
        s->file = new QSaveFile(QDir(m_options.folder).filePath(s->fileName));
        if (!s->file->open(QIODevice::WriteOnly)) {
            emit event(QStringLiteral("cannot store %1: %2").arg(s->fileName, s->file->errorString()));
            delete s->file;
            s->file = nullptr;
            return;
        }
        s->expected = size;
        s->received = 0;
        emit event(QStringLiteral("receiving %1 (%2 bytes)").arg(s->fileName).arg(size));
        if (size == 0)
            finishFile(s);
        return;
    }
    if (!line.isEmpty())
        emit event(QStringLiteral("unknown line \"%1\"").arg(QString::fromUtf8(line.left(80))));
}

void PrinterSimulator::receiveBytes(Session *s, QByteArray &buffer)
{
    const qint64 take = std::min<qint64>(buffer.size(), s->expected - s->received);
    if (s->file->write(buffer.constData(), take) != take)
        emit event(QStringLiteral("writing %1 failed: %2").arg(s->fileName, s->file->errorString()));
    s->received += take;
    buffer.remove(0, int(take));
    if (s->received == s->expected)
        finishFile(s);
}

void PrinterSimulator::finishFile(Session *s)
{
    QSaveFile *file = s->file;
    s->file = nullptr;
    const QString path = file->fileName();
    const bool stored = file->commit();
    delete file;
    const qint64 onDisk = QFileInfo(path).size();
    if (!stored || onDisk != s->expected) {
        emit event(QStringLiteral("%1: stored %2 bytes, announced %3; not confirmed")
                       .arg(s->fileName)
                       .arg(onDisk)
                       .arg(s->expected));
        return;
    }
    emit event(QStringLiteral("received %1 (%2 bytes)").arg(s->fileName).arg(onDisk));
    s->socket->write("fileReceived\n");
    if (m_options.printAfterUpload && !m_printing)
        startJob(m_options.layers);
}

QString PrinterSimulator::safeFileName(const QByteArray &name) const
{
    // Only a plain name inside the storage folder: no folders, no way up.
    QString n = QFileInfo(QString::fromUtf8(name).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String(".."))
        n = QStringLiteral("upload.lpk");
    return n;
}

void PrinterSimulator::startJob(int layers)
{
    m_jobLayers = std::max(1, layers);
    m_currentLayer = 0;
    m_printing = true;
    m_paused = false;
    broadcast("print started " + QByteArray::number(m_jobLayers));
    broadcast("time " + QByteArray::number(qint64(m_jobLayers) * m_options.layerSeconds) + " 0");
    emit event(QStringLiteral("print started, %1 layers").arg(m_jobLayers));
    m_layerTimer->start(std::max(1, m_options.layerMs));
}

void PrinterSimulator::nextLayer()
{
    if (!m_printing || m_paused)
        return;
    ++m_currentLayer;
    const QByteArray cn = QByteArray::number(m_currentLayer) + ' ' + QByteArray::number(m_jobLayers);
    if (m_currentLayer >= m_jobLayers) {
        m_layerTimer->stop();
        m_printing = false;
        broadcast("print finished " + cn);
        broadcast("time 0 0");
        emit event(QStringLiteral("print finished"));
        return;
    }
    broadcast("print prog " + cn);
    const qint64 total = qint64(m_jobLayers) * m_options.layerSeconds;
    broadcast("time " + QByteArray::number(total) + ' ' + QByteArray::number(qint64(m_currentLayer) * m_options.layerSeconds));
}

void PrinterSimulator::pause()
{
    if (!m_printing || m_paused)
        return;
    m_paused = true;
    broadcast("print paused");
    emit event(QStringLiteral("print paused at layer %1").arg(m_currentLayer));
}

void PrinterSimulator::resume()
{
    if (!m_printing || !m_paused)
        return;
    m_paused = false;
    broadcast("print resumed " + QByteArray::number(m_currentLayer) + ' ' + QByteArray::number(m_jobLayers));
    emit event(QStringLiteral("print resumed at layer %1").arg(m_currentLayer));
}

void PrinterSimulator::abort()
{
    if (!m_printing)
        return;
    m_layerTimer->stop();
    m_printing = false;
    m_paused = false;
    broadcast("print aborted");
    emit event(QStringLiteral("print aborted at layer %1").arg(m_currentLayer));
}

bool PrinterSimulator::isPrinting() const
{
    return m_printing;
}

void PrinterSimulator::sendRaw(const QByteArray &bytes)
{
    const QList<Session *> sessions = m_sessions;
    for (Session *s : sessions)
        s->socket->write(bytes);
}

void PrinterSimulator::broadcast(const QByteArray &line)
{
    sendRaw(line + '\n');
}

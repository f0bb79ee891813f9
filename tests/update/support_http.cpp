#include "support_http.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTcpSocket>

void useTestIdentity(const QString &settingsFolder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder);
    QCoreApplication::setOrganizationName("Orvell3D");
    QCoreApplication::setOrganizationDomain("orvell3d.test");
    QCoreApplication::setApplicationName("Orvell3D");
    QCoreApplication::setApplicationVersion("0.78");
}

TinyHttpServer::TinyHttpServer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("the test server cannot listen on 127.0.0.1");
    connect(&m_server, &QTcpServer::newConnection, this, &TinyHttpServer::serve);
}

QString TinyHttpServer::url(const QByteArray &path) const
{
    return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QString::fromLatin1(path));
}

void TinyHttpServer::ok(const QByteArray &path, const QByteArray &body, const QByteArray &type)
{
    m_routes[path].response = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void TinyHttpServer::redirect(const QByteArray &path, const QByteArray &location, int status)
{
    m_routes[path].response = "HTTP/1.1 " + QByteArray::number(status) + " Moved\r\nLocation: " + location +
                              "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

void TinyHttpServer::serve()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *head = new QByteArray;
        connect(socket, &QObject::destroyed, [head] { delete head; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
            *head += socket->readAll();
            if (!head->contains("\r\n\r\n") || head->isEmpty())
                return;
            requests << *head;
            const QByteArray path = head->split(' ').value(1);
            head->clear();
            if (!m_routes.contains(path)) {
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            const Route route = m_routes.value(path);
            socket->write(route.response);
            if (route.floodBytes > 0) {
                auto *left = new qint64(route.floodBytes);
                connect(socket, &QObject::destroyed, [left] { delete left; });
                auto more = [socket, left] {
                    while (*left > 0 && socket->bytesToWrite() < 256 * 1024) {
                        const qint64 n = qMin<qint64>(*left, 64 * 1024);
                        socket->write(QByteArray(int(n), 'x'));
                        *left -= n;
                    }
                    if (*left == 0 && socket->bytesToWrite() == 0)
                        socket->disconnectFromHost();
                };
                connect(socket, &QTcpSocket::bytesWritten, socket, more);
                more();
            } else if (!route.stall) {
                socket->disconnectFromHost();
            }
        });
    }
}

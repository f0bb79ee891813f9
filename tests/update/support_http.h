#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

// The program's identity as the update check sees it (version 0.78); the skipped version goes
// to the native settings store, which is put in `settingsFolder`.
void useTestIdentity(const QString &settingsFolder);

// A small HTTP server on 127.0.0.1 (an ephemeral port) that answers the update check's
// requests from a table of paths, so no test reaches outside this machine.
class TinyHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Route
    {
        QByteArray response;   // the whole answer: status line, headers, body
        qint64 floodBytes = 0; // after the response, this many more bytes of filler
        bool stall = false;    // keep the connection open after the response
    };

    TinyHttpServer();
    QString url(const QByteArray &path) const;

    void setRoute(const QByteArray &path, const Route &route) { m_routes[path] = route; }
    void ok(const QByteArray &path, const QByteArray &body, const QByteArray &type = "application/xml");
    void redirect(const QByteArray &path, const QByteArray &location, int status = 302);

    // Request heads in arrival order.
    QList<QByteArray> requests;

private:
    void serve();
    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
};

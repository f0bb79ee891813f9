#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QSaveFile;
class QTcpServer;
class QTcpSocket;
class QTimer;

// A stand-in for a networked resin printer: it greets every client with its pixel size,
// stores the packages it is sent, confirms them, and then plays a print job at a chosen pace,
// reporting to every connected client. For trying the link without a printer at hand.
class PrinterSimulator : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QHostAddress address = QHostAddress::LocalHost;
        quint16 port = 9876;          // 0: any free port
        float pixelSizeUm = 50.0f;
        int layers = 20;              // layers of each simulated job
        int layerMs = 500;            // pace: one layer every layerMs
        int layerSeconds = 8;         // what the printer claims a layer takes, for "time"
        QString folder = QStringLiteral(".");   // where received packages are stored
        bool printAfterUpload = true;
    };

    explicit PrinterSimulator(const Options &options, QObject *parent = nullptr);
    ~PrinterSimulator() override;

    // Starts listening; false with the reason when the address is taken.
    bool listen(QString *error);
    quint16 port() const;

    // Job control, as the printer's own buttons would do it.
    void startJob(int layers);
    void pause();
    void resume();
    void abort();
    bool isPrinting() const;

    // A line to every client, as is (for trying odd replies by hand).
    void sendRaw(const QByteArray &bytes);

signals:
    // One line per event for the operator: connections, files, job steps.
    void event(const QString &text);

private:
    struct Session;

    void onNewConnection();
    void onReadyRead(Session *s);
    void onDisconnected(Session *s);
    void handleLine(Session *s, const QByteArray &line);
    void receiveBytes(Session *s, QByteArray &buffer);
    void finishFile(Session *s);
    void nextLayer();
    void broadcast(const QByteArray &line);
    QString safeFileName(const QByteArray &name) const;

    Options m_options;
    QTcpServer *m_server;
    QList<Session *> m_sessions;
    QTimer *m_layerTimer;
    int m_jobLayers = 0;
    int m_currentLayer = 0;
    bool m_printing = false;
    bool m_paused = false;
};

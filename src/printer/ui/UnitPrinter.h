#pragma once

#include <QString>
#include <QWidget>

class PrinterConnection;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// One entry of the printer list: a panel that connects to one networked printer, uploads print
// packages to it and shows the job state the printer reports. The network work is done by
// PrinterConnection; the panel only shows it and turns clicks into calls.
class UnitPrinter : public QWidget
{
    Q_OBJECT
public:
    explicit UnitPrinter(QWidget *parent = nullptr);
    ~UnitPrinter() override;

    QString name() const;                     // the group box title
    void setName(const QString &name);
    QString address() const;                  // the "IP address" field: HOST or HOST:PORT
    void setAddress(const QString &address);
    QString lastUploadLocation() const { return m_lastUploadLocation; }
    void setLastUploadLocation(const QString &path) { m_lastUploadLocation = path; }

    PrinterConnection *connection() const { return m_link; }

signals:
    void signalDeletePrinter();
    // A short notice for the window to show for the given time.
    void signalTimedMessage(QString text, int milliseconds);
    // A line for the window's log.
    void updateLogWindow(QString text);

public slots:
    // Uploads a package (no dialog). Problems are shown; nothing here ends the program.
    void tcpFileSend(QString fileName);
    bool isPrinterConnected(bool showMsg = true);
    void setPrinterEnabled(bool enabled);
    void on_pbDelete_clicked();
    void on_pbConnect_clicked();
    void socketDisconnected();
    // Shows what the printer's latest reports left.
    void socketReadyRead();
    void on_pbUpload_clicked();

private:
    void onConnectFailed(const QString &reason);
    void onUploadProgress(qint64 sentBytes, qint64 totalBytes);
    void onUploadFinished(bool ok, const QString &message);
    void setSwitchIcon(bool on);
    void showWarning(const QString &text);
    void log(const QString &text);

    PrinterConnection *m_link;
    QGroupBox *m_box;
    QLineEdit *m_inpAddress;
    QLabel *m_lblStatus;
    QLabel *m_lblTotalLayers;
    QLabel *m_lblCurrentLayer;
    QProgressBar *m_progbarPrinting;
    QLabel *m_lblRemainingTime;
    QLabel *m_lblPixelSize;
    QProgressBar *m_progbarUpload;
    QPushButton *m_pbConnect;
    QPushButton *m_pbUpload;
    QPushButton *m_pbDelete;
    QString m_lastUploadLocation;
};

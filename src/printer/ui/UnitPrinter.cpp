#include "printer/ui/UnitPrinter.h"

#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "printer/PrinterAddress.h"
#include "printer/PrinterConnection.h"
#include "printer/PrinterUpload.h"

namespace {

QLabel *valueLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

UnitPrinter::UnitPrinter(QWidget *parent) : QWidget(parent), m_link(new PrinterConnection(this))
{
    m_box = new QGroupBox(tr("Printer Name"), this);
    m_box->setObjectName("gbxPrinter");
    m_inpAddress = new QLineEdit(m_box);
    m_inpAddress->setObjectName("inpIpAddress");
    m_inpAddress->setPlaceholderText(tr("printer.local"));
    m_inpAddress->setToolTip(tr("Host name or address of the printer, optionally with :port"));
    m_pbConnect = new QPushButton(m_box);
    m_pbConnect->setObjectName("pbConnect");
    m_pbConnect->setFlat(true);
    m_pbConnect->setIconSize(QSize(48, 24));
    m_pbConnect->setToolTip(tr("Connect or disconnect to printer"));
    m_lblStatus = valueLabel("lblPrinterStatus", PrinterState().statusText(), m_box);
    m_lblTotalLayers = valueLabel("lblTotalLayers", QStringLiteral("0"), m_box);
    m_lblCurrentLayer = valueLabel("lblCurrentLayer", QStringLiteral("0"), m_box);
    m_progbarPrinting = new QProgressBar(m_box);
    m_progbarPrinting->setObjectName("progbarPrinting");
    m_progbarPrinting->setRange(0, 1);
    m_progbarPrinting->setValue(0);
    m_lblRemainingTime = valueLabel("lblRemainingTime", formatRemainingTime(0), m_box);
    m_lblPixelSize = valueLabel("lblPixelSize", QString(), m_box);
    m_progbarUpload = new QProgressBar(m_box);
    m_progbarUpload->setObjectName("progbarUpload");
    m_progbarUpload->setFormat(tr("Uploading %p%"));
    m_progbarUpload->hide();
    m_pbUpload = new QPushButton(tr("Upload printing file"), m_box);
    m_pbUpload->setObjectName("pbUpload");
    m_pbUpload->setIcon(QIcon(QStringLiteral(":/icon/lpk.ico")));
    m_pbUpload->setEnabled(false);
    m_pbUpload->setToolTip(tr("Upload printing file"));
    m_pbDelete = new QPushButton(tr("Delete current printer"), m_box);
    m_pbDelete->setObjectName("pbDelete");
    m_pbDelete->setIcon(QIcon(QStringLiteral(":/icon/delete.ico")));
    m_pbDelete->setToolTip(tr("Delete current printer"));
    setSwitchIcon(false);

    auto *grid = new QGridLayout(m_box);
    grid->addWidget(new QLabel(tr("IP address"), m_box), 0, 0);
    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_inpAddress, 1);
    addressRow->addWidget(m_pbConnect);
    grid->addLayout(addressRow, 0, 1);
    const QList<QPair<QString, QWidget *>> rows{
        {tr("Printer status"), m_lblStatus},
        {tr("Total number of layers"), m_lblTotalLayers},
        {tr("Current printing layer"), m_lblCurrentLayer},
        {tr("Printing progress bar"), m_progbarPrinting},
        {tr("Estimated remaining time"), m_lblRemainingTime},
        {tr("Printer pixel size"), m_lblPixelSize},
    };
    int r = 1;
    for (const auto &row : rows) {
        grid->addWidget(new QLabel(row.first, m_box), r, 0);
        grid->addWidget(row.second, r, 1);
        ++r;
    }
    grid->addWidget(m_progbarUpload, r++, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_pbUpload);
    buttons->addStretch();
    buttons->addWidget(m_pbDelete);
    grid->addLayout(buttons, r, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->addWidget(m_box);

    connect(m_pbConnect, &QPushButton::clicked, this, &UnitPrinter::on_pbConnect_clicked);
    connect(m_pbUpload, &QPushButton::clicked, this, &UnitPrinter::on_pbUpload_clicked);
    connect(m_pbDelete, &QPushButton::clicked, this, &UnitPrinter::on_pbDelete_clicked);
    connect(m_link, &PrinterConnection::connected, this,
            [this] { log(tr("Connected to %1; waiting for the printer to report ready").arg(m_link->peerText())); });
    connect(m_link, &PrinterConnection::connectFailed, this, &UnitPrinter::onConnectFailed);
    connect(m_link, &PrinterConnection::disconnected, this, &UnitPrinter::socketDisconnected);
    connect(m_link, &PrinterConnection::stateChanged, this, &UnitPrinter::socketReadyRead);
    connect(m_link, &PrinterConnection::lineRejected, this,
            [this](const QString &why) { log(tr("%1: %2").arg(name(), why)); });
    connect(m_link, &PrinterConnection::uploadProgress, this, &UnitPrinter::onUploadProgress);
    connect(m_link, &PrinterConnection::uploadFinished, this, &UnitPrinter::onUploadFinished);
}

UnitPrinter::~UnitPrinter() = default;

QString UnitPrinter::name() const
{
    return m_box->title();
}

void UnitPrinter::setName(const QString &name)
{
    m_box->setTitle(name);
}

QString UnitPrinter::address() const
{
    return m_inpAddress->text();
}

void UnitPrinter::setAddress(const QString &address)
{
    m_inpAddress->setText(address);
}

void UnitPrinter::on_pbConnect_clicked()
{
    if (m_link->isConnected() || m_link->isConnecting()) {
        m_link->disconnectFrom();
        if (!m_link->isConnected())
            socketDisconnected();
        return;
    }
    const PrinterAddress a = parsePrinterAddress(address(), kPrinterPort);
    if (!a.valid) {
        onConnectFailed(a.error);
        return;
    }
    log(tr("Connecting to %1").arg(a.text()));
    m_link->connectTo(a.host, a.port);
}

void UnitPrinter::onConnectFailed(const QString &reason)
{
    log(tr("Failed connection to printer %1: %2").arg(name(), reason));
    showWarning(tr("Failed connection."));
}

void UnitPrinter::socketDisconnected()
{
    setSwitchIcon(false);
    // The job fields keep their last values; a closed link can take no upload.
    m_lblStatus->setText(m_link->state().statusText());
    m_pbUpload->setEnabled(false);
    qDebug() << "TCP Socket disconnected";
}

void UnitPrinter::socketReadyRead()
{
    const PrinterState &s = m_link->state();
    m_lblStatus->setText(s.statusText());
    m_lblTotalLayers->setText(QString::number(s.totalLayers));
    m_lblCurrentLayer->setText(QString::number(s.currentLayer));
    m_progbarPrinting->setRange(0, int(std::max<qint64>(1, s.totalLayers)));
    m_progbarPrinting->setValue(int(s.currentLayer));
    if (s.hasRemainingTime)
        m_lblRemainingTime->setText(s.remainingTimeText());
    if (s.ready) {
        m_lblPixelSize->setText(s.pixelSizeText());
        setSwitchIcon(true);
        m_pbUpload->setEnabled(m_link->isConnected());
    }
}

void UnitPrinter::setPrinterEnabled(bool enabled)
{
    setSwitchIcon(enabled);
    m_lblStatus->setText(enabled ? tr("Connected") : tr("Not connected"));
    m_pbUpload->setEnabled(enabled && m_link->isConnected());
    if (!enabled)
        qDebug() << "TCP Socket disconnected";
}

bool UnitPrinter::isPrinterConnected(bool showMsg)
{
    if (m_link->isConnected())
        return true;
    if (showMsg)
        emit signalTimedMessage(tr("Confirm the printer is connected."), 1200);
    return false;
}

void UnitPrinter::on_pbUpload_clicked()
{
    // While a package is on its way the button stops it.
    if (m_link->isUploading()) {
        m_link->cancelUpload();
        return;
    }
    if (!isPrinterConnected())
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Upload LPK file to Printer"), m_lastUploadLocation,
                                                      tr("LPK file format (*.lpk);;All Files (*)"));
    if (path.isEmpty())
        return;
    m_lastUploadLocation = path;
    tcpFileSend(path);
}

void UnitPrinter::tcpFileSend(QString fileName)
{
    if (!isPrinterConnected())
        return;
    QFile probe(fileName);
    if (!QFileInfo(fileName).isFile() || !probe.open(QIODevice::ReadOnly)) {
        qDebug() << "Cound not open the file for reading.";
        log(tr("%1 could not be opened for reading; nothing was sent").arg(fileName));
        showWarning(tr("The file could not be opened for reading:\n%1").arg(fileName));
        return;
    }
    probe.close();
    QString error;
    if (!m_link->upload(fileName, &error)) {
        log(error);
        showWarning(error);
        return;
    }
    log(tr("Uploading %1 to %2").arg(QFileInfo(fileName).fileName(), name()));
    m_progbarUpload->setRange(0, 1000);
    m_progbarUpload->setValue(0);
    m_progbarUpload->show();
    m_pbUpload->setText(tr("Cancel upload"));
    m_pbUpload->setToolTip(tr("Stop sending the package (the connection is closed)"));
}

void UnitPrinter::onUploadProgress(qint64 sentBytes, qint64 totalBytes)
{
    m_progbarUpload->setValue(totalBytes > 0 ? int(sentBytes * 1000 / totalBytes) : 1000);
}

void UnitPrinter::onUploadFinished(bool ok, const QString &message)
{
    m_progbarUpload->hide();
    m_pbUpload->setText(tr("Upload printing file"));
    m_pbUpload->setToolTip(tr("Upload printing file"));
    m_pbUpload->setEnabled(m_link->isConnected() && m_link->state().ready);
    log(message);
    if (ok)
        emit signalTimedMessage(message, 1500);
    else
        showWarning(message);
}

void UnitPrinter::on_pbDelete_clicked()
{
    // The panel goes away: the stopped upload is only logged, no box is left behind.
    disconnect(m_link, &PrinterConnection::uploadFinished, this, &UnitPrinter::onUploadFinished);
    connect(m_link, &PrinterConnection::uploadFinished, this, [this](bool, const QString &message) { log(message); });
    if (m_link->isUploading())
        m_link->cancelUpload();
    emit signalDeletePrinter();
}

void UnitPrinter::setSwitchIcon(bool on)
{
    m_pbConnect->setIcon(QIcon(on ? QStringLiteral(":/icon/switch_on.png") : QStringLiteral(":/icon/switch_off.png")));
    m_pbConnect->setProperty("switchedOn", on);
}

void UnitPrinter::showWarning(const QString &text)
{
    const QString pad(10, QLatin1Char(' '));
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvell3D"), pad + text + pad, QMessageBox::Ok,
                                this);
    box->setObjectName(QStringLiteral("printerWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Window-modal without a nested event loop: the other printers keep being served.
    box->open();
}

void UnitPrinter::log(const QString &text)
{
    qDebug().noquote() << text;
    emit updateLogWindow(text);
}

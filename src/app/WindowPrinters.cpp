// The printer tab: the list of networked printers, its context menu, and its place in the
// environment settings.

#include "app/Window.h"

#include <QCursor>
#include <QFileInfo>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QTabWidget>

#include "printer/ui/UnitPrinter.h"
#include "ui_Window.h"

QList<UnitPrinter *> Window::printerPanels() const
{
    QList<UnitPrinter *> panels;
    for (int i = 0; i < ui->lwPrinters->count(); ++i)
        if (auto *p = qobject_cast<UnitPrinter *>(ui->lwPrinters->itemWidget(ui->lwPrinters->item(i))))
            panels << p;
    return panels;
}

QList<PrinterEntry> Window::printerEntries() const
{
    QList<PrinterEntry> entries;
    for (const UnitPrinter *p : printerPanels())
        entries << PrinterEntry{p->name(), p->address()};
    return entries;
}

void Window::addPrinter(QString name, QString ip)
{
    auto *panel = new UnitPrinter;
    panel->setName(name);
    panel->setAddress(ip);
    panel->setLastUploadLocation(lastFolder);
    auto *item = new QListWidgetItem(ui->lwPrinters);
    // Only the height: the list gives each panel its own width, without a sideways scroll bar.
    item->setSizeHint(QSize(panel->minimumSizeHint().width() / 2, panel->sizeHint().height()));
    ui->lwPrinters->setItemWidget(item, panel);
    connect(panel, &UnitPrinter::signalDeletePrinter, this, &Window::deletePrinter);
    connect(panel, &UnitPrinter::updateLogWindow, this, &Window::appendLog);
    // The notice waits while events run; queued, so no socket handler is interrupted by it.
    connect(panel, &UnitPrinter::signalTimedMessage, this, &Window::showTimedMessage, Qt::QueuedConnection);
}

void Window::deletePrinter()
{
    // The panel whose button asked; else the entry under the mouse cursor.
    int index = -1;
    if (auto *panel = qobject_cast<UnitPrinter *>(sender()))
        index = printerPanels().indexOf(panel);
    if (index < 0) {
        const QPoint pos = ui->lwPrinters->viewport()->mapFromGlobal(QCursor::pos());
        index = ui->lwPrinters->row(ui->lwPrinters->itemAt(pos));
    }
    if (index < 0)
        return;
    QListWidgetItem *item = ui->lwPrinters->takeItem(index);
    // The panel may be the sender still on the stack: it goes once its click has returned.
    if (QWidget *panel = ui->lwPrinters->itemWidget(item))
        panel->deleteLater();
    delete item;
}

void Window::renamePrinter()
{
    QPoint pos = m_printerMenuPos;
    if (pos.x() < 0)
        pos = ui->lwPrinters->viewport()->mapFromGlobal(QCursor::pos());
    QListWidgetItem *item = ui->lwPrinters->itemAt(pos);
    auto *panel = item ? qobject_cast<UnitPrinter *>(ui->lwPrinters->itemWidget(item)) : nullptr;
    if (!panel) {
        showTimedMessage(tr("Incorrect printer selected"), 1500);
        return;
    }
    QInputDialog ask(this);
    ask.setStyleSheet(QStringLiteral("*{background: white; }"));
    ask.setWindowTitle(tr("Please enter a new name"));
    ask.setLabelText(tr("New printer name: "));
    ask.setTextValue(panel->name());
    if (ask.exec() == QDialog::Accepted)
        panel->setName(ask.textValue());
}

void Window::printerContextMenu(const QPoint &pos)
{
    if (ui->tabMenu->currentWidget() != ui->tabPrinter)
        return;
    m_printerMenuPos = pos;
    QMenu menu(this);
    QAction *add = menu.addAction(QIcon(QStringLiteral(":/icon/add.ico")), tr("Add"));
    QAction *rename = menu.addAction(tr("Rename"));
    QAction *chosen = menu.exec(ui->lwPrinters->viewport()->mapToGlobal(pos));
    if (chosen == add)
        addPrinter(tr("Printer Name"), QStringLiteral("000.000.000.000"));
    else if (chosen == rename)
        renamePrinter();
    m_printerMenuPos = QPoint(-1, -1);
}

void Window::applyPrinterSettings()
{
    // Reading a settings file again replaces the list; open links go with their panels.
    while (ui->lwPrinters->count() > 0) {
        QListWidgetItem *item = ui->lwPrinters->takeItem(0);
        delete ui->lwPrinters->itemWidget(item);
        delete item;
    }
    for (const PrinterEntry &p : std::as_const(settings.printer.printers))
        addPrinter(p.name, p.address);
    m_appliedPrinters = printerEntries();
}

void Window::collectPrinterSettings()
{
    const QList<PrinterEntry> now = printerEntries();
    if (now == m_appliedPrinters)
        return;
    settings.printer.printers = now;
    m_appliedPrinters = now;
}

#include "update/ui/FvUpdateWindows.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QtDebug>

#include "update/ui/FvUpdateConfirmDialog.h"
#include "update/ui/FvUpdateWindow.h"

namespace {

void showBox(QWidget *parent, QMessageBox::Icon icon, const QString &text, const QString &message)
{
    auto *box = new QMessageBox(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("updateMessageBox"));
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal: a check started at start-up must not stop the window's work.
    box->open();
}

} // namespace

FvUpdateWindows::~FvUpdateWindows()
{
    delete m_updateWindow.data();
    delete m_confirmDialog.data();
}

void FvUpdateWindows::showErrorMessage(const QString &message)
{
    showBox(m_parent, QMessageBox::Critical, QObject::tr("Error"), message);
}

void FvUpdateWindows::showInformationMessage(const QString &message)
{
    showBox(m_parent, QMessageBox::Information, QObject::tr("Information"), message);
}

void FvUpdateWindows::showUpdateWindow(const FvAvailableUpdate &update)
{
    closeUpdateWindow();
    m_updateWindow = new FvUpdateWindow(update, m_parent);
    FvUpdater *updater = FvUpdater::sharedUpdater();
    QObject::connect(m_updateWindow, &FvUpdateWindow::skipClicked, updater, &FvUpdater::SkipUpdate);
    QObject::connect(m_updateWindow, &FvUpdateWindow::remindLaterClicked, updater, &FvUpdater::RemindMeLater);
    QObject::connect(m_updateWindow, &FvUpdateWindow::installClicked, updater, &FvUpdater::InstallUpdate);
    m_updateWindow->show();
}

void FvUpdateWindows::closeUpdateWindow()
{
    if (m_updateWindow && !m_updateWindow->close())
        qWarning() << "Update window didn't close, leaking memory from now on";
    m_updateWindow = nullptr;
}

void FvUpdateWindows::showConfirmDialog(const FvAvailableUpdate &update)
{
    closeConfirmDialog();
    m_confirmDialog = new FvUpdateConfirmDialog(update, m_parent);
    FvUpdater *updater = FvUpdater::sharedUpdater();
    QObject::connect(m_confirmDialog, &QDialog::accepted, updater, &FvUpdater::UpdateInstallationConfirmed);
    QObject::connect(m_confirmDialog, &QDialog::rejected, updater, &FvUpdater::UpdateInstallationNotConfirmed);
    m_confirmDialog->show();
}

void FvUpdateWindows::closeConfirmDialog()
{
    if (m_confirmDialog && !m_confirmDialog->close())
        qWarning() << "Update confirmation dialog didn't close, leaking memory from now on";
    m_confirmDialog = nullptr;
}

bool FvUpdateWindows::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

#pragma once

#include <QPointer>

#include "update/FvUpdater.h"
#include "update/ui/FvUpdateConfirmDialog.h"
#include "update/ui/FvUpdateWindow.h"

// The update check's windows and message boxes, wired to the shared updater's answers.
class FvUpdateWindows : public FvUpdatePresenter
{
public:
    explicit FvUpdateWindows(QWidget *parent = nullptr) : m_parent(parent) {}
    ~FvUpdateWindows() override;

    void showErrorMessage(const QString &message) override;
    void showInformationMessage(const QString &message) override;
    void showUpdateWindow(const FvAvailableUpdate &update) override;
    void closeUpdateWindow() override;
    void showConfirmDialog(const FvAvailableUpdate &update) override;
    void closeConfirmDialog() override;
    bool openUrl(const QUrl &url) override;

    FvUpdateWindow *updateWindow() const { return m_updateWindow; }
    FvUpdateConfirmDialog *confirmDialog() const { return m_confirmDialog; }

private:
    QWidget *m_parent = nullptr;
    QPointer<FvUpdateWindow> m_updateWindow;
    QPointer<FvUpdateConfirmDialog> m_confirmDialog;
};

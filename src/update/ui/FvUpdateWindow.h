#pragma once

#include <QDialog>

#include "update/FvAvailableUpdate.h"

class QLabel;
class QTextBrowser;

// "Software Update": the offered version with its release notes and the three answers.
// The notes are shown as rich text; remote images and other resources are never loaded, and
// links open in the browser only when the user clicks them.
class FvUpdateWindow : public QDialog
{
    Q_OBJECT
public:
    explicit FvUpdateWindow(const FvAvailableUpdate &update, QWidget *parent = nullptr);

    QTextBrowser *releaseNotes() const { return m_notes; }

signals:
    void skipClicked();
    void remindLaterClicked();
    void installClicked();

private:
    void fetchReleaseNotes(const QUrl &url);
    QTextBrowser *m_notes = nullptr;
};

#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress dialog of long runs (slicing): a title line, a progress bar, two labelled
// values (elapsed and remaining time) and a Cancel button. Closing it with Escape or the
// window's close button counts as Cancel, so a run can always be stopped.
class ProgressWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    void setTitleText(const QString &text);
    void setLabel1(const QString &text);
    void setLabel2(const QString &text);
    void setValue1(const QString &text);
    void setValue2(const QString &text);
    void setProgressMaximum(int maximum);
    void setProgressValue(int value);

    QString titleText() const;
    QString value1() const;
    QString value2() const;
    int progressValue() const;

    // Closes without reporting a cancel (the run has ended).
    void finish();

    void reject() override;

signals:
    void canceled();

public slots:
    void on_pbCancel_clicked();

private:
    QLabel *m_title;
    QLabel *m_label1;
    QLabel *m_label2;
    QLabel *m_value1;
    QLabel *m_value2;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    bool m_finished = false;
};

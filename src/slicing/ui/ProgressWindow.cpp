#include "slicing/ui/ProgressWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(tr("Slicing Progress"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_title = new QLabel(tr("Please wait.."), this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setFormat(QStringLiteral("%p%"));
    m_label1 = new QLabel(tr("Elapsed time: "), this);
    m_label1->setObjectName(QStringLiteral("lblLabel1"));
    m_value1 = new QLabel(this);
    m_value1->setObjectName(QStringLiteral("lblValue1"));
    m_label2 = new QLabel(tr("Remaining time: "), this);
    m_label2->setObjectName(QStringLiteral("lblLabel2"));
    m_value2 = new QLabel(this);
    m_value2->setObjectName(QStringLiteral("lblValue2"));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("pbCancel"));
    m_cancel->setAutoDefault(false);

    auto *times = new QGridLayout;
    times->addWidget(m_label1, 0, 0);
    times->addWidget(m_value1, 0, 1);
    times->addWidget(m_label2, 1, 0);
    times->addWidget(m_value2, 1, 1);
    times->setColumnStretch(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_bar);
    layout->addLayout(times);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    setMinimumWidth(360);

    QMetaObject::connectSlotsByName(this);
}

void ProgressWindow::setTitleText(const QString &text) { m_title->setText(text); }
void ProgressWindow::setLabel1(const QString &text) { m_label1->setText(text); }
void ProgressWindow::setLabel2(const QString &text) { m_label2->setText(text); }
void ProgressWindow::setValue1(const QString &text) { m_value1->setText(text); }
void ProgressWindow::setValue2(const QString &text) { m_value2->setText(text); }
void ProgressWindow::setProgressMaximum(int maximum) { m_bar->setMaximum(maximum); }
void ProgressWindow::setProgressValue(int value) { m_bar->setValue(value); }

QString ProgressWindow::titleText() const { return m_title->text(); }
QString ProgressWindow::value1() const { return m_value1->text(); }
QString ProgressWindow::value2() const { return m_value2->text(); }
int ProgressWindow::progressValue() const { return m_bar->value(); }

void ProgressWindow::finish()
{
    m_finished = true;
    close();
}

void ProgressWindow::reject()
{
    // Escape and the close button stop the run like Cancel does.
    if (!m_finished)
        emit canceled();
    QDialog::reject();
}

void ProgressWindow::on_pbCancel_clicked()
{
    m_finished = true;
    emit canceled();
    QDialog::reject();
}

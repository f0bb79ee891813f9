#pragma once

#include <QDialog>

#include "config/ResinProfile.h"

namespace Ui {
class ResinExportOption;
}

// Asks which profiles an export takes and what note to append to each.
class ResinExportOption : public QDialog
{
    Q_OBJECT
public:
    explicit ResinExportOption(QWidget *parent = nullptr);
    ~ResinExportOption() override;

    ProfileExportSelection selection() const { return m_selection; }
    QString note() const;

private slots:
    void on_buttonBox_accepted();
    void on_rbOnlyShown_clicked();
    void on_rbOnlyResin_clicked();
    void on_rbAll_clicked();

private:
    Ui::ResinExportOption *ui;
    ProfileExportSelection m_selection = ProfileExportSelection::OnlyShown;
};

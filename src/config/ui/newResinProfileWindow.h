#pragma once

#include <QDialog>

#include "config/ResinProfile.h"

namespace Ui {
class newResinProfileWindow;
}

// Enters a new resin profile, preset with the profile the package dialog shows.
class newResinProfileWindow : public QDialog
{
    Q_OBJECT
public:
    explicit newResinProfileWindow(QWidget *parent = nullptr);
    ~newResinProfileWindow() override;

    void setProfile(const ResinProfile &p);
    // The entered values; machine and note are the preset's.
    ResinProfile profile() const;

private slots:
    void on_buttonBox_accepted();
    void on_cmbAA_currentIndexChanged(int index);
    void on_inpDilationLevel_valueChanged(int level);

private:
    Ui::newResinProfileWindow *ui;
    ResinProfile m_preset;
};

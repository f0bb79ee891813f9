#pragma once

#include <QDialog>

#include "config/EnvironmentSettings.h"

namespace Ui {
class printerSetting;
}

// "Orvell3D Settings": view and input options. The dialog works on a copy of the machine
// settings; only the "Options" tab is shown, the machine values travel through unchanged.
class printerSetting : public QDialog
{
    Q_OBJECT
public:
    explicit printerSetting(const EnvironmentSettings &machine, QWidget *parent = nullptr);
    ~printerSetting() override;

    // The copy: after OK it holds what the controls show.
    EnvironmentSettings values;

    Ui::printerSetting *ui = nullptr;

public slots:
    // Fills the controls from the copy.
    void updateParameters();
    // Copies the controls back into the copy and closes the dialog.
    void on_buttonBox_accepted();
};

// Responsiveness as the dialog shows it (× 100, to the nearest integer) and back.
int responsivenessPercent(float response);
float responsivenessFromPercent(int percent);

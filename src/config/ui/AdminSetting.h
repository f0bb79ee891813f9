#pragma once

#include <QDialog>

namespace Ui {
class AdminSetting;
}

// The hidden administrator dialog (Alt+A in the main window): the contrast curve on slices.
class AdminSetting : public QDialog
{
    Q_OBJECT
public:
    explicit AdminSetting(bool pixelGrayscaleUpdate, QWidget *parent = nullptr);
    ~AdminSetting() override;

    bool pixelGrayscaleUpdate() const { return m_flag; }

    Ui::AdminSetting *ui = nullptr;

public slots:
    void on_buttonBox_accepted();
    void updateParameters();

private:
    bool m_flag = false;
};

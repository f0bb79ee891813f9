#include "config/ui/AdminSetting.h"

#include "ui_AdminSetting.h"

AdminSetting::AdminSetting(bool pixelGrayscaleUpdate, QWidget *parent)
    : QDialog(parent), ui(new Ui::AdminSetting), m_flag(pixelGrayscaleUpdate)
{
    ui->setupUi(this);
    updateParameters();
}

AdminSetting::~AdminSetting()
{
    delete ui;
}

void AdminSetting::on_buttonBox_accepted()
{
    m_flag = ui->cbPixelGrayscaleUpdate->isChecked();
    accept();
}

void AdminSetting::updateParameters()
{
    ui->cbPixelGrayscaleUpdate->setChecked(m_flag);
}

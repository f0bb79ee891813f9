#include "config/ui/printerSetting.h"

#include "ui_printerSetting.h"

int responsivenessPercent(float response)
{
    // Nearest, not truncated: 0.29f is 0.28999… and must still show 29.
    return qRound(double(response) * 100.0);
}

float responsivenessFromPercent(int percent)
{
    return float(percent) / 100.0f;
}

printerSetting::printerSetting(const EnvironmentSettings &machine, QWidget *parent)
    : QDialog(parent), values(machine), ui(new Ui::printerSetting)
{
    ui->setupUi(this);
    // Printer, Correction and Printing are the machine maker's; users get the options.
    while (ui->tabWidget->count() > 1)
        ui->tabWidget->removeTab(1);
    // Filled at once, so an OK right after opening cannot copy empty controls back.
    updateParameters();
}

printerSetting::~printerSetting()
{
    delete ui;
}

void printerSetting::updateParameters()
{
    ui->cbWheelZoomDir->setChecked(values.misc.wheelZoomDir);
    ui->inpMouseResponse->setValue(responsivenessPercent(values.misc.modelViewResponse));
    ui->cbZoomCenterMoving->setChecked(values.misc.zoomCenterMoving);
    ui->cbOrthographic->setChecked(values.misc.orthographicalProjection);
}

void printerSetting::on_buttonBox_accepted()
{
    values.misc.wheelZoomDir = ui->cbWheelZoomDir->isChecked();
    values.misc.modelViewResponse = responsivenessFromPercent(ui->inpMouseResponse->value());
    values.misc.zoomCenterMoving = ui->cbZoomCenterMoving->isChecked();
    values.misc.orthographicalProjection = ui->cbOrthographic->isChecked();
    accept();
}

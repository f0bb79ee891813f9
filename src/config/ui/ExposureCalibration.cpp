#include "config/ui/ExposureCalibration.h"

#include <QHeaderView>
#include <QPushButton>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QtDebug>

#include "ui_ExposureCalibration.h"

namespace {

QString tableText(double value)
{
    return QString::asprintf("%.1f", value);
}

} // namespace

ExposureCalibration::ExposureCalibration(int projWidthPx, int projHeightPx, double pixelSizeUm, QWidget *parent)
    : QDialog(parent), ui(new Ui::ExposureCalibration)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Create File"));
    {
        const QSignalBlocker w(ui->inpProjWidth), h(ui->inpProjHeight), p(ui->inpPixelSize);
        ui->inpProjWidth->setValue(projWidthPx);
        ui->inpProjHeight->setValue(projHeightPx);
        ui->inpPixelSize->setValue(pixelSizeUm);
    }
    ui->tableGrayscale->setColumnCount(1);
    ui->tableGrayscale->setHorizontalHeaderLabels({tr("Gray (%)")});
    ui->tableGrayscale->horizontalHeader()->setStretchLastSection(true);
    ui->tableExposure->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(ui->tableExposure, &QTableWidget::cellChanged, this, &ExposureCalibration::onTableEdited);
    setFill(CalibrationFill::Linear);
    resizeGrayTable();
    on_cbEnableGrayscale_clicked();
}

ExposureCalibration::~ExposureCalibration()
{
    delete ui;
}

void ExposureCalibration::setFill(CalibrationFill fill)
{
    m_fill = fill;
    const bool linear = fill == CalibrationFill::Linear;
    ui->rbLinear->setChecked(linear);
    ui->rbExponential->setChecked(!linear);
    ui->lblIncrement->setText(linear ? tr("Increment (sec)") : tr("Multiplication factor"));
    {
        const QSignalBlocker block(ui->inpIncrement);
        ui->inpIncrement->setSingleStep(linear ? 0.5 : 0.1);
        ui->inpIncrement->setDecimals(linear ? 1 : 2);
        ui->inpIncrement->setMinimum(linear ? 0.0 : 1.0);
        ui->inpIncrement->setValue(linear ? m_incrementS : m_factor);
    }
    fillTable();
}

void ExposureCalibration::fillTable()
{
    const int rows = ui->inpNumHeight->value();
    const int columns = ui->inpNumWidth->value();
    const QList<double> row = calibrationRow(m_fill, ui->inpExpInitial->value(),
                                             m_fill == CalibrationFill::Linear ? m_incrementS : m_factor, columns);
    m_filling = true;
    QTableWidget *t = ui->tableExposure;
    t->clear();
    t->setRowCount(rows);
    t->setColumnCount(columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            auto *cell = new QTableWidgetItem(tableText(row[c]));
            cell->setTextAlignment(Qt::AlignCenter);
            if (r > 0) {
                cell->setFlags(Qt::ItemIsEnabled);
                cell->setBackground(palette().color(QPalette::Disabled, QPalette::Window));
                cell->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
            t->setItem(r, c, cell);
        }
    }
    m_filling = false;
}

void ExposureCalibration::onTableEdited(int row, int column)
{
    if (m_filling || row != 0)
        return;
    QTableWidgetItem *edited = ui->tableExposure->item(0, column);
    bool ok = false;
    const double value = edited->text().trimmed().toDouble(&ok);
    m_filling = true;
    const QString text = ok && value > 0 ? tableText(value) : QString();
    edited->setText(text);
    // The grey rows repeat the first.
    for (int r = 1; r < ui->tableExposure->rowCount(); ++r)
        ui->tableExposure->item(r, column)->setText(text);
    m_filling = false;
}

void ExposureCalibration::resizeGrayTable()
{
    QTableWidget *t = ui->tableGrayscale;
    const int rows = ui->inpNumHeight->value();
    const int old = t->rowCount();
    t->setRowCount(rows);
    for (int r = old; r < rows; ++r) {
        auto *cell = new QTableWidgetItem(QString::number(qMax(25, 100 - 25 * r)));
        cell->setTextAlignment(Qt::AlignCenter);
        t->setItem(r, 0, cell);
    }
}

CalibrationSettings ExposureCalibration::settings() const
{
    CalibrationSettings s;
    s.fill = m_fill;
    s.initialExposureS = ui->inpExpInitial->value();
    s.incrementS = m_incrementS;
    s.factor = m_factor;
    s.rows = ui->inpNumHeight->value();
    s.columns = ui->inpNumWidth->value();
    for (int r = 0; r < s.rows; ++r) {
        for (int c = 0; c < s.columns; ++c) {
            const QTableWidgetItem *cell = ui->tableExposure->item(r, c);
            bool ok = false;
            const double value = cell ? cell->text().toDouble(&ok) : 0.0;
            s.exposuresS << (ok ? value : 0.0);
        }
    }
    s.grayscale = ui->cbEnableGrayscale->isChecked();
    for (int r = 0; r < s.rows; ++r) {
        const QTableWidgetItem *cell = ui->tableGrayscale->item(r, 0);
        bool ok = false;
        const double value = cell ? cell->text().toDouble(&ok) : 100.0;
        s.grayPercent << (ok ? value : -1.0);
    }
    s.labels = ui->cbShowExpTime->isChecked();
    s.linePatterns = ui->cbShowLinePatterns->isChecked();
    s.widthPx = ui->inpProjWidth->value();
    s.heightPx = ui->inpProjHeight->value();
    s.pixelSizeUm = ui->inpPixelSize->value();
    s.thicknessUm = ui->inpSliceThickness->value();
    s.normalLayers = ui->inpNumNormalLayers->value();
    s.baseLayers = ui->inpNumBaseLayers->value();
    s.baseExposureS = ui->inpBaseExposure->value();
    return s;
}

void ExposureCalibration::on_rbLinear_clicked()
{
    setFill(CalibrationFill::Linear);
}

void ExposureCalibration::on_rbExponential_clicked()
{
    setFill(CalibrationFill::Exponential);
}

void ExposureCalibration::on_inpExpInitial_valueChanged(double)
{
    fillTable();
}

void ExposureCalibration::on_inpIncrement_valueChanged(double value)
{
    (m_fill == CalibrationFill::Linear ? m_incrementS : m_factor) = value;
    fillTable();
}

void ExposureCalibration::on_inpPixelSize_valueChanged(double value)
{
    emit pixelSizeChanged(value);
}

void ExposureCalibration::on_buttonBox_accepted()
{
    const QString bad = settings().check();
    if (!bad.isEmpty()) {
        qWarning().noquote() << "Exposure calibration:" << bad;
        QMessageBox::warning(this, windowTitle(), bad);
        return;
    }
    accept();
}

void ExposureCalibration::on_inpProjWidth_valueChanged(int value)
{
    emit projWidthChanged(value);
}

void ExposureCalibration::on_inpProjHeight_valueChanged(int value)
{
    emit projHeightChanged(value);
}

void ExposureCalibration::on_inpNumWidth_valueChanged(int)
{
    fillTable();
}

void ExposureCalibration::on_inpNumHeight_valueChanged(int)
{
    fillTable();
    resizeGrayTable();
}

void ExposureCalibration::on_cbEnableGrayscale_clicked()
{
    ui->tableGrayscale->setEnabled(ui->cbEnableGrayscale->isChecked());
}

void ExposureCalibration::on_inpBaseExposure_valueChanged(int) {}

void ExposureCalibration::on_cbShowExpTime_clicked() {}

void ExposureCalibration::on_cbShowLinePatterns_clicked() {}

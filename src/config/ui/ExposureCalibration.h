#pragma once

#include <QDialog>

#include "config/CalibrationPlan.h"

namespace Ui {
class ExposureCalibration;
}

// "Exposure Calibration": the table of patch exposures (filled linearly or exponentially),
// grey rows, labels and line patterns, and the layers of the calibration print. Resolution
// and pixel size are the main window's: edits here are reported at once by the three
// signals so the window follows.
class ExposureCalibration : public QDialog
{
    Q_OBJECT
public:
    ExposureCalibration(int projWidthPx, int projHeightPx, double pixelSizeUm, QWidget *parent = nullptr);
    ~ExposureCalibration() override;

    // What the generator gets: the table read row by row, the grey list, switches and layers.
    CalibrationSettings settings() const;

    Ui::ExposureCalibration *ui = nullptr;

signals:
    void projWidthChanged(int width);
    void projHeightChanged(int height);
    void pixelSizeChanged(double size);

private slots:
    void on_rbLinear_clicked();
    void on_rbExponential_clicked();
    void on_inpExpInitial_valueChanged(double value);
    void on_inpIncrement_valueChanged(double value);
    void on_inpPixelSize_valueChanged(double value);
    void on_buttonBox_accepted();
    void on_inpProjWidth_valueChanged(int value);
    void on_inpProjHeight_valueChanged(int value);
    void on_inpNumWidth_valueChanged(int value);
    void on_inpNumHeight_valueChanged(int value);
    void on_cbEnableGrayscale_clicked();
    void on_inpBaseExposure_valueChanged(int value);
    void on_cbShowExpTime_clicked();
    void on_cbShowLinePatterns_clicked();

private:
    void setFill(CalibrationFill fill);
    // Rebuilds the table from the formula: row 0 editable, the other rows grey copies.
    void fillTable();
    void resizeGrayTable();
    void onTableEdited(int row, int column);
    CalibrationFill m_fill = CalibrationFill::Linear;
    double m_incrementS = 2.0;
    double m_factor = 1.5;
    bool m_filling = false;
};

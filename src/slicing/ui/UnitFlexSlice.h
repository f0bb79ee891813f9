#pragma once

#include <QWidget>

#include "slicing/LayerSchedule.h"

class QDoubleSpinBox;
class QGroupBox;
class QPushButton;
class QSlider;
class QSpinBox;

// One row of the flex-slice list: a height range with its own layer thickness and exposure
// ratio, switched on and off by its button. Heights in mm (sliders in µm), thickness in µm,
// ratio in percent.
class UnitFlexSlice : public QWidget
{
    Q_OBJECT
public:
    explicit UnitFlexSlice(QWidget *parent = nullptr);

    double from() const;
    double to() const;
    int thickness() const;
    int exposureRatio() const;   // percent
    bool isOn() const { return m_on; }
    QString title() const;

    void setTitle(const QString &title);
    void setRange(double from, double to);
    void setThickness(int um);
    void setExposureRatio(int percent);
    void setOn(bool on);

    // The range as the layer schedule takes it.
    FlexSliceRange range() const;

signals:
    void signalDeleteFlexSlice();
    void signalUpdateRange(double _from, double _to);
    void signalEnableFlexSlice(bool _isOn);

public slots:
    void updateMaxZ(double _maxz);
    void on_pbRemove_clicked();
    void on_pbEnable_clicked();
    void on_inpFrom_valueChanged(double value);
    void on_inpTo_valueChanged(double value);
    void on_sliderFrom_valueChanged(int value);
    void on_sliderTo_valueChanged(int value);
    void on_inpThickness_valueChanged(int value);
    void on_inpExpRatio_valueChanged(int value);

private:
    void applyOn();

    QGroupBox *m_box;
    QDoubleSpinBox *m_inpFrom;
    QDoubleSpinBox *m_inpTo;
    QSlider *m_sliderFrom;
    QSlider *m_sliderTo;
    QSpinBox *m_inpThickness;
    QSpinBox *m_inpExpRatio;
    QPushButton *m_pbEnable;
    QPushButton *m_pbRemove;
    bool m_on = false;
};

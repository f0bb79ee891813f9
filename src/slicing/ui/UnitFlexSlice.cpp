#include "slicing/ui/UnitFlexSlice.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSlider *micronSlider(const char *name, QWidget *parent)
{
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(0, 100000);
    s->setSingleStep(100);
    s->setPageStep(1000);
    return s;
}

QDoubleSpinBox *mmBox(const char *name, QWidget *parent)
{
    auto *b = new QDoubleSpinBox(parent);
    b->setObjectName(name);
    b->setDecimals(2);
    b->setRange(0.0, 100.0);
    b->setSingleStep(0.1);
    b->setSuffix(" mm");
    return b;
}

} // namespace

UnitFlexSlice::UnitFlexSlice(QWidget *parent) : QWidget(parent)
{
    m_box = new QGroupBox(this);
    m_inpFrom = mmBox("inpFrom", m_box);
    m_inpTo = mmBox("inpTo", m_box);
    m_sliderFrom = micronSlider("sliderFrom", m_box);
    m_sliderTo = micronSlider("sliderTo", m_box);
    m_inpThickness = new QSpinBox(m_box);
    m_inpThickness->setObjectName("inpThickness");
    m_inpThickness->setRange(0, 400);
    m_inpThickness->setSingleStep(10);
    m_inpThickness->setValue(50);
    m_inpThickness->setSuffix(" µm");
    m_inpExpRatio = new QSpinBox(m_box);
    m_inpExpRatio->setObjectName("inpExpRatio");
    m_inpExpRatio->setRange(0, 400);
    m_inpExpRatio->setSingleStep(10);
    m_inpExpRatio->setValue(100);
    m_inpExpRatio->setSuffix(" %");
    m_pbEnable = new QPushButton(m_box);
    m_pbEnable->setObjectName("pbEnable");
    m_pbEnable->setFlat(true);
    m_pbEnable->setToolTip(tr("Switch this range on or off"));
    m_pbRemove = new QPushButton(tr("Remove"), m_box);
    m_pbRemove->setObjectName("pbRemove");

    auto *grid = new QGridLayout(m_box);
    grid->addWidget(new QLabel(tr("From"), m_box), 0, 0);
    grid->addWidget(m_inpFrom, 0, 1);
    grid->addWidget(m_sliderFrom, 0, 2);
    grid->addWidget(new QLabel(tr("To"), m_box), 1, 0);
    grid->addWidget(m_inpTo, 1, 1);
    grid->addWidget(m_sliderTo, 1, 2);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Thickness"), m_box));
    row->addWidget(m_inpThickness);
    row->addWidget(new QLabel(tr("Exposure"), m_box));
    row->addWidget(m_inpExpRatio);
    row->addStretch();
    row->addWidget(m_pbEnable);
    row->addWidget(m_pbRemove);
    grid->addLayout(row, 2, 0, 1, 3);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_box);

    QMetaObject::connectSlotsByName(this);
    applyOn();
}

double UnitFlexSlice::from() const { return m_inpFrom->value(); }
double UnitFlexSlice::to() const { return m_inpTo->value(); }
int UnitFlexSlice::thickness() const { return m_inpThickness->value(); }
int UnitFlexSlice::exposureRatio() const { return m_inpExpRatio->value(); }
QString UnitFlexSlice::title() const { return m_box->title(); }

void UnitFlexSlice::setTitle(const QString &title)
{
    m_box->setTitle(title);
}

void UnitFlexSlice::setRange(double from, double to)
{
    // The upper end first, so a range above the current one is not clipped by the old end.
    m_inpTo->setValue(to);
    m_inpFrom->setValue(from);
    m_inpTo->setValue(to);
}

void UnitFlexSlice::setThickness(int um) { m_inpThickness->setValue(um); }
void UnitFlexSlice::setExposureRatio(int percent) { m_inpExpRatio->setValue(percent); }

void UnitFlexSlice::setOn(bool on)
{
    if (on != m_on)
        on_pbEnable_clicked();
}

FlexSliceRange UnitFlexSlice::range() const
{
    return FlexSliceRange{from(), to(), thickness(), exposureRatio() / 100.0};
}

void UnitFlexSlice::updateMaxZ(double _maxz)
{
    m_inpTo->setMaximum(_maxz);
    m_sliderTo->setMaximum(int(_maxz * 1000));
}

void UnitFlexSlice::on_pbRemove_clicked()
{
    emit signalDeleteFlexSlice();
}

void UnitFlexSlice::on_pbEnable_clicked()
{
    m_on = !m_on;
    applyOn();
    emit signalEnableFlexSlice(m_on);
}

void UnitFlexSlice::applyOn()
{
    m_pbEnable->setIcon(QIcon(m_on ? ":/icon/switch_on.png" : ":/icon/switch_off.png"));
    m_pbEnable->setText(m_pbEnable->icon().isNull() ? (m_on ? tr("On") : tr("Off")) : QString());
    for (QWidget *w : {static_cast<QWidget *>(m_inpFrom), static_cast<QWidget *>(m_inpTo),
                       static_cast<QWidget *>(m_sliderFrom), static_cast<QWidget *>(m_sliderTo),
                       static_cast<QWidget *>(m_inpThickness), static_cast<QWidget *>(m_inpExpRatio)})
        w->setEnabled(m_on);
}

void UnitFlexSlice::on_inpFrom_valueChanged(double value)
{
    const int um = int(value * 1000);
    {
        const QSignalBlocker block(m_sliderFrom);   // the slider would write the value back
        m_sliderFrom->setValue(um);
    }
    m_sliderTo->setMinimum(um);
    emit signalUpdateRange(from(), to());
}

void UnitFlexSlice::on_inpTo_valueChanged(double value)
{
    const int um = int(value * 1000);
    {
        const QSignalBlocker block(m_sliderTo);
        m_sliderTo->setValue(um);
    }
    m_sliderFrom->setMaximum(um);
    emit signalUpdateRange(from(), to());
}

void UnitFlexSlice::on_sliderFrom_valueChanged(int value)
{
    {
        const QSignalBlocker block(m_inpFrom);
        m_inpFrom->setValue(value / 1000.0);
    }
    m_sliderTo->setMinimum(value);
    emit signalUpdateRange(from(), to());
}

void UnitFlexSlice::on_sliderTo_valueChanged(int value)
{
    {
        const QSignalBlocker block(m_inpTo);
        m_inpTo->setValue(value / 1000.0);
    }
    m_sliderFrom->setMaximum(value);
    emit signalUpdateRange(from(), to());
}

void UnitFlexSlice::on_inpThickness_valueChanged(int)
{
    // Read when the range is handed to the slicer; nothing to update here.
}

void UnitFlexSlice::on_inpExpRatio_valueChanged(int)
{
    // Read when the range is handed to the package writer.
}

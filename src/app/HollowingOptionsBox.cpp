#include "app/HollowingOptionsBox.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {

QDoubleSpinBox *millimetres(QWidget *parent, const char *name, double min, double max, double value)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setDecimals(2);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

} // namespace

HollowingOptionsBox::HollowingOptionsBox(QWidget *parent) : QGroupBox(tr("Hollowing"), parent)
{
    setObjectName(QStringLiteral("grpHollowing"));
    setCheckable(true);
    setChecked(false);
    setToolTip(tr("Hollows the models' layers: a wall of the given thickness stays, in X/Y and in Z; "
                  "the bottom of the print and its top stay closed. Add drain holes so resin can leave "
                  "the cavity."));
    auto *form = new QFormLayout(this);
    m_wall = millimetres(this, "inpHollowWall", 0.1, 20.0, 2.0);
    m_pillars = new QCheckBox(tr("Pillars inside the cavity"), this);
    m_pillars->setObjectName(QStringLiteral("cbHollowPillars"));
    m_radius = millimetres(this, "inpPillarRadius", 0.1, 10.0, 0.5);
    m_pitch = millimetres(this, "inpPillarPitch", 0.5, 100.0, 5.0);
    form->addRow(tr("Wall thickness"), m_wall);
    form->addRow(m_pillars);
    form->addRow(tr("Pillar radius"), m_radius);
    form->addRow(tr("Pillar pitch"), m_pitch);
    connect(m_pillars, &QCheckBox::toggled, this, &HollowingOptionsBox::updateInterlocks);
    connect(this, &QGroupBox::toggled, this, &HollowingOptionsBox::updateInterlocks);
    updateInterlocks();
}

void HollowingOptionsBox::updateInterlocks()
{
    m_radius->setEnabled(isChecked() && m_pillars->isChecked());
    m_pitch->setEnabled(isChecked() && m_pillars->isChecked());
}

HollowingRequest HollowingOptionsBox::request() const
{
    HollowingRequest r;
    if (!isChecked())
        return r;
    r.wallMm = m_wall->value();
    if (m_pillars->isChecked()) {
        r.pillarRadiusMm = m_radius->value();
        r.pillarPitchMm = m_pitch->value();
    }
    return r;
}

void HollowingOptionsBox::setRequest(const HollowingRequest &request)
{
    setChecked(request.enabled());
    if (request.enabled())
        m_wall->setValue(request.wallMm);
    m_pillars->setChecked(request.pillars());
    if (request.pillars()) {
        m_radius->setValue(request.pillarRadiusMm);
        m_pitch->setValue(request.pillarPitchMm);
    }
    updateInterlocks();
}

HollowingOptionsBox *HollowingOptionsBox::addTo(QDialog *dialog, const HollowingRequest &request)
{
    auto *box = new HollowingOptionsBox(dialog);
    box->setRequest(request);
    if (auto *layout = qobject_cast<QBoxLayout *>(dialog->layout()))
        layout->insertWidget(std::max(0, layout->count() - 1), box);
    else if (dialog->layout())
        dialog->layout()->addWidget(box);
    return box;
}

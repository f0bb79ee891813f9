#include "app/SettingsInputs.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QWidget>

#include <cmath>
#include <limits>

namespace {

QVariant toVariant(bool v) { return v; }
QVariant toVariant(int v) { return v; }
QVariant toVariant(float v) { return double(v); }
QVariant toVariant(double v) { return v; }

void assign(bool &field, const QVariant &v) { field = v.toBool(); }
void assign(double &field, const QVariant &v) { field = v.toDouble(); }
void assign(float &field, const QVariant &v) { field = float(v.toDouble()); }
void assign(int &field, const QVariant &v)
{
    const double d = v.toDouble();
    if (!std::isfinite(d))
        field = 0;
    else if (d >= double(std::numeric_limits<int>::max()))
        field = std::numeric_limits<int>::max();
    else if (d <= double(std::numeric_limits<int>::min()))
        field = std::numeric_limits<int>::min();
    else
        field = int(std::lround(d));
}

// `ref` is a generic lambda returning a reference to one field, usable on const and
// non-const settings alike.
template <typename Ref>
SettingsInputs::Binding bind(const char *input, Ref ref, bool positiveOnly = false)
{
    SettingsInputs::Binding b;
    b.input = QString::fromLatin1(input);
    b.read = [ref](const EnvironmentSettings &s) { return toVariant(ref(s)); };
    b.write = [ref](EnvironmentSettings &s, const QVariant &v) { assign(ref(s), v); };
    b.positiveOnly = positiveOnly;
    return b;
}

constexpr bool positive = true;

} // namespace

SettingsInputs::SettingsInputs()
{
    // clang-format off
    m_bindings = {
        // Misc
        bind("inpSliceQuality", [](auto &s) -> auto & { return s.misc.slicingQualityFactor; }, positive),
        // Models
        bind("cbScaleLock", [](auto &s) -> auto & { return s.models.modelScaleLock; }),
        bind("inpDrainDia", [](auto &s) -> auto & { return s.models.drainHoleDiameterMm; }, positive),
        bind("inpDrainHeight", [](auto &s) -> auto & { return s.models.drainHoleHeightMm; }, positive),
        // Support
        bind("inpSupportCriticalAngle", [](auto &s) -> auto & { return s.support.criticalAngleDeg; }),
        bind("inpSupportThreshAngle", [](auto &s) -> auto & { return s.support.thresholdAngleDeg; }),
        bind("inpSupportContactDia", [](auto &s) -> auto & { return s.support.contactDiaMm; }, positive),
        bind("inpSupportTipAngle", [](auto &s) -> auto & { return s.support.tipAngleTopDeg; }),
        bind("inpSupportTipAngle2", [](auto &s) -> auto & { return s.support.tipAngleBotDeg; }),
        bind("inpSupportTipLength", [](auto &s) -> auto & { return s.support.tipLengthMm; }, positive),
        bind("inpSupportInter2Dia", [](auto &s) -> auto & { return s.support.inter2DiaMm; }, positive),
        bind("inpSupportInter1Dia", [](auto &s) -> auto & { return s.support.inter1DiaMm; }, positive),
        bind("inpBaseThickness", [](auto &s) -> auto & { return s.support.baseThicknessMm; }, positive),
        bind("inpBaseMargin", [](auto &s) -> auto & { return s.support.baseMarginMm; }, positive),
        bind("cbSupportThinTip", [](auto &s) -> auto & { return s.support.thinTip; }),
        bind("cbSupportPreview", [](auto &s) -> auto & { return s.support.supportPreview; }),
        bind("inpLinkerDistance", [](auto &s) -> auto & { return s.support.linkerDistanceMm; }, positive),
        bind("inpSupportTipOffset", [](auto &s) -> auto & { return s.support.penetrationDistanceMm; }),
        bind("inpSupportSurfaceNormal", [](auto &s) -> auto & { return s.support.supportSurfaceNormalDeg; }),
        // Slice
        bind("inpSliceThickness", [](auto &s) -> auto & { return s.slice.sliceThicknessUm; }, positive),
        bind("inpVsAngle0", [](auto &s) -> auto & { return s.slice.variStepAngleDeg[0]; }),
        bind("inpVsAngle1", [](auto &s) -> auto & { return s.slice.variStepAngleDeg[1]; }),
        bind("inpVsAngle2", [](auto &s) -> auto & { return s.slice.variStepAngleDeg[2]; }),
        bind("inpVsAngle3", [](auto &s) -> auto & { return s.slice.variStepAngleDeg[3]; }),
        bind("inpVsAngle4", [](auto &s) -> auto & { return s.slice.variStepAngleDeg[4]; }),
        bind("inpVsZStep0", [](auto &s) -> auto & { return s.slice.variStepUm[0]; }),
        bind("inpVsZStep1", [](auto &s) -> auto & { return s.slice.variStepUm[1]; }),
        bind("inpVsZStep2", [](auto &s) -> auto & { return s.slice.variStepUm[2]; }),
        bind("inpVsZStep3", [](auto &s) -> auto & { return s.slice.variStepUm[3]; }),
        bind("inpVsZStep4", [](auto &s) -> auto & { return s.slice.variStepUm[4]; }),
        bind("inpVsZStepMax", [](auto &s) -> auto & { return s.slice.variStepMaxUm; }),
        bind("inpVsRelExp0", [](auto &s) -> auto & { return s.slice.variStepRelExp[0]; }),
        bind("inpVsRelExp1", [](auto &s) -> auto & { return s.slice.variStepRelExp[1]; }),
        bind("inpVsRelExp2", [](auto &s) -> auto & { return s.slice.variStepRelExp[2]; }),
        bind("inpVsRelExp3", [](auto &s) -> auto & { return s.slice.variStepRelExp[3]; }),
        bind("inpVsRelExp4", [](auto &s) -> auto & { return s.slice.variStepRelExp[4]; }),
        bind("cbSliceOnDisk", [](auto &s) -> auto & { return s.slice.sliceOnDisk; }),
        // Printer
        bind("cmbPrinter", [](auto &s) -> auto & { return s.printer.printerId; }),
        bind("cbDispOverride", [](auto &s) -> auto & { return s.printer.displayOverride; }),
        bind("inpDispOverrideX", [](auto &s) -> auto & { return s.printer.displayOverrideXPx; }, positive),
        bind("inpDispOverrideY", [](auto &s) -> auto & { return s.printer.displayOverrideYPx; }, positive),
        bind("inpProjPixelX", [](auto &s) -> auto & { return s.printer.pixelSizeXUm; }, positive),
        bind("inpProjPixelY", [](auto &s) -> auto & { return s.printer.pixelSizeYUm; }, positive),
    };
    // clang-format on
}

QStringList SettingsInputs::apply(const EnvironmentSettings &settings, QWidget *root) const
{
    QStringList set;
    if (!root)
        return set;
    for (const Binding &b : m_bindings) {
        QWidget *input = root->findChild<QWidget *>(b.input);
        if (!input)
            continue;
        const QVariant value = b.read(settings);
        if (b.positiveOnly && value.toDouble() <= 0.0)
            continue;
        if (setInputValue(input, value))
            set << b.input;
    }
    return set;
}

void SettingsInputs::remember(QWidget *root)
{
    m_remembered.clear();
    if (!root)
        return;
    for (const Binding &b : m_bindings)
        if (const QWidget *input = root->findChild<QWidget *>(b.input))
            m_remembered.insert(b.input, inputValue(input));
}

void SettingsInputs::collect(EnvironmentSettings &settings, QWidget *root)
{
    if (!root)
        return;
    for (const Binding &b : m_bindings) {
        const QWidget *input = root->findChild<QWidget *>(b.input);
        if (!input)
            continue;
        const QVariant now = inputValue(input);
        if (!now.isValid())
            continue;
        const auto before = m_remembered.constFind(b.input);
        if (before != m_remembered.constEnd() && *before == now)
            continue;
        // A combo box without a selection has nothing to store.
        if (qobject_cast<const QComboBox *>(input) && now.toInt() < 0)
            continue;
        b.write(settings, now);
        m_remembered.insert(b.input, now);
    }
}

QVariant SettingsInputs::inputValue(const QWidget *input)
{
    if (auto *d = qobject_cast<const QDoubleSpinBox *>(input))
        return d->value();
    if (auto *i = qobject_cast<const QSpinBox *>(input))
        return i->value();
    if (auto *b = qobject_cast<const QAbstractButton *>(input))
        return b->isChecked();
    if (auto *s = qobject_cast<const QAbstractSlider *>(input))
        return s->value();
    if (auto *c = qobject_cast<const QComboBox *>(input))
        return c->currentIndex();
    return {};
}

bool SettingsInputs::setInputValue(QWidget *input, const QVariant &value)
{
    if (auto *d = qobject_cast<QDoubleSpinBox *>(input)) {
        d->setValue(value.toDouble());
        return true;
    }
    if (auto *i = qobject_cast<QSpinBox *>(input)) {
        int v = 0;
        assign(v, value);
        i->setValue(v);
        return true;
    }
    if (auto *b = qobject_cast<QAbstractButton *>(input)) {
        b->setChecked(value.toBool());
        return true;
    }
    if (auto *s = qobject_cast<QAbstractSlider *>(input)) {
        int v = 0;
        assign(v, value);
        s->setValue(v);
        return true;
    }
    if (auto *c = qobject_cast<QComboBox *>(input)) {
        const int index = value.toInt();
        if (index < 0 || index >= c->count())
            return false;
        c->setCurrentIndex(index);
        return true;
    }
    return false;
}

#include "support/SupportParameters.h"

#include "config/EnvironmentSettings.h"

SupportSizePreset supportSizePreset(SupportSize size)
{
    switch (size) {
    case SupportSize::Small: return {0.3f, 2.0f, 1.0f, 0.8f, 1.5f, true};
    case SupportSize::Medium: return {0.5f, 2.5f, 1.2f, 1.0f, 2.0f, false};
    case SupportSize::Large: return {0.7f, 2.8f, 1.4f, 1.2f, 2.0f, false};
    case SupportSize::XL: return {0.9f, 3.0f, 1.5f, 1.3f, 2.3f, false};
    }
    return {0.5f, 2.5f, 1.2f, 1.0f, 2.0f, false};
}

bool parseSupportSize(const QString &text, SupportSize *size)
{
    const QString t = text.trimmed().toLower();
    if (t == "small")
        *size = SupportSize::Small;
    else if (t == "medium")
        *size = SupportSize::Medium;
    else if (t == "large")
        *size = SupportSize::Large;
    else if (t == "xl")
        *size = SupportSize::XL;
    else
        return false;
    return true;
}

SupportParameters withSize(SupportParameters p, SupportSize size)
{
    const SupportSizePreset s = supportSizePreset(size);
    p.r3 = s.contactDiaMm / 2;
    p.h2 = s.tipLengthMm;
    p.r1 = s.inter1DiaMm / 2;
    p.r2 = s.inter2DiaMm / 2;
    p.r0 = s.baseDiaMm / 2;
    p.thinTip = s.thinTip;
    return p;
}

SupportParameters supportParametersFrom(const SupportSettings &s, SupportParameters p)
{
    if (s.pitchMm > 0)
        p.sp = s.pitchMm;
    if (s.contactDiaMm > 0)
        p.r3 = s.contactDiaMm / 2;
    if (s.inter1DiaMm > 0)
        p.r1 = s.inter1DiaMm / 2;
    if (s.inter2DiaMm > 0)
        p.r2 = s.inter2DiaMm / 2;
    if (s.tipLengthMm > 0)
        p.h2 = s.tipLengthMm;
    p.theta = float(s.tipAngleTopDeg);
    p.theta2 = float(s.tipAngleBotDeg);
    p.thinTip = s.thinTip;
    return p;
}

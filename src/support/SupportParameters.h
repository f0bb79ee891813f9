#pragma once

#include <QString>

struct SupportSettings;

// The support dimensions the user sets (mm and degrees); the window sends them with
// sendSupportParameters before supports are made.
struct SupportParameters
{
    float sp = 3.0f;       // pitch of automatic supports
    float r0 = 1.0f;       // foot radius
    float r1 = 0.6f;       // lower body radius
    float r2 = 0.5f;       // upper body radius, below the tip
    float r3 = 0.25f;      // contact radius
    float h0 = 1.0f;       // height of the foot's top above the plate
    float h2 = 2.5f;       // tip length
    float theta = 45.0f;   // largest tilt of the top tip from the vertical
    float theta2 = 45.0f;  // the same for a bottom tip that ends on a model
    bool thinTip = false;
};

// The size buttons: Small, Medium, Large, XL.
enum class SupportSize { Small, Medium, Large, XL };

// Diameters (mm) and the thin-tip switch a size button sets.
struct SupportSizePreset
{
    float contactDiaMm;
    float tipLengthMm;
    float inter1DiaMm;
    float inter2DiaMm;
    float baseDiaMm;
    bool thinTip;
};

SupportSizePreset supportSizePreset(SupportSize size);
// "small", "medium", "large", "xl" (any letter case); false for anything else.
bool parseSupportSize(const QString &text, SupportSize *size);
// The parameters of a size with the other values kept.
SupportParameters withSize(SupportParameters p, SupportSize size);

// The parameters from the stored support settings (diameters halved to radii). The foot
// diameter and height have no stored key; they keep the values of `base`.
SupportParameters supportParametersFrom(const SupportSettings &s, SupportParameters base = SupportParameters());

// More probes than this make automatic supports ask (window) or refuse (command line).
constexpr double maxAutoSupportProbes = 1.0e6;

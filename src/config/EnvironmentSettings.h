#pragma once

#include <QList>
#include <QString>

#include <array>

// Everything the environment settings file ("settings.ini") holds, in the types the program
// works with. Field names follow the file's keys; a value-initialised structure is what a file
// without any keys reads as (zero, false, empty) before the reader's corrections.
//
// The reader and writer live in config/SettingsFile.h.

// One row of the flex-slice list (group "Slice", keys FlexSlice%d…).
struct FlexSliceEntry
{
    QString title;
    double fromMm = 0.0;
    double toMm = 0.0;
    int thicknessUm = 0;
    int expRatioPercent = 0;
    bool enabled = false;

    bool operator==(const FlexSliceEntry &o) const;
    bool operator!=(const FlexSliceEntry &o) const { return !(*this == o); }
};

// One network printer of the printer list (group "Printer", keys Printer%dName / Printer%dAddress).
struct PrinterEntry
{
    QString name;
    QString address;

    bool operator==(const PrinterEntry &o) const { return name == o.name && address == o.address; }
    bool operator!=(const PrinterEntry &o) const { return !(*this == o); }
};

// Group "Misc": user interface and view behaviour.
struct MiscSettings
{
    float modelViewResponse = 0.0f;      // camera animation gain; stored as an integer × 100
    float slicingQualityFactor = 0.0f;   // only kept; slicing always uses 1.0
    QString lastFileLocation;            // start folder of file dialogs
    int windowWidth = 0;                 // px; the reader raises it to at least 960
    int windowHeight = 0;                // px; the reader raises it to at least 600
    bool windowFullScreen = false;       // main window maximised
    QString language;                    // interface language code, e.g. "en"
    int gpuIdleTime = 0;                 // pause between view frames, µs; the reader turns 0 into 16667
    bool wheelZoomDir = false;           // invert mouse-wheel zoom
    bool zoomCenterMoving = false;       // zoom around the mouse position
    bool orthographicalProjection = false;
    bool pixelGrayscaleUpdate = false;   // contrast curve on slices
    // Address of the update feed (key "UpdateFeedUrl"); empty: updates are not looked up.
    // Written only when set, so files without it stay as they are.
    QString updateFeedUrl;

    bool operator==(const MiscSettings &o) const;
};

// Group "Models". The drain-hole keys are stored in this group although they are read
// between the "Misc" keys.
struct ModelSettings
{
    QString platformStlFileName;         // build-plate model; empty: the built-in one
    bool listOnlyModels = false;
    bool modelScaleLock = false;
    double drainHoleDiameterMm = 0.0;    // the reader turns values ≤ 0.5 into 2.0
    double drainHoleHeightMm = 0.0;      // the reader turns values ≤ 1.0 into 4.0

    bool operator==(const ModelSettings &o) const;
};

// Group "Support": the support panel's inputs and the base inputs.
struct SupportSettings
{
    int criticalAngleDeg = 0;
    int thresholdAngleDeg = 0;
    float pitchMm = 0.0f;                // stored as µm (an integer)
    float contactDiaMm = 0.0f;
    int tipAngleTopDeg = 0;              // stored as a double; a fractional part is dropped on reading
    int tipAngleBotDeg = 0;
    float tipLengthMm = 0.0f;
    float inter2DiaMm = 0.0f;
    float inter1DiaMm = 0.0f;
    float baseThicknessMm = 0.0f;        // the reader turns 0 into 0.6
    float baseMarginMm = 0.0f;           // the reader turns 0 into 1.0
    bool thinTip = false;
    bool supportPreview = false;
    int linkerDistanceMm = 0;
    double penetrationDistanceMm = 0.0;  // tip offset into the model
    int supportSurfaceNormalDeg = 0;

    bool operator==(const SupportSettings &o) const;
};

// Group "Slice": layer schedule and slice output.
struct SliceSettings
{
    static constexpr int variStepRows = 5;

    int sliceThicknessUm = 0;
    std::array<int, variStepRows> variStepAngleDeg{};
    std::array<int, variStepRows> variStepUm{};
    int variStepMaxUm = 0;
    std::array<float, variStepRows> variStepRelExp{};
    bool sliceOnDisk = false;
    int subPixelSlicingIntensity = 0;    // outline pen grey 0..255
    int bottomSliceThicknessUm = 0;
    float bottomSliceHeightMm = 0.0f;    // stored as µm (an integer)
    double sliceScaleXPercent = 0.0;
    double sliceScaleYPercent = 0.0;
    double sliceScaleZPercent = 0.0;
    QString lastUsedMaterial;            // resin profile name
    int lastUsedSliceThicknessUm = 0;
    QList<FlexSliceEntry> flexSlices;    // NumberOfFlexSlices is this list's size

    bool operator==(const SliceSettings &o) const;
};

// Group "Printer": machine geometry, projector and the printer list.
struct PrinterSettings
{
    int stepperLimitXMm = 0;
    int stepperLimitYMm = 0;
    int stepperLimitZMm = 0;             // also the view's build height
    int printerId = 0;                   // selected index of the machine list
    QList<PrinterEntry> printers;        // NumberOfPrinters is this list's size
    bool displayOverride = false;
    int displayOverrideXPx = 0;          // projector width
    int displayOverrideYPx = 0;          // projector height
    float pixelSizeXUm = 0.0f;
    float pixelSizeYUm = 0.0f;
    bool pixelSizeLinkCheck = false;     // key "PiexlSizeLinkCheck" (spelled so in the file)

    bool operator==(const PrinterSettings &o) const;
};

// Group "Print": exposure and image options, most of them only kept and written back.
struct PrintSettings
{
    double exposureMultiplier = 0.0;
    double holdTimePreLift = 0.0;
    double holdTimePreDown = 0.0;
    double holdTimePreExp = 0.0;
    int horiAntiAliasing = 0;            // 0 none, 1 one outline pass
    int grayScale = 0;                   // 127..255; the reader turns values < 127 into 255
    bool dimmingEnable = false;
    double dimmingWidthMm = 0.0;
    int dimmingRatioPercent = 0;
    int dimmingStart = 0;                // layers excluded at top and bottom
    bool verticalMirror = false;
    bool horizontalMirror = false;
    // The colour channels are not stored in the file; the reader switches all three on
    // when none is on.
    bool channelRed = false;
    bool channelGreen = false;
    bool channelBlue = false;

    bool operator==(const PrintSettings &o) const;
};

struct EnvironmentSettings
{
    MiscSettings misc;
    ModelSettings models;
    SupportSettings support;
    SliceSettings slice;
    PrinterSettings printer;
    PrintSettings print;

    bool operator==(const EnvironmentSettings &o) const;
    bool operator!=(const EnvironmentSettings &o) const { return !(*this == o); }
};

// The values this program starts with when no settings file exists: a 1920 × 1080 panel of
// 33.5 µm pixels, the medium support size, the default variable-step table, no printers.
EnvironmentSettings defaultEnvironmentSettings();

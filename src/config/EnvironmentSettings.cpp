#include "config/EnvironmentSettings.h"

#include <tuple>

bool FlexSliceEntry::operator==(const FlexSliceEntry &o) const
{
    return std::tie(title, fromMm, toMm, thicknessUm, expRatioPercent, enabled)
        == std::tie(o.title, o.fromMm, o.toMm, o.thicknessUm, o.expRatioPercent, o.enabled);
}

bool MiscSettings::operator==(const MiscSettings &o) const
{
    return std::tie(modelViewResponse, slicingQualityFactor, lastFileLocation, windowWidth,
                    windowHeight, windowFullScreen, language, gpuIdleTime, wheelZoomDir,
                    zoomCenterMoving, orthographicalProjection, pixelGrayscaleUpdate, updateFeedUrl)
        == std::tie(o.modelViewResponse, o.slicingQualityFactor, o.lastFileLocation, o.windowWidth,
                    o.windowHeight, o.windowFullScreen, o.language, o.gpuIdleTime, o.wheelZoomDir,
                    o.zoomCenterMoving, o.orthographicalProjection, o.pixelGrayscaleUpdate, o.updateFeedUrl);
}

bool ModelSettings::operator==(const ModelSettings &o) const
{
    return std::tie(platformStlFileName, listOnlyModels, modelScaleLock, drainHoleDiameterMm,
                    drainHoleHeightMm)
        == std::tie(o.platformStlFileName, o.listOnlyModels, o.modelScaleLock,
                    o.drainHoleDiameterMm, o.drainHoleHeightMm);
}

bool SupportSettings::operator==(const SupportSettings &o) const
{
    return std::tie(criticalAngleDeg, thresholdAngleDeg, pitchMm, contactDiaMm, tipAngleTopDeg,
                    tipAngleBotDeg, tipLengthMm, inter2DiaMm, inter1DiaMm, baseThicknessMm,
                    baseMarginMm, thinTip, supportPreview, linkerDistanceMm,
                    penetrationDistanceMm, supportSurfaceNormalDeg)
        == std::tie(o.criticalAngleDeg, o.thresholdAngleDeg, o.pitchMm, o.contactDiaMm,
                    o.tipAngleTopDeg, o.tipAngleBotDeg, o.tipLengthMm, o.inter2DiaMm,
                    o.inter1DiaMm, o.baseThicknessMm, o.baseMarginMm, o.thinTip,
                    o.supportPreview, o.linkerDistanceMm, o.penetrationDistanceMm,
                    o.supportSurfaceNormalDeg);
}

bool SliceSettings::operator==(const SliceSettings &o) const
{
    return std::tie(sliceThicknessUm, variStepAngleDeg, variStepUm, variStepMaxUm, variStepRelExp,
                    sliceOnDisk, subPixelSlicingIntensity, bottomSliceThicknessUm,
                    bottomSliceHeightMm, sliceScaleXPercent, sliceScaleYPercent,
                    sliceScaleZPercent, lastUsedMaterial, lastUsedSliceThicknessUm, flexSlices)
        == std::tie(o.sliceThicknessUm, o.variStepAngleDeg, o.variStepUm, o.variStepMaxUm,
                    o.variStepRelExp, o.sliceOnDisk, o.subPixelSlicingIntensity,
                    o.bottomSliceThicknessUm, o.bottomSliceHeightMm, o.sliceScaleXPercent,
                    o.sliceScaleYPercent, o.sliceScaleZPercent, o.lastUsedMaterial,
                    o.lastUsedSliceThicknessUm, o.flexSlices);
}

bool PrinterSettings::operator==(const PrinterSettings &o) const
{
    return std::tie(stepperLimitXMm, stepperLimitYMm, stepperLimitZMm, printerId, printers,
                    displayOverride, displayOverrideXPx, displayOverrideYPx, pixelSizeXUm,
                    pixelSizeYUm, pixelSizeLinkCheck)
        == std::tie(o.stepperLimitXMm, o.stepperLimitYMm, o.stepperLimitZMm, o.printerId,
                    o.printers, o.displayOverride, o.displayOverrideXPx, o.displayOverrideYPx,
                    o.pixelSizeXUm, o.pixelSizeYUm, o.pixelSizeLinkCheck);
}

bool PrintSettings::operator==(const PrintSettings &o) const
{
    return std::tie(exposureMultiplier, holdTimePreLift, holdTimePreDown, holdTimePreExp,
                    horiAntiAliasing, grayScale, dimmingEnable, dimmingWidthMm,
                    dimmingRatioPercent, dimmingStart, verticalMirror, horizontalMirror,
                    channelRed, channelGreen, channelBlue)
        == std::tie(o.exposureMultiplier, o.holdTimePreLift, o.holdTimePreDown, o.holdTimePreExp,
                    o.horiAntiAliasing, o.grayScale, o.dimmingEnable, o.dimmingWidthMm,
                    o.dimmingRatioPercent, o.dimmingStart, o.verticalMirror, o.horizontalMirror,
                    o.channelRed, o.channelGreen, o.channelBlue);
}

bool EnvironmentSettings::operator==(const EnvironmentSettings &o) const
{
    return misc == o.misc && models == o.models && support == o.support && slice == o.slice
        && printer == o.printer && print == o.print;
}

EnvironmentSettings defaultEnvironmentSettings()
{
    EnvironmentSettings s;

    MiscSettings &m = s.misc;
    m.modelViewResponse = 0.02f;
    m.slicingQualityFactor = 1.0f;
    m.windowWidth = 1200;
    m.windowHeight = 900;
    m.windowFullScreen = false;
    m.language = QStringLiteral("en");
    m.gpuIdleTime = 16667;
    m.wheelZoomDir = false;
    m.zoomCenterMoving = false;
    m.orthographicalProjection = false;
    m.pixelGrayscaleUpdate = false;

    ModelSettings &mo = s.models;
    mo.listOnlyModels = false;
    mo.modelScaleLock = true;
    mo.drainHoleDiameterMm = 2.0;
    mo.drainHoleHeightMm = 4.0;

    // The medium support size.
    SupportSettings &su = s.support;
    su.criticalAngleDeg = 30;
    su.thresholdAngleDeg = 45;
    su.pitchMm = 3.0f;
    su.contactDiaMm = 0.5f;
    su.tipAngleTopDeg = 45;
    su.tipAngleBotDeg = 45;
    su.tipLengthMm = 2.5f;
    su.inter2DiaMm = 1.0f;
    su.inter1DiaMm = 1.2f;
    su.baseThicknessMm = 0.6f;
    su.baseMarginMm = 1.0f;
    su.thinTip = false;
    su.supportPreview = true;
    su.linkerDistanceMm = 10;
    su.penetrationDistanceMm = 0.1;
    su.supportSurfaceNormalDeg = 30;

    SliceSettings &sl = s.slice;
    sl.sliceThicknessUm = 50;
    sl.variStepAngleDeg = {8, 15, 20, 30, 45};
    sl.variStepUm = {10, 25, 35, 50, 75};
    sl.variStepMaxUm = 100;
    sl.variStepRelExp = {0.4f, 0.55f, 0.65f, 0.75f, 0.88f};
    sl.sliceOnDisk = true;
    sl.subPixelSlicingIntensity = 255;
    sl.bottomSliceThicknessUm = 100;
    sl.bottomSliceHeightMm = 2.5f;
    sl.lastUsedSliceThicknessUm = 50;

    // Motor limits cover the panel (1920 × 33.5 µm, 1080 × 33.5 µm) and the build height.
    PrinterSettings &p = s.printer;
    p.stepperLimitXMm = 65;
    p.stepperLimitYMm = 37;
    p.stepperLimitZMm = 130;
    p.printerId = 0;
    p.displayOverride = true;
    p.displayOverrideXPx = 1920;
    p.displayOverrideYPx = 1080;
    p.pixelSizeXUm = 33.5f;
    p.pixelSizeYUm = 33.5f;
    p.pixelSizeLinkCheck = true;

    PrintSettings &pr = s.print;
    pr.exposureMultiplier = 1.0;
    pr.horiAntiAliasing = 1;
    pr.grayScale = 255;
    pr.dimmingEnable = false;
    pr.dimmingWidthMm = 1.0;
    pr.dimmingRatioPercent = 20;
    pr.dimmingStart = 5;
    pr.channelRed = pr.channelGreen = pr.channelBlue = true;

    return s;
}

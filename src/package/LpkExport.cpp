#include "package/LpkExport.h"

#include "imaging/LayerPng.h"
#include "imaging/LitLayerChain.h"

PostProcessSettings packagePostProcess(const LpkExportSettings &s, const PostProcessSettings &current)
{
    PostProcessSettings p = current;
    p.dilationLevel = s.profile.DilationLevel;
    p.smoothingLevel = s.profile.SmoothingLevel;
    if (s.profile.intAA == 0) {
        p.contourAntialiasing = false;
    } else if (s.profile.intAA == 1) {
        p.contourAntialiasing = true;
        p.contourPenWidth = 1;
    }
    p.contourPenGray = s.contourPenGray;
    p.contrastCurve = s.contrastCurve;
    p.verticalMirror = s.verticalMirror;
    p.horizontalMirror = s.horizontalMirror;
    p.subpixelPacking = s.machineIndex == 1;
    return p;
}

SliceParameters packageGeometry(const LpkExportSettings &s)
{
    SliceParameters g = s.geometry;
    g.sliceScaleXPct = s.profile.X_Compensation;
    g.sliceScaleYPct = s.profile.Y_Compensation;
    g.sliceScaleZPct = s.profile.Z_Compensation;
    return g;
}

void configurePackageRun(const LpkExportSettings &s, const PackageJob &job, SliceRunOptions *options)
{
    options->sliceThicknessUm = float(s.profile.SliceThickness);
    options->flexSlices = s.flexEnabled ? s.flexRanges : QList<FlexSliceRange>();
    // Layers go to disk: the package is built from the files.
    options->sliceOnDisk = true;
    options->outputFolder = job.workFolder;
    options->splitSupportExposure = s.profile.BurnInExp > 0;
    options->litPostProcess = makeLitLayerPostProcess(packagePostProcess(s), packageGeometry(s));
    options->litEncode = [](const LitImage &image) { return encodeLitLayerPng(image); };
    options->outlineUsed = packagePostProcess(s).contourAntialiasing;
    options->stackStage = makeHollowingStage(s.hollowing, packageGeometry(s), options->sliceThicknessUm);
}

QStringList packageMachineNames()
{
    QStringList names = machineModelNames();
    if (!names.isEmpty())
        names[0] = QStringLiteral("Stellan-Arc 2.0");
    return names;
}

QString packageMachineName(int machineIndex)
{
    const QStringList names = packageMachineNames();
    return names.value(machineIndex, names.value(0));
}

PackageDescription packageDescription(const LpkExportSettings &s, const std::vector<float> &heightsMm,
                                      const QList<int> &layerCodes)
{
    PackageDescription d;
    d.machineName = s.machineName.isEmpty() ? packageMachineName(s.machineIndex) : s.machineName;
    d.material = s.profile.ResinName;
    d.sliceThicknessUm = s.profile.SliceThickness;
    d.normalExposureS = s.profile.NormalExp;
    d.firstLayerCount = s.profile.FirstLayerCount;
    d.firstLayerExposureS = s.profile.FirstLayerExp;
    d.supportExposureS = s.profile.BurnInExp;
    d.compensationXPercent = s.profile.X_Compensation;
    d.compensationYPercent = s.profile.Y_Compensation;
    d.compensationZPercent = s.profile.Z_Compensation;
    d.antiAliasing = s.profile.intAA;
    d.verticalMirror = s.verticalMirror;
    d.horizontalMirror = s.horizontalMirror;
    d.widthPx = s.geometry.projectorWidthPx;
    d.heightPx = s.geometry.projectorHeightPx;
    d.pixelSizeXUm = s.geometry.pixelSizeXUm;
    d.pixelSizeYUm = s.geometry.pixelSizeYUm;
    d.flexEnabled = s.flexEnabled;
    d.flexRanges = s.flexRanges;
    d.images.reserve(heightsMm.size());
    for (std::size_t i = 0; i < heightsMm.size(); ++i)
        d.images.push_back({double(heightsMm[i]), layerCodes.value(int(i), LayerSingle)});
    return d;
}

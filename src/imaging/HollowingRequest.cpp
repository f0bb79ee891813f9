#include "imaging/HollowingRequest.h"

#include "imaging/Hollowing.h"
#include "slicing/LayerSchedule.h"

namespace {

HollowingSettings settingsFor(const HollowingRequest &request, const SliceParameters &geometry, double layerThicknessUm)
{
    HollowingSettings s = hollowingFromMm(request.wallMm, geometry.pixelSizeXUm, layerThicknessUm);
    s.capBottom = request.capBottom;
    if (request.pillars()) {
        s.pillars = true;
        s.pillarRadiusPx = float(request.pillarRadiusMm * 1000.0 / geometry.pixelSizeXUm);
        s.pillarPitchPx = float(request.pillarPitchMm * 1000.0 / geometry.pixelSizeXUm);
    }
    return s;
}

} // namespace

QString checkHollowing(const HollowingRequest &request, const SliceParameters &geometry, double layerThicknessUm)
{
    if (!request.enabled())
        return QString();
    if (!(request.wallMm <= 100.0))
        return QString("The hollowing wall of %1 mm is thicker than 100 mm.").arg(request.wallMm);
    // Variable steps have no one layer thickness to count the wall in.
    if (layerThicknessUm < 5.0)
        return "Hollowing needs a fixed layer thickness (5 µm or more).";
    const HollowingSettings s = settingsFor(request, geometry, layerThicknessUm);
    // A wall rounded to nothing would cut the whole part away.
    if (s.wallPx < 1 || s.wallLayers < 1)
        return QString("The hollowing wall of %1 mm is thinner than one pixel (%2 µm) or one layer (%3 µm).")
            .arg(request.wallMm)
            .arg(double(geometry.pixelSizeXUm))
            .arg(layerThicknessUm);
    if ((request.pillarRadiusMm > 0.0) != (request.pillarPitchMm > 0.0) || request.pillarRadiusMm < 0.0)
        return "Pillars need both a radius and a pitch above 0 mm.";
    if (request.pillars() && request.pillarPitchMm <= 2.0 * request.pillarRadiusMm)
        return QString("The pillar pitch of %1 mm leaves no room between pillars of %2 mm radius.")
            .arg(request.pillarPitchMm)
            .arg(request.pillarRadiusMm);
    return QString();
}

std::shared_ptr<LayerStackStage> makeHollowingStage(const HollowingRequest &request, const SliceParameters &geometry,
                                                    double layerThicknessUm)
{
    if (!request.enabled() || !checkHollowing(request, geometry, layerThicknessUm).isEmpty())
        return nullptr;
    return std::make_shared<HollowingStack>(settingsFor(request, geometry, layerThicknessUm),
                                            cv::Size(geometry.projectorWidthPx, geometry.projectorHeightPx));
}

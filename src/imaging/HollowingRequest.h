#pragma once

#include <QString>
#include <memory>

#include "slicing/LayerStackStage.h"
#include "slicing/SliceParameters.h"

// Hollowing as the user asks for it, in millimetres; the run turns it into pixels and layers.
struct HollowingRequest
{
    double wallMm = 0.0;            // 0: no hollowing
    double pillarRadiusMm = 0.0;    // pillars when both are above 0
    double pillarPitchMm = 0.0;
    bool capBottom = true;

    bool enabled() const { return wallMm > 0.0; }
    bool pillars() const { return pillarRadiusMm > 0.0 && pillarPitchMm > 0.0; }
};

// Empty when a run with this geometry and layer thickness can hollow as asked; otherwise why not.
QString checkHollowing(const HollowingRequest &request, const SliceParameters &geometry, double layerThicknessUm);

// The stage for a run, or none when hollowing is off or cannot be done (see checkHollowing).
std::shared_ptr<LayerStackStage> makeHollowingStage(const HollowingRequest &request, const SliceParameters &geometry,
                                                    double layerThicknessUm);

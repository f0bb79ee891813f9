#pragma once

#include "imaging/HollowingRequest.h"

#include <QString>
#include <vector>

#include "config/EnvironmentSettings.h"
#include "slicing/CrossSection.h"
#include "slicing/RendererFactory.h"
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"

class Scene;

// The package output of 'orvell3d-cli slice -o PACKAGE.lpk': picks the resin profile,
// slices into the package's working folder and packs the LPK file.
struct PackageRequest
{
    QString chosenPath;        // as typed; the package name gets "_z<thickness>" appended
    QString resinName;         // empty: the last used resin, else the machine's first
    int machineId = 0;         // machine model of the profile; 1 also packs subpixels
    double thicknessUm = -1;   // < 0: the last used thickness or the resin's first
    bool printTimings = false;
    bool json = false;         // one JSON object on standard output instead of the summary
    bool failOnIslands = false;   // exit status 1 when the layers have islands (the package is kept)
    RendererKind renderer = RendererKind::CpuFill;
    HollowingRequest hollowing;
};

// The slice command's help lines for the options only a package output uses.
const char *packageOptionsHelp();

// Returns the exit status: 0 packed, 1 failure (reason on standard error). The scene gives
// the package's preview pictures.
int slicePackage(Scene &scene, std::vector<SliceObject> objects, const SliceParameters &params,
                 const EnvironmentSettings &settings, const SliceRunOptions &base, const PackageRequest &request);

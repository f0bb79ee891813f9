#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

#include "config/ResinProfile.h"
#include "imaging/HollowingRequest.h"
#include "imaging/LayerChain.h"
#include "package/PackageFiles.h"
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"

// Glue between a package export and a slicing run, shared by the window and orvell3d-cli:
//
//   PackageJob job;
//   if (!beginPackage(packagePathFor(chosen, s.profile.SliceThickness), &job, &error)) …
//   SliceRunOptions options;  configurePackageRun(s, job, &options);
//   slicer.start(objects, packageGeometry(s), options, &error);  … run every layer …
//   finished: finishPackage(job, packageDescription(s, slicer.sliceHeights(), slicer.layerCodes()),
//                           previews, Archiver(), &error);
//   cancelled or failed: abandonPackage(job);

// What a package export takes from the package dialog (the chosen profile and options) and
// from the settings file.
struct LpkExportSettings
{
    ResinProfile profile;                 // material, thickness, exposures, compensation, levels
    int machineIndex = 0;                 // selected entry of the machine list; 1 packs subpixels
    QString machineName;                  // the list entry's text; empty: packageMachineName(machineIndex)
    bool verticalMirror = false;
    bool horizontalMirror = false;
    bool flexEnabled = false;
    QList<FlexSliceRange> flexRanges;     // the switched-on ranges; exposureRatio = percent / 100
    SliceParameters geometry;             // projector and pixel size (compensation comes from the profile)
    int contourPenGray = 255;             // settings "SubPixelSlicingIntensity"
    bool contrastCurve = false;           // settings "PixelGrayscaleUpdate"
    HollowingRequest hollowing;           // off unless a wall is asked for
};

// The machine list of the package export, in machine-id order, as buildscript.ini names the
// machines: "Stellan-Arc 2.0" (the name printers know for machine 0), then the other models.
QStringList packageMachineNames();
// The entry for a machine id; the first entry for an unknown id.
QString packageMachineName(int machineIndex);

// The layer chain switches of a package run. Anti-aliasing 0 turns the outline off, 1 turns
// it on with a 1-pixel pen; any other value keeps what `current` has.
PostProcessSettings packagePostProcess(const LpkExportSettings &s, const PostProcessSettings &current = {});

// The projector geometry with the profile's X/Y/Z compensation as the slice scale.
SliceParameters packageGeometry(const LpkExportSettings &s);

// Run options for slicing into the package's working folder: thickness, flex ranges, the
// separate support exposure when the profile asks for one, the post-process hook and the
// fast layer encoder. Leaves maxZ, the variable-step table and the log to the caller.
void configurePackageRun(const LpkExportSettings &s, const PackageJob &job, SliceRunOptions *options);

// The text files' description of a finished run: one image per recorded height, in order.
PackageDescription packageDescription(const LpkExportSettings &s, const std::vector<float> &heightsMm,
                                      const QList<int> &layerCodes);

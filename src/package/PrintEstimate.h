#pragma once

#include <QString>

#include "config/EnvironmentSettings.h"
#include "package/PackageFiles.h"

// How the machine moves between exposures. The lift distance of each image is the one the
// package's exposure schedule gives it (the fourth column of buildscript.ini).
struct MotionSettings
{
    double liftSpeedMmPerMin = 60.0;      // platform up, out of the resin: slow, to peel gently
    double retractSpeedMmPerMin = 180.0;  // back down into the resin
    double holdBeforeLiftS = 0.0;         // settings "HoldTimePreLift"
    double holdBeforeRetractS = 0.0;      // settings "HoldTimePreDown"
    double holdBeforeExposureS = 0.0;     // settings "HoldTimePreExp"
};

// The motion of the settings file's machine: its hold times (seconds; negative ones count as 0)
// with the default speeds.
MotionSettings motionSettingsFrom(const EnvironmentSettings &settings);

// The print time of a package, seconds:
//
//   T = Σ_images (holdBeforeExposure + exposure_i)
//     + Σ_images with lift L_i > 0 (holdBeforeLift + L_i / liftSpeed + holdBeforeRetract + L_i / retractSpeed)
//
// Exposures are the schedule's (first layers, flex ranges, support images); an image followed
// by another image of the same layer has lift 0, so the platform stays where it is.
double printTimeSeconds(const PackageDescription &run, const MotionSettings &motion);
// The same for a schedule as a package lists it (a loaded package, the window's lists).
double printTimeSeconds(const std::vector<ScheduledImage> &schedule, const MotionSettings &motion);

// "42 s", "12 min 05 s", "3 h 07 min": a duration a user takes in at a glance.
QString durationText(double seconds);

// "12.3 ml" (two decimals below 10 ml, so small parts do not read as zero).
QString resinVolumeText(double ml);

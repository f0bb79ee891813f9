#include "package/PrintEstimate.h"

#include <algorithm>
#include <cmath>

MotionSettings motionSettingsFrom(const EnvironmentSettings &settings)
{
    MotionSettings m;
    // NaN and negative times from a damaged file count as no wait.
    auto seconds = [](double s) { return s > 0.0 && std::isfinite(s) ? s : 0.0; };
    m.holdBeforeLiftS = seconds(settings.print.holdTimePreLift);
    m.holdBeforeRetractS = seconds(settings.print.holdTimePreDown);
    m.holdBeforeExposureS = seconds(settings.print.holdTimePreExp);
    return m;
}

double printTimeSeconds(const PackageDescription &run, const MotionSettings &motion)
{
    return printTimeSeconds(exposureSchedule(run), motion);
}

double printTimeSeconds(const std::vector<ScheduledImage> &schedule, const MotionSettings &motion)
{
    const double up = motion.liftSpeedMmPerMin > 0 ? motion.liftSpeedMmPerMin / 60.0 : 0.0;       // mm/s
    const double down = motion.retractSpeedMmPerMin > 0 ? motion.retractSpeedMmPerMin / 60.0 : 0.0;
    double total = 0.0;
    for (const ScheduledImage &image : schedule) {
        total += motion.holdBeforeExposureS + image.exposureS;
        if (image.lift > 0) {
            total += motion.holdBeforeLiftS + motion.holdBeforeRetractS;
            // A machine set to speed 0 cannot move; its motion is left out rather than endless.
            if (up > 0)
                total += image.lift / up;
            if (down > 0)
                total += image.lift / down;
        }
    }
    return total;
}

QString durationText(double seconds)
{
    const long long s = std::llround(std::max(0.0, seconds));
    if (s < 60)
        return QString("%1 s").arg(s);
    if (s < 3600)
        return QString("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
    const long long minutes = (s + 30) / 60;
    return QString("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar('0'));
}

QString resinVolumeText(double ml)
{
    return QString::number(ml, 'f', ml < 10.0 ? 2 : 1) + " ml";
}

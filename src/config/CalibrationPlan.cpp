#include "config/CalibrationPlan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CalibrationPlan", text);
}

// Text-file numbers: shortest form, at most 6 significant digits (the package's own format).
QString fileNumber(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

QString CalibrationSettings::check() const
{
    if (rows < 1 || rows > maxRows)
        return tr("The number of vertical patterns must be 1 to %1.").arg(maxRows);
    if (columns < 1 || columns > maxColumns)
        return tr("The number of horizontal patterns must be 1 to %1.").arg(maxColumns);
    if (widthPx < 1 || heightPx < 1 || widthPx > 16384 || heightPx > 16384)
        return tr("The projector resolution must be 1 to 16384 pixels each way.");
    if (!(pixelSizeUm > 0) || !std::isfinite(pixelSizeUm))
        return tr("The pixel size must be above 0.");
    if (thicknessUm < 1)
        return tr("The slice thickness must be at least 1 um.");
    if (normalLayers < 1)
        return tr("At least one normal layer is needed.");
    if (baseLayers < 0)
        return tr("The number of base layers cannot be negative.");
    if (baseLayers > 0 && baseExposureS < 1)
        return tr("The base layer exposure time must be at least 1 second.");
    const QList<double> e = calibrationExposures(*this);
    for (int k = 0; k < e.size(); ++k) {
        if (!(e[k] > 0) || !std::isfinite(e[k]) || e[k] > 100000)
            return tr("The exposure of pattern %1 (row %2, column %3) must be above 0 seconds.")
                .arg(k + 1)
                .arg(k / columns + 1)
                .arg(k % columns + 1);
    }
    if (grayscale) {
        for (int r = 0; r < rows && r < grayPercent.size(); ++r) {
            if (grayPercent[r] < 0 || grayPercent[r] > 100)
                return tr("The grey level of row %1 must be 0 to 100 %.").arg(r + 1);
        }
    }
    // Writing the images takes about one second per thousand; this bounds a typing slip.
    if (qint64(calibrationImagesPerLayer(*this)) * normalLayers + baseLayers > 100000)
        return tr("The package would have more than 100000 images.");
    return QString();
}

QList<double> calibrationRow(CalibrationFill fill, double initialS, double stepOrFactor, int columns)
{
    QList<double> row;
    for (int c = 0; c < columns; ++c)
        row << (fill == CalibrationFill::Linear ? initialS + c * stepOrFactor : initialS * std::pow(stepOrFactor, c));
    return row;
}

QList<double> calibrationExposures(const CalibrationSettings &s)
{
    const int count = qMax(0, s.rows) * qMax(0, s.columns);
    if (s.exposuresS.size() == count)
        return s.exposuresS;
    const QList<double> row = calibrationRow(s.fill, s.initialExposureS,
                                             s.fill == CalibrationFill::Linear ? s.incrementS : s.factor, s.columns);
    QList<double> shown;
    for (double e : row)
        shown << QString::number(e, 'f', 1).toDouble();
    QList<double> all;
    for (int r = 0; r < s.rows; ++r)
        all += shown;
    return all;
}

int calibrationImagesPerLayer(const CalibrationSettings &s)
{
    return s.grayscale ? s.columns : s.rows * s.columns;
}

int calibrationImageCount(const CalibrationSettings &s)
{
    return calibrationImagesPerLayer(s) * s.normalLayers + s.baseLayers;
}

std::vector<int> calibrationLightOrder(const CalibrationSettings &s)
{
    const QList<double> e = calibrationExposures(s);
    // With the grey switch every row is exposed like row 0.
    const int items = calibrationImagesPerLayer(s);
    std::vector<int> order(std::size_t(qMax(0, items)));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&e](int a, int b) { return e.value(a) < e.value(b); });
    return order;
}

std::vector<CalibrationImage> calibrationSchedule(const CalibrationSettings &s)
{
    const QList<double> e = calibrationExposures(s);
    const std::vector<int> order = calibrationLightOrder(s);
    const int k = int(order.size());
    const int total = calibrationImageCount(s);
    const double stepMm = s.thicknessUm / 1000.0;
    std::vector<CalibrationImage> out;
    out.reserve(std::size_t(qMax(0, total)));
    double z = 0;
    for (int i = 0; i < total; ++i) {
        CalibrationImage image;
        bool startsLayer = true;
        if (i < s.baseLayers) {
            image.exposureS = s.baseExposureS;
        } else {
            const int j = (i - s.baseLayers) % k;
            startsLayer = j == 0;
            image.pattern = j;
            image.exposureS = j == 0 ? e.value(order[0]) : e.value(order[j]) - e.value(order[j - 1]);
            image.lift = j == k - 1 ? 4.0 : 0.0;
        }
        if (startsLayer && i > 0)
            z += stepMm;
        image.zMm = z;
        out.push_back(image);
    }
    return out;
}

QByteArray calibrationBuildscriptText(const CalibrationSettings &s, int machineIndex)
{
    const QList<double> e = calibrationExposures(s);
    const std::vector<CalibrationImage> images = calibrationSchedule(s);
    QByteArray out;
    auto line = [&out](const QString &text) { out += text.toUtf8() + "\r\n"; };
    line("Machine = " + QString::number(machineIndex));
    line("Slice thickness = " + QString::number(s.thicknessUm));
    line("number of slices = " + QString::number(images.size()));
    line("illumination time = " + fileNumber(e.isEmpty() ? 0.0 : e.last()));
    line("number of override slices = -1");
    line("override illumination time = " + QString::number(s.baseExposureS));
    char buffer[128];
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int n = std::snprintf(buffer, sizeof buffer, "%.4f, S%06d_P1, %.1f, %.1f\r\n", images[i].zMm,
                                    int(i + 1), images[i].exposureS, images[i].lift);
        out.append(buffer, qBound(0, n, int(sizeof buffer) - 1));
    }
    return out;
}

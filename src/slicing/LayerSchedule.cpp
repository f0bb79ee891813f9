#include "slicing/LayerSchedule.h"

#include <algorithm>
#include <cmath>

VariableStepTable VariableStepTable::fromInputs(const std::array<int, 5> &anglesDeg,
                                                const std::array<int, 5> &stepsUm, int maxStepUm,
                                                const std::array<float, 5> &relativeExposures)
{
    VariableStepTable t;
    for (int i = 0; i < 5; ++i) {
        t.thresholds[i] = float(std::cos(anglesDeg[i] * 3.14159265 / 180.0));
        t.steps[i] = float(stepsUm[i]);
    }
    t.maxStep = float(maxStepUm);
    t.relativeExposures = relativeExposures;
    return t;
}

VariableStepTable VariableStepTable::defaults()
{
    return fromInputs({8, 15, 20, 30, 45}, {10, 25, 35, 50, 75}, 100, {0.4f, 0.55f, 0.65f, 0.75f, 0.88f});
}

QString ScheduleSettings::check() const
{
    if (!(sceneScale > 0.0f) || !(zScaleFactor > 0.0f))
        return "The slicing scale is not valid.";
    // A step of 0 would cut the same height forever.
    if (variableMode()) {
        for (int i = 0; i < 5; ++i) {
            if (!(variableSteps.steps[i] > 0.0f))
                return QString("The variable step %1 is %2 µm; every step must be above 0.")
                    .arg(i)
                    .arg(variableSteps.steps[i]);
        }
        if (!(variableSteps.maxStep > 0.0f))
            return QString("The maximum variable step is %1 µm; it must be above 0.").arg(variableSteps.maxStep);
    } else {
        for (const FlexSliceRange &r : flexSlices) {
            if (r.thickness <= 0)
                return QString("The flex slice range %1 – %2 mm has a thickness of %3 µm; it must be above 0.")
                    .arg(r.from)
                    .arg(r.to)
                    .arg(r.thickness);
        }
    }
    return QString();
}

float variableStepFor(float flatness, const VariableStepTable &table)
{
    for (int i = 0; i < 5; ++i) {
        if (flatness > table.thresholds[i])
            return table.steps[i];
    }
    return table.maxStep;
}

float flexStepFor(double zMm, float sliceThicknessUm, const QList<FlexSliceRange> &ranges)
{
    for (const FlexSliceRange &r : ranges) {
        if (zMm > r.from && r.to - 0.001 > zMm)
            return float(r.thickness);
    }
    return sliceThicknessUm;
}

bool isVariableSchedule(const std::vector<float> &h)
{
    if (h.size() < 4)
        return false;
    const float d = h[2] - h[1];
    for (std::size_t i = 2; i + 1 < h.size(); ++i) {
        if (std::fabs((h[i + 1] - h[i]) - d) > 0.005f)
            return true;
    }
    return false;
}

LayerSchedule::LayerSchedule(const ScheduleSettings &settings)
    : m_s(settings), m_variable(settings.variableMode())
{
}

void LayerSchedule::cutLayer(int n)
{
    m_layer = n;
    if (!m_variable && m_s.flexSlices.isEmpty())
        m_heightUm = double(n) * double(m_s.sliceThicknessUm);
    else if (n == 0 || m_heights.empty())
        m_heightUm = 0.0;
    else
        m_heightUm += double(m_zStepNext);
    m_height = float(m_heightUm / 1000.0);
    m_slicePosition = m_height / m_s.maxZ;
    m_heights.push_back(m_height);
    m_sampleZ = n == 0 ? m_s.sceneScale * 0.01f : float(m_heightUm / 1000.0 * m_s.sceneScale / m_s.zScaleFactor);
    m_cutZ = m_sampleZ;
}

void LayerSchedule::chooseNextStep(float flatness)
{
    if (m_variable) {
        m_zStepNext = variableStepFor(flatness, m_s.variableSteps);
    } else {
        m_zStepNext = m_s.sliceThicknessUm;
        if (!m_s.flexSlices.isEmpty())
            m_zStepNext = flexStepFor(m_heightUm / 1000.0 / m_s.zScaleFactor, m_s.sliceThicknessUm, m_s.flexSlices);
    }
    const double middleMm = (m_heightUm + double(m_zStepNext) / 2.0) / 1000.0;
    m_cutZ = float(middleMm * m_s.sceneScale / m_s.zScaleFactor);
}

double LayerSchedule::nextHeightMm() const
{
    return (m_heightUm + double(m_zStepNext)) / 1000.0 / double(m_s.zScaleFactor);
}

bool LayerSchedule::hasNextLayer() const
{
    return nextHeightMm() < double(m_s.maxZ) - 1e-4;
}

int LayerSchedule::progressPercent() const
{
    if (!(m_s.maxZ > 0.0f))
        return 100;
    const double p = double(m_cutZ) / m_s.zScaleFactor / m_s.sceneScale / m_s.maxZ * 100.0;
    return std::clamp(int(p), 0, 100);
}

#pragma once

#include <QList>
#include <QString>
#include <array>
#include <vector>

// Layer heights of a slicing run: regular steps, flex-slice ranges with their own
// thickness, or variable steps chosen by how flat the surfaces at the cut are.
// Heights in millimetres, thicknesses and steps in micrometres. Inside the slicer heights
// are also kept in normalised units (mm × sceneScale), the unit the cross-section pass uses.

// A height range with its own layer thickness. Only ranges that are switched on are listed.
struct FlexSliceRange
{
    double from = 0.0;           // mm
    double to = 0.0;             // mm
    int thickness = 50;          // µm
    double exposureRatio = 1.0;  // carried to the package writer; the schedule ignores it
};

// The five-row table of variable steps: a cut whose flattest crossing surface has a
// downward/upward cosine above threshold i gets step i; nothing above any threshold gets
// the maximum step.
struct VariableStepTable
{
    std::array<float, 5> thresholds{};          // cosines
    std::array<float, 5> steps{};               // µm
    float maxStep = 100.0f;                     // µm
    std::array<float, 5> relativeExposures{};   // carried with the table, not used for heights

    // From the window's inputs: angles in degrees, steps and the maximum in µm.
    static VariableStepTable fromInputs(const std::array<int, 5> &anglesDeg, const std::array<int, 5> &stepsUm,
                                        int maxStepUm, const std::array<float, 5> &relativeExposures);
    // 8°/10 µm, 15°/25, 20°/35, 30°/50, 45°/75, otherwise 100 µm.
    static VariableStepTable defaults();
};

struct ScheduleSettings
{
    float sliceThicknessUm = 50.0f;   // below 5 µm selects variable steps
    float maxZ = 100.0f;              // mm, top of the slicing range
    float sceneScale = 0.03f;         // normalised units per mm
    float zScaleFactor = 1.0f;        // 1 + SliceScaleZ / 100
    QList<FlexSliceRange> flexSlices;
    VariableStepTable variableSteps = VariableStepTable::defaults();

    bool variableMode() const { return sliceThicknessUm < 5.0f; }
    // Empty when a run with these values ends; otherwise why it would not, for the user.
    QString check() const;
};

// Pure pieces of the schedule, usable alone.

// Step for a cut whose flattest crossing surface has the given |cosine| (0: nothing sampled).
float variableStepFor(float flatness, const VariableStepTable &table);
// Thickness of a layer whose bottom lies at zMm (after the Z scale): the first range with
// from < z < to − 0.001 gives its thickness, otherwise the regular thickness.
float flexStepFor(double zMm, float sliceThicknessUm, const QList<FlexSliceRange> &ranges);
// True when the heights of a finished run are not evenly spaced (the first step is not
// compared; fewer than four heights are regular). Tolerance 0.005 mm.
bool isVariableSchedule(const std::vector<float> &heights);

// The schedule of one run: reset at construction, advanced one layer at a time.
//   for (n = 0; ; ++n) {
//       s.cutLayer(n);                                   // height of the layer's bottom
//       s.chooseNextStep(flatness sampled at s.sampleZ()); // its thickness, and its cut
//       render at s.cutZ(); if (!s.hasNextLayer()) break;
//   }
// A layer cures the slab from its height up to the next layer's height; its cross-section is
// taken in the middle of that slab, so a face lying exactly on a layer boundary belongs to the
// layer whose slab it closes, and slanted walls are not shifted by half a layer. Heights are
// kept in micrometres as a double: integral steps add up exactly, so a height equal to a flex
// range bound is equal to it.
class LayerSchedule
{
public:
    explicit LayerSchedule(const ScheduleSettings &settings);

    const ScheduleSettings &settings() const { return m_s; }
    bool variableMode() const { return m_variable; }

    // First half for layer n (from 0): its height, recorded in heights().
    void cutLayer(int n);
    // Where variable steps sample the surfaces for layer n: its bottom (normalised units, after
    // the Z scale); 0.01 mm above the plate for layer 0, so faces lying on the plate are not hit.
    float sampleZ() const { return m_sampleZ; }
    // Second half, before the render: the step to the next layer (this layer's thickness) and
    // the cut in the middle of the slab. `flatness` is the normal sampler's result at
    // sampleZ() and is read in variable mode only.
    void chooseNextStep(float flatness = 0.0f);

    int layerIndex() const { return m_layer; }
    float heightMm() const { return m_height; }         // recorded height of the current layer
    float cutZ() const { return m_cutZ; }               // normalised units, after the Z scale; valid after chooseNextStep()
    float cutMm() const { return m_cutZ / m_s.sceneScale; }
    float slicePosition() const { return m_slicePosition; }   // height / maxZ
    float zStepNextUm() const { return m_zStepNext; }
    const std::vector<float> &heights() const { return m_heights; }

    // Stop test: true when the next layer's height is still below maxZ. Heights within
    // 0.1 µm of maxZ count as reaching it, so float rounding never adds a stray layer.
    bool hasNextLayer() const;
    double nextHeightMm() const;
    // Progress of the current layer, percent (0 … 100).
    int progressPercent() const;

private:
    ScheduleSettings m_s;
    bool m_variable;
    int m_layer = -1;
    double m_heightUm = 0.0;
    float m_height = 0.0f;
    float m_sampleZ = 0.0f;
    float m_cutZ = 0.0f;
    float m_slicePosition = 0.0f;
    float m_zStepNext = 0.0f;
    std::vector<float> m_heights;
};

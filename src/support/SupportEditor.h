#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QVector3D>
#include <functional>
#include <vector>

#include "scene/SupportRecord.h"
#include "support/SupportMeshBuilder.h"
#include "support/SupportParameters.h"

class Scene;

// The widget-free side of supports: the parameters and settings the user sets, the pick
// state of manual editing, and the operations that make, change and remove supports in a
// scene. The view owns one and feeds it the mouse's ray probes; the command line drives
// it directly.
class SupportEditor : public QObject
{
    Q_OBJECT
public:
    explicit SupportEditor(Scene *scene, QObject *parent = nullptr);

    Scene *scene() const { return m_scene; }

    // --- parameters and settings --------------------------------------------------------
    void setSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2, float theta,
                              float theta2, bool thinTip);
    void setParameters(const SupportParameters &p);
    const SupportParameters &parameters() const { return m_params; }
    SupportMeshBuilder &builder() { return m_builder; }

    double penetrationDistance = 0.0;      // mm the contact point is pushed into the model
    float cosThresholdAngle = 0.7071f;     // overhang facet list and display
    float cosCriticalAngle = 0.9848f;      // overhang display
    double sinSurfaceNormal = 0.5;         // manual supports only below surfaces with normal z < this
    int flipCopyMode = 0;                  // bit 0: mirror copy across y, bit 1: across x
    bool branchMode = false;
    bool supportPreview = true;
    bool waterline = false;
    bool fullSupportView = true;

    // --- manual support mode --------------------------------------------------------------
    // 0 off, 1 one-point, 2 two-point. Entering removes the global base and the linkers
    // (they would hide the model's underside) and leaving puts them back.
    void setSupportMode(int mode);
    int supportMode() const { return m_mode; }
    // Filled in by bases and linkers: put back what entering support mode removed.
    std::function<void()> restoreGlobalBase;
    std::function<void()> regenerateSupportLinkers;
    // "Support Mode (1 Pt). Press ESC to escape." and the flip-copy marks.
    QString statusLine() const;

    // The current pick (mm, world): contact point A and its normal, foot point B and its
    // normal, and the objects they lie on (0: the build plate).
    struct Pick
    {
        QVector3D pointA, normalA{0, 0, -1};
        QVector3D pointB, normalB{0, 0, 1};
        int tipObject = 0;
        int footObject = 0;
    };
    Pick pick;
    int clickCount = 0;            // two-point mode: clicks so far
    int branchCandidate = 0;       // U steps through the branch candidates

    // The mouse: a click (preview false) or a move (preview true) in support mode with the
    // ray under the cursor (mm, world). Probes the scene, applies the acceptance rules and
    // makes (or previews) the support of the current mode; a refused or empty hover
    // removes the preview.
    void drawSupportPreview(bool preview, QVector3D rayStart, QVector3D rayDirection);

    // Makes a support from the pick in the given mode (1, 2, 3, 5, 6, 7; see the modes of
    // the editing tools) with the flip copies of flipCopyMode. A preview is a see-through
    // support without history, log or copies. Returns the number of supports made; on a
    // pick that cannot give a sound support, 0 and *error says why.
    int addSupportManual(int mode, bool preview, QString *error = nullptr);
    // Adds a finished record (scene loading). Returns the object id, -1 when refused.
    int addSupportManual(const spUnit &unit, QString *error = nullptr);
    // A see-through stub at the contact point (two-point mode's first click).
    void addSupportSphere();
    // The preview is always the last object; removes it when there is one.
    void deleteSupportPreview();
    bool hasPreview() const;
    // Rebuilds support objId from a changed record. False when refused (unsound record).
    bool updateSupport(int objId, spUnit unit, QString *error = nullptr);

    // Straighten the selected supports along their tip-to-foot line, or make them vertical
    // below the tip.
    void makeSupportStraight();
    void makeSupportVertical();
    // Rebuilds the supports of the selected models (all when nothing is selected) with the
    // current parameters; `progress` gets 0…100.
    void resetSupportTips(const std::function<void(int)> &progress = {});
    // Moves the children of the selected models (or of one model) by dist.
    void onMoveSupports(QVector3D dist);
    void moveSupprts(int id, QVector3D dist);
    // Shift-click joint editing: the record point of support objId nearest to worldPoint
    // (within 2.5 mm; the tip in the contact-only view) grows (+1) or shrinks (−1) by
    // 0.025 mm. False when no point is near or the radius is at its limit.
    bool changeJointRadius(int objId, QVector3D worldPoint, int direction);

    // --- automatic supports ---------------------------------------------------------------
    // Grid supports under the selected model: one probe straight up per grid point, a
    // support wherever it meets a surface facing down within 45° at least 2 mm up. One
    // history record for the batch. Returns the number made; -1 with *error when refused
    // (no model, bad pitch, too many probes without allowManyProbes).
    int onAutoSupport(bool allowManyProbes = false, QString *error = nullptr);
    // How many probes the grid of a model would cast at pitch p (for the question first).
    static double gridProbeCount(const QList<float> &bbox, float pitch);
    // The grid columns (x) and rows (y) for a box and a pitch.
    static QPair<QVector<float>, QVector<float>> gridLines(const QList<float> &bbox, float pitch);

    // The overhanging facets of the selected model as segments (start, end) for display.
    void generateAutoSupport();
    const QVector<QPair<QVector3D, QVector3D>> &overhangLines() const { return m_overhangLines; }
    // The same as six floats per segment, for drawing.
    const std::vector<float> &overhangLineCoordinates() const { return m_overhangXyz; }

    // Branch candidates for the current pick: (key distance, support number), ascending.
    QVector<QPair<float, int>> branchCandidates(QVector3D a) const;

private:
    int addOne(const spUnit &unit, bool record, QString *error);
    spUnit sampledAt(int supportObj, float worldZ, float *radius, QVector3D *point) const;
    int selectedModel() const;

    Scene *m_scene;
    SupportParameters m_params;
    SupportMeshBuilder m_builder;
    int m_mode = 0;
    bool m_removedGlobalBase = false;
    bool m_removedLinkers = false;
    bool m_batch = false;
    QVector<QPair<QVector3D, QVector3D>> m_overhangLines;
    std::vector<float> m_overhangXyz;
};

struct SupportSettings;
// Automatic grid supports under every model of the scene, with the stored settings'
// tip offset (the command line's --supports). Returns how many were made; -1 with
// *error when a model's grid is refused (bad pitch, too many probes).
int addSupportsUnderModels(Scene &scene, const SupportParameters &params, const SupportSettings &settings,
                           QString *error);

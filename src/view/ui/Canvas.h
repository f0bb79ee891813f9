#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QOpenGLWidget>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QSurfaceFormat>
#include <QTimer>
#include <QVector3D>
#include <memory>

#include "imaging/LayerChain.h"
#include "scene/Mesh.h"
#include "scene/Object.h"
#include "slicing/LayerSchedule.h"
#include "slicing/SliceParameters.h"
#include "slicing/Slicer.h"
#include "slicing/ui/ProgressWindow.h"
#include "support/DrainHoles.h"
#include "view/Camera.h"
#include "view/Picking.h"
#include "view/SceneRenderer.h"

class CrossSectionRenderer;
struct HollowMeshJob;
class Scene;
class SupportEditor;
class Bases;
class SupportLinkers;
struct EnvironmentSettings;

// The 3D view: draws the scene it owns with the view's shader set, runs the orbit camera,
// picks objects and surface points, drags models on the plate and captures the package
// previews. Scene commands from the window are forwarded to the scene.
//
// Frames are driven by a timer only while the camera glides; otherwise the view repaints
// when something changes, so an idle window costs no processor time.
class Canvas : public QOpenGLWidget
{
    Q_OBJECT
public:
    // The view always asks for an OpenGL 3.2 core context; `format` supplies the rest
    // (samples, depth) and is raised to that version when it asks for less.
    Canvas(const QSurfaceFormat &format, QWidget *parent = nullptr, float factor = 1.5f);
    ~Canvas() override;

    Scene *scene() const { return m_scene; }
    Camera &camera() { return m_camera; }
    const ViewSettings &viewSettings() const { return m_settings; }

    // Manual support editing: 0 off, 1 one-point mode, 2 two-point mode. Set it with
    // setSupportMode, which also takes away and restores what support mode hides.
    int supportMode = 0;
    void setSupportMode(int mode);
    // Supports: parameters, settings, the pick and the editing operations.
    SupportEditor *supportEditor() const { return m_supports; }
    // Marks shown in the support-mode status line, and the ring-base pick.
    bool xFlipCopy = false;
    bool yFlipCopy = false;
    bool ringBasePick = false;
    // Drain holes: placed where the user clicks while this is on (a preview follows the mouse).
    bool drainHolePlacing = false;
    DrainHoleSettings drainHoleSettings;
    // Support linkers: the farthest foot distance that is braced, mm.
    int linkerDistanceMm = 10;
    Bases *bases() const { return m_bases.get(); }
    SupportLinkers *supportLinkers() const { return m_linkers.get(); }
    // Overhang colouring while supports are edited (degrees from vertical down).
    float supportThresholdDeg = 45.0f;
    float supportCriticalDeg = 10.0f;

    // The short text shown at the bottom left (e.g. "Reading <file>").
    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);
    // The camera and mouse lines composed by set_status2 / set_status3.
    QString cameraStatus() const { return m_cameraStatus; }
    QString mouseStatus() const { return m_mouseStatus; }

    // View behaviour, build height and support angles from the environment settings.
    void applySettings(const EnvironmentSettings &settings);
    // Projector resolution and pixel size (µm); also the scene's printable area.
    void setProjector(int widthPx, int heightPx, float pixelSizeXUm, float pixelSizeYUm);
    void setBuildHeight(float mm);
    // Pause between animation frames (µs); 0 or less means 16667.
    void setFrameIntervalUs(int us);
    int frameIntervalMs() const { return m_frameTimer.interval(); }
    // True while the camera glides (the frame timer runs).
    bool isAnimating() const { return m_frameTimer.isActive(); }

    // Ray pick under a widget position (logical px): hits in mm; the top-most is chosen,
    // or the lowest in bottom-pick mode. Supports take part only when `withSupports`.
    PickResult pickRay(const QPointF &pos, bool bottomPick = false, bool withSupports = false);
    // The object under a widget position by the colour pass; -1 for none.
    int pickObject(const QPointF &pos, bool withSupports = true);

    // The five package previews (Top, Front, Left, Right, three-quarter); emits
    // signalUpdatePreview and keeps them in previewList().
    void capturePreviews();
    const QList<QPixmap> &previewList() const { return m_previews; }

    // Number of frames drawn so far (for the idle benchmark and tests).
    quint64 frameCount() const { return m_frames; }

    // --- slicing -------------------------------------------------------------------------
    // Switches of the next run (the window and the package export set them).
    bool sliceOnDisk = true;             // write every layer as a PNG; otherwise keep images in memory
    bool keepSliceFolder = false;        // a run with a file name writes into a folder named after it
    bool splitSupportExposure = false;   // supports get an image of their own where they meet a model
    bool fullSupportView = true;         // false: supports as their contact parts, no bases
    float maxZ = 100.0f;                 // mm, top of the slicing range
    VariableStepTable variableStepTable = VariableStepTable::defaults();
    QList<FlexSliceRange> flexSliceList; // switched-on ranges of the last package export
    PostProcessSettings postProcess;     // the layer chain (outline, dilation, mirrors, packing)

    // Results of the last run, kept until the next one starts.
    QList<QPixmap> sliceImages;          // without sliceOnDisk
    QList<QString> sliceFileNames;       // with sliceOnDisk
    std::vector<float> sliceHeights;     // mm, one per image
    QList<int> layerCodes;               // one per image
    std::vector<float> islandMarkersMm;  // x, y, z of the islands the view marks (the window sets them)

    // The projector geometry and scale compensation slicing uses.
    SliceParameters sliceParameters() const;
    void setSliceScale(double xPercent, double yPercent, double zPercent);

    // Hands the next onStartSlicing() whose file name is `fileName` complete run options
    // instead of the ones made from the switches above (the package export uses this, so
    // its layers are made exactly as the command-line package's).
    void prepareRun(const QString &fileName, const SliceRunOptions &options, const SliceParameters &params);

    bool isSlicing() const { return m_slicingInProgress; }

    // The slice tab's preview cut: state 0 off, 1 keeps what lies below the cut, 2 what lies
    // above it; position = cut height as a fraction of the scene's top (0..1).
    void setSlicePreview(int state, float position);
    int slicePreviewState() const { return m_previewState; }
    float slicePreviewPosition() const { return m_previewPosition; }
    // How the last run ended and why it failed.
    Slicer::Step lastSliceResult() const { return m_lastSliceResult; }
    QString lastSliceError() const { return m_lastSliceError; }
    const Slicer *slicer() const { return m_slicer.get(); }
    ProgressWindow *progressWindow() const { return m_progress; }

public slots:
    // Scene operations, forwarded to the scene.
    void load_mesh(QList<Mesh> meshes, QString fileName);
    void onColorList(QList<Object::modelColor> colors);
    void changeSelObj(QList<int> selIds, int selId);
    void changeObjScale(double nsx, double nsy, double nsz);
    void on_duplicateObj(int id);
    void clear_model();
    void onUpdateBBox();
    void onMoveToBottom();
    void checkPosConflict();
    void removeObj(int id);
    void removeObjList(QList<int> idList);
    void group();
    void ungroup();
    void undo();

    // Camera.
    void resetView();
    void resetCenter();
    void setViewPreset(ViewPreset preset);
    void viewIsometric() { setViewPreset(ViewPreset::Isometric); }
    void viewFront() { setViewPreset(ViewPreset::Front); }
    void viewLeft() { setViewPreset(ViewPreset::Left); }
    void viewRear() { setViewPreset(ViewPreset::Rear); }
    void viewRight() { setViewPreset(ViewPreset::Right); }
    void viewTop() { setViewPreset(ViewPreset::Top); }
    void viewBottom() { setViewPreset(ViewPreset::Bottom); }
    void onChangeProjection(bool isOrtho);
    void set_status2();
    void set_status3();
    void onShowPlatform(bool show);

    // View, support, slicing and drain-hole features.
    // Bases, linkers and drain holes (CanvasBases.cpp). Refusals become timed messages.
    void deleteBases();
    void addRectBase(float margin, float t, int baseShape);
    void addGlobalBase(float margin, float t);
    void removeGlobalBase();
    bool createRingBase(float zheight);
    void generateSupportLinkers();
    void removeSupportLinkers();
    void deleteDrainHolePreview();
    void deleteAllSupports();
    void setSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2,
                              float theta, float theta2, bool thinTip);
    void onChangeOpacity(float opacity);
    void onAutoSupport();
    void onModelFlip();
    void onMoveSupports(QVector3D dist);

    // Slicing: one layer per onSlicingLayer() call, driven by signalSlicingLayer through the
    // event loop, so the window and the progress dialog stay live and the stack stays flat.
    void onStartSlicing(float sThick, QString fileName = QString());
    void onSlicingLayer(int numLayer);
    void onSlicingCancel();
    // One cross-section at zPos mm; emits signalUpdateSlice with that one image.
    void getSliceAt(float zPos);
    void onProjectorSizeChanged(int size);

    // The flex-slice band shown in the view.
    void updateFlexSliceRange(double from, double to);
    void updateFlexSliceEnable(bool on);

    // The hollowed-model mesh (CanvasHollow.cpp): cuts object objId into a coarse stack and
    // hands it out with signalHollowSlices; the hollowed stack comes back to
    // onHollowingFinished, which adds the cavity's surface as a child object.
    void renderSliceHollow(int objId, float wallSize = 2.0f);
    void onHollowingFinished(QList<QPixmap> sliceList);

signals:
    void objSelectionChanged(int id);
    void modelListChanged();
    void signalUpdateGlobalZ(float z);
    void updateLogWindow(QString msg);
    void signalTimedMessage(QString text, int milliseconds);
    void signalUpdateSlice(QList<QPixmap> slices);
    void signalUpdateSliceFilename(QList<QString> fileNames);
    void signalUpdatePreview(QList<QPixmap> previews);
    void signalDrainHoleCreated();
    void signalSupportModeOff();
    void signalPreviewSliderChange(float value);
    void signalSlicingLayer(int numLayer);
    // A run has ended (after its results were handed over): Finished, Cancelled or Failed.
    void signalSlicingEnded(int result, QString error);
    // The camera or mouse status line changed (set_status2 / set_status3).
    void signalStatusChanged(QString text);
    // A left click (press and release without a drag) in support mode, drain-hole mode or
    // ring-base pick, for the tools that place things where the user clicks.
    void signalToolClick(QPointF pos, Qt::KeyboardModifiers modifiers);
    // The mouse moved over the view while a tool mode is on (support previews).
    void signalToolHover(QPointF pos, Qt::KeyboardModifiers modifiers);
    // A coarse stack to hollow by wtPx pixels and wtz layers (renderSliceHollow).
    void signalHollowSlices(QList<QPixmap> sliceList, int wtPx, int wtz);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void onFrameTick();
    void startGlide();
    FrameState frameState() const;
    QSize framebufferSize() const;
    bool toolModeOn() const { return supportMode > 0 || ringBasePick || drainHolePlacing; }
    void beginObjectDrag(int id, const QPointF &pos);
    void dragObjects(const QPointF &from, const QPointF &to);
    void endObjectDrag();
    void drawStatusTexts();
    void onContextAboutToBeDestroyed();
    std::unique_ptr<CrossSectionRenderer> createSliceRenderer();
    // The filled cut at the slice-preview height, drawn into the current frame.
    void drawPreviewSection();
    void endSlicingRun(Slicer::Step step);
    void failSlicingStart(const QString &why);
    void releaseSliceRenderer();
    void drawSliceTexture();

    // Support mode's clicks and moves under the mouse (CanvasSupports.cpp).
    void supportToolClick(const QPointF &pos, Qt::KeyboardModifiers mods, bool rightButton = false);
    void supportToolHover(const QPointF &pos, Qt::KeyboardModifiers mods);
    // Ring-base picks and drain-hole placing (CanvasBases.cpp); true when the event was theirs.
    bool structureToolClick(const QPointF &pos);
    bool structureToolHover(const QPointF &pos);
    void connectStructures();
    std::unique_ptr<Bases> m_bases;
    std::unique_ptr<SupportLinkers> m_linkers;

    Scene *m_scene = nullptr;
    SupportEditor *m_supports = nullptr;
    Camera m_camera;
    ViewSettings m_settings;
    std::unique_ptr<SceneRenderer> m_renderer;
    QTimer m_frameTimer;
    QElapsedTimer m_frameClock;
    QString m_statusText;
    QString m_cameraStatus;
    QString m_mouseStatus;
    QList<QPixmap> m_previews;
    float m_factor;
    quint64 m_frames = 0;
    bool m_glFailed = false;

    // Mouse state.
    QPointF m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    bool m_dragged = false;
    QList<int> m_dragIds;        // models being dragged
    float m_dragPlaneZ = 0.0f;   // the height of the grabbed point, mm

    // Slicing.
    std::unique_ptr<CrossSectionRenderer> m_sliceRenderer;
    int m_previewState = 0;
    float m_previewPosition = 0.0f;
    std::unique_ptr<Slicer> m_slicer;
    QPointer<ProgressWindow> m_progress;
    QElapsedTimer m_sliceRedrawClock;   // the last redraw of the view during a run
    bool m_slicingInProgress = false;
    bool m_runOnDisk = true;
    int m_textureSizePx = 1920;
    double m_sliceScalePct[3] = {0.0, 0.0, 0.0};
    Slicer::Step m_lastSliceResult = Slicer::Finished;
    QString m_lastSliceError;
    struct PreparedRun
    {
        QString fileName;
        SliceRunOptions options;
        SliceParameters params;
    };
    std::unique_ptr<PreparedRun> m_prepared;
    bool m_flexBandOn = false;
    float m_flexFromMm = 0.0f;
    float m_flexToMm = 0.0f;
    std::shared_ptr<HollowMeshJob> m_hollowJob;   // the stack renderSliceHollow handed out
};

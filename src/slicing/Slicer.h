#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "slicing/CrossSection.h"
#include "slicing/LayerSchedule.h"
#include "slicing/LayerStackStage.h"
#include "slicing/LitImage.h"
#include "slicing/SliceParameters.h"

// What the post-processing of a layer gets to know about it.
struct LayerContext
{
    int layerIndex = 0;              // from 0
    int layerCode = 0;               // 0, 1 or 2 (see LayerCodeValue)
    float heightMm = 0.0f;           // recorded height
    float cutZ = 0.0f;               // normalised units
    bool secondExposureGroup = false;
    bool forStorage = true;          // false: the images stay in memory (only the outline step applies)
    // The cross-section outline just below the cut, six floats (two points in mm) per segment.
    // Costs a GPU pass, so it is fetched only when asked for, on the slicing thread.
    std::function<std::vector<float>()> outlineMm;
};

// Turns the rendered images of a layer (one, or two for code 2) into the images to store,
// in file order. Empty = images are stored as rendered.
using LayerPostProcess = std::function<std::vector<cv::Mat>(std::vector<cv::Mat> images, const LayerContext &)>;

// Encodes a layer image to PNG bytes; empty when it cannot.
using LayerEncoder = std::function<std::vector<unsigned char>(const cv::Mat &image)>;

// The same two hooks for layers kept as their lit box (see LitImage): the work on a layer then
// follows the part of the panel it lights.
using LitPostProcess = std::function<std::vector<LitImage>(std::vector<LitImage> images, const LayerContext &)>;
using LitEncoder = std::function<std::vector<unsigned char>(const LitImage &image)>;

// Called after each layer file is written (e.g. to add it to a package archive). False with
// *error stops the run.
using LayerFileWritten = std::function<bool(const QString &path, QString *error)>;

class LayerAnalysis;

struct SliceRunOptions
{
    float sliceThicknessUm = 50.0f;   // below 5 µm: variable steps
    float maxZ = 100.0f;              // mm
    QList<FlexSliceRange> flexSlices;
    VariableStepTable variableSteps = VariableStepTable::defaults();

    bool sliceOnDisk = true;
    QString outputFolder;             // must exist; see sliceOutputFolder()
    bool splitSupportExposure = false;
    bool fullSupportView = true;

    LayerPostProcess postProcess;
    LayerEncoder encode;              // empty: encodeLayerImage()
    // When either is set, each layer travels as its lit box from the fill to the encoder, and
    // these take the place of postProcess and encode (an empty litEncode then uses encode).
    // Without them every layer is a whole image throughout: the straightforward way, kept to
    // check the other against.
    LitPostProcess litPostProcess;
    LitEncoder litEncode;
    // False when the post-processing never asks for the outline (no outline step): with
    // workers it is then not taken at all, instead of in advance for every layer.
    bool outlineUsed = true;
    LayerFileWritten fileWritten;
    std::function<void(const QString &)> log;   // "Slicing started", … (the window's log panel)
    // A layer's images as rendered (merged and split, before post-processing), for collectors
    // such as preview silhouettes. Called in layer order on the calling thread.
    std::function<void(const std::vector<cv::Mat> &images, const LayerContext &)> layerRendered;

    // Worker threads for several layers at once: 0 does all work on the calling thread, one
    // layer per processLayer() call; -1 uses one worker per processor core. With workers, the
    // calling thread takes each layer's cut (and the renderer's GL work) in order, while
    // filling (when the renderer can hand it off), postProcess and encode run on the workers,
    // several layers at a time: those two hooks must then be safe to call concurrently, and
    // the outline they may ask for is taken beforehand. fileWritten, layerRendered and log stay
    // on the calling thread, and files and lists still come out in layer order. Renderers that
    // can only take outlines on their own thread (the stencil pass) always run without workers.
    int workerThreads = 0;

    // Looks at every layer as it passes (islands, resin use); read it when the run is over.
    std::shared_ptr<LayerAnalysis> analysis;

    // A step over the whole stack (hollowing): it sees each layer's first image as rendered,
    // and a layer is post-processed and stored only once the stage has seen the layers it
    // needs above it. Empty: none.
    std::shared_ptr<LayerStackStage> stackStage;
};

// One slicing run, one layer per processLayer() call, so the caller can keep its event
// loop running and show progress between layers. Uses the GL context current at each call.
//
//   Slicer s(&renderer);
//   if (!s.start(objects, params, options, &error)) …
//   while (s.processLayer() == Slicer::Continue) pumpEvents();
class LayerWorkers;

class Slicer
{
public:
    enum Step { Continue, Finished, Cancelled, Failed };

    explicit Slicer(CrossSectionRenderer *renderer);   // not owned
    ~Slicer();

    // Checks the parameters, configures the renderer and resets the run's lists. The objects
    // are a snapshot; the scene must not change during the run anyway.
    bool start(std::vector<SliceObject> objects, const SliceParameters &params, const SliceRunOptions &options,
               QString *error);
    // Renders, post-processes and stores the next layer. After Finished, Cancelled or Failed
    // the run is over; its lists keep the layers done.
    Step processLayer();
    // Ends the run at the next processLayer() call; finished layers are kept.
    void cancel();

    bool isRunning() const { return m_running; }
    bool wasCancelled() const { return m_cancelled; }
    QString errorString() const { return m_error; }
    QString outputFolder() const { return m_options.outputFolder; }
    const LayerAnalysis *analysis() const { return m_options.analysis.get(); }

    // The run's results: one entry per layer image.
    const QStringList &sliceFileNames() const { return m_fileNames; }
    const std::vector<cv::Mat> &sliceImages() const { return m_images; }   // without sliceOnDisk
    const std::vector<float> &sliceHeights() const { return m_heights; }
    const QList<int> &layerCodes() const { return m_codes; }

    int layersDone() const { return m_layersDone; }
    int progressPercent() const;
    float slicePosition() const;
    float cutZ() const;
    qint64 elapsedMs() const;
    // Estimated remaining time from the progress so far, ms; -1 before any progress.
    qint64 remainingMs() const;

    // One cross-section at zPos mm (no Z compensation), render mode 0. Black above the scene.
    bool getSliceAt(const std::vector<SliceObject> &objects, const SliceParameters &params, float zPosMm,
                    cv::Mat *image, QString *error, const RenderFlags &flags = RenderFlags());

    // Where the run's time went so far, ms.
    struct Timings
    {
        double scheduleMs = 0.0;      // cut heights, and the surface sampling of variable steps
        double drawMs = 0.0;          // the cross-section draws
        double readBackMs = 0.0;
        double postProcessMs = 0.0;   // merging, splitting and the post-process hook
        double encodeMs = 0.0;
        double writeMs = 0.0;
    };
    Timings timings() const;

    // "h:mm:ss" style "%1:%2:%3", each part two digits.
    static QString timeText(qint64 seconds);

private:
    struct LayerOutcome;
    struct PendingLayer;
    struct RenderedLayer;
    struct HeldLayer;
    using Section = std::function<LitImage()>;

    Step fail(const QString &message);
    void releaseRunMemory();
    Step end(bool cancelled);
    void keepImage(const cv::Mat &image, int code, float height);
    bool storeBytes(const std::vector<unsigned char> &bytes, int code, float height);
    void log(const QString &text);
    // Takes layer n's cut height, picks the step to the next layer and returns the flags
    // its cross-sections are drawn with.
    RenderFlags cutLayer(int n);

    // With workers: dispatches the next layer and stores finished ones in order.
    Step processLayerPipelined();
    // The cross-sections of the layer just cut, one per render mode, as work for later.
    bool takeSections(const RenderFlags &flags, std::vector<Section> *sections, QString *error);
    LayerOutcome runLayerJob(const std::vector<Section> &sections, LayerContext context) const;
    // The two halves of a layer's job, run apart when a stack stage holds layers back: the
    // cross-sections made and merged (and handed to the stage, in layer order through
    // admitAfter / admitted), then the stage's change, post-processing and encoding.
    RenderedLayer renderLayerJob(const std::vector<Section> &sections, const LayerContext &context,
                                 std::shared_future<void> admitAfter, std::promise<void> *admitted) const;
    LayerOutcome finishLayerJob(RenderedLayer layer, const LayerStackStage::Change &change, LayerContext context) const;
    // With a stack stage: queues the finishing half of held layers, oldest first, once the
    // layer their change comes with is done. `wait` waits for the oldest one's; with
    // lastLayers (the run's end) the top layers go without a change and all are queued.
    void postFinishing(bool wait, bool lastLayers);
    void postFinishingOf(PendingLayer &p, const std::shared_future<RenderedLayer> &source);
    // Without workers and with a stack stage: finishes and stores the oldest held layer.
    bool finishHeldLayer(const LayerStackStage::Change &change);
    std::vector<unsigned char> encodeImage(const LitImage &image) const;
    bool storeOutcome(const LayerContext &context, LayerOutcome &outcome);
    bool storeNextPending();
    // Stores every layer in flight; false when one fails (the run has failed then).
    bool storeAllPending();
    // Waits for the layers in flight and drops them (the run is ending or failed).
    void abandonPending();

    CrossSectionRenderer *m_renderer;
    std::vector<SliceObject> m_objects;
    SliceParameters m_params;
    SliceRunOptions m_options;
    std::unique_ptr<LayerSchedule> m_schedule;
    bool m_secondExposure = false;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_cancelled = false;
    int m_layersDone = 0;
    QString m_error;
    QElapsedTimer m_clock;
    Timings m_timings;
    CrossSectionRenderer::Timings m_rendererAtStart;

    QStringList m_fileNames;
    std::vector<cv::Mat> m_images;
    std::vector<float> m_heights;
    QList<int> m_codes;

    bool m_pipelined = false;
    bool m_lit = false;   // layers travel as their lit box
    std::size_t m_maxPending = 1;
    std::deque<std::unique_ptr<PendingLayer>> m_pending;
    std::unique_ptr<LayerWorkers> m_workers;
    std::shared_future<void> m_lastAdmitted;   // the stage took the last dispatched layer
    std::deque<HeldLayer> m_held;              // without workers: layers the stage holds back
};

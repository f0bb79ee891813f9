#include "slicing/Slicer.h"

#include <QDebug>
#include <QDir>
#include <QThread>
#include <algorithm>

#include "slicing/LayerAnalysis.h"
#include "slicing/LayerImage.h"
#include "slicing/LayerWorkers.h"
#include "slicing/LitLayerSteps.h"
#include "slicing/RunLimits.h"

// What a worker makes of one layer.
struct Slicer::LayerOutcome
{
    int code = LayerSingle;
    std::vector<cv::Mat> rendered;                    // for layerRendered
    std::vector<cv::Mat> images;                      // kept in memory (without sliceOnDisk)
    std::vector<std::vector<unsigned char>> encoded;  // one per file; empty: could not be encoded
    QString error;
    double drawMs = 0.0;
    double postProcessMs = 0.0;
    double encodeMs = 0.0;
};

// A layer's images as rendered and merged, before the stack stage changes them.
struct Slicer::RenderedLayer
{
    int code = LayerSingle;
    std::vector<LitImage> images;
    std::vector<cv::Mat> rendered;                    // for layerRendered
    // The stage's change to an older layer; that layer's finishing job takes it out, so the
    // mask does not stay in memory until this layer is stored.
    std::shared_ptr<LayerStackStage::Change> change;
    QString error;
    double drawMs = 0.0;
    double postProcessMs = 0.0;
};

struct Slicer::PendingLayer
{
    LayerContext context;
    std::future<LayerOutcome> outcome;                // invalid while a stack stage holds it back
    std::shared_future<RenderedLayer> rendered;       // with a stack stage only
};

struct Slicer::HeldLayer
{
    RenderedLayer layer;
    LayerContext context;
};

Slicer::Slicer(CrossSectionRenderer *renderer) : m_renderer(renderer) {}

Slicer::~Slicer()
{
    // Workers use the run's hooks and options: they finish before those go.
    abandonPending();
}

void Slicer::log(const QString &text)
{
    qInfo("%s", qPrintable(text));
    if (m_options.log)
        m_options.log(text);
}

bool Slicer::start(std::vector<SliceObject> objects, const SliceParameters &params, const SliceRunOptions &options,
                   QString *error)
{
    abandonPending();
    m_running = false;
    m_cancelRequested = false;
    m_cancelled = false;
    m_layersDone = 0;
    m_error.clear();
    m_fileNames.clear();
    m_images.clear();
    m_heights.clear();
    m_codes.clear();
    m_schedule.reset();

    auto refuse = [&](const QString &why) {
        m_error = why;
        if (error)
            *error = why;
        return false;
    };
    if (!m_renderer)
        return refuse("No cross-section renderer.");
    if (options.sliceOnDisk && (options.outputFolder.isEmpty() || !QDir(options.outputFolder).exists()))
        return refuse(QString("The slice folder \"%1\" does not exist.").arg(options.outputFolder));

    ScheduleSettings schedule;
    schedule.sliceThicknessUm = options.sliceThicknessUm;
    schedule.maxZ = options.maxZ;
    schedule.sceneScale = params.sceneScale();
    schedule.zScaleFactor = params.zScaleFactor();
    schedule.flexSlices = options.flexSlices;
    schedule.variableSteps = options.variableSteps;
    QString why = params.check();
    if (why.isEmpty())
        why = checkSliceParameterRanges(params);
    if (why.isEmpty())
        why = checkRunRanges(objects, params, options);
    if (why.isEmpty())
        why = schedule.check();
    if (!why.isEmpty())
        return refuse(why);
    if (!m_renderer->configure(params, &why))
        return refuse(why);

    m_objects = std::move(objects);
    m_params = params;
    m_options = options;
    if (m_options.analysis) {
        const bool lit = bool(options.litPostProcess) || bool(options.litEncode);
        if (m_options.litPostProcess || (lit && !m_options.postProcess))
            m_options.litPostProcess = m_options.analysis->attachLit(params, m_options.litPostProcess);
        else
            m_options.postProcess = m_options.analysis->attach(params, m_options.postProcess);
    }
    m_schedule = std::make_unique<LayerSchedule>(schedule);
    m_timings = Timings();
    m_rendererAtStart = m_renderer->timings();
    m_secondExposure = hasSecondExposure(m_objects);
    m_lit = bool(options.litPostProcess) || bool(options.litEncode);
    const int workers = options.workerThreads < 0 ? std::max(1, QThread::idealThreadCount()) : options.workerThreads;
    m_pipelined = workers > 0 && m_renderer->hasOutlineLater();
    if (m_pipelined) {
        if (!m_workers || m_workers->threadCount() != workers)
            m_workers = std::make_unique<LayerWorkers>(workers);
        // Enough layers in flight to keep every worker busy while the next cut is taken, but
        // no more than about 256 MB of layer images (an image, its processed copy, the copy
        // for layerRendered and its PNG), and at least one.
        const double layerBytes = 4.0 * params.projectorWidthPx * params.projectorHeightPx * (m_secondExposure ? 3 : 1);
        const std::size_t byMemory = std::size_t(256.0 * 1024 * 1024 / layerBytes);
        m_maxPending = std::clamp<std::size_t>(byMemory, 1, 2 * std::size_t(workers) + 1);
        // Layers kept as their lit box hold their images only while a worker has them; a
        // finished one waiting for its turn holds its encoded file.
        if (m_lit && options.sliceOnDisk && !options.layerRendered)
            m_maxPending = 2 * std::size_t(workers) + 1;
        // A stack stage holds each layer until it has seen the layers above it.
        if (m_options.stackStage)
            m_maxPending += std::size_t(std::max(0, m_options.stackStage->lookaheadLayers())) + 1;
    }
    m_lastAdmitted = std::shared_future<void>();
    m_held.clear();
    m_running = true;
    m_clock.start();
    log("Slicing started");
    return true;
}

void Slicer::cancel()
{
    if (m_running)
        m_cancelRequested = true;
}

// The run's threads go with their buffers (each keeps a few of a layer's size).
void Slicer::releaseRunMemory()
{
    abandonPending();
    m_workers.reset();
    releaseScratchMats();
}

Slicer::Step Slicer::fail(const QString &message)
{
    releaseRunMemory();
    m_error = message;
    qWarning("%s", qPrintable(message));
    if (m_options.log)
        m_options.log(message);
    m_running = false;
    m_renderer->endRun();
    return Failed;
}

Slicer::Step Slicer::end(bool cancelled)
{
    releaseRunMemory();
    m_running = false;
    m_cancelled = cancelled;
    m_renderer->endRun();
    if (cancelled)
        log("Slicing is canceled.");
    else
        log(QString::asprintf("Slicing time: %.1f seconds.", double(m_clock.elapsed()) / 1000.0));
    return cancelled ? Cancelled : Finished;
}

void Slicer::keepImage(const cv::Mat &image, int code, float height)
{
    m_images.push_back(image);
    m_heights.push_back(height);
    m_codes << code;
}

bool Slicer::storeBytes(const std::vector<unsigned char> &bytes, int code, float height)
{
    const QString path = m_options.outputFolder + "/" + layerFileName(m_fileNames.size() + 1);
    if (bytes.empty()) {
        fail(QString("The layer image %1 cannot be encoded.").arg(path));
        return false;
    }
    QString why;
    QElapsedTimer clock;
    clock.start();
    const bool written = writeLayerBytes(bytes, path, &why);
    m_timings.writeMs += double(clock.nsecsElapsed()) / 1e6;
    if (!written) {
        fail(why);
        return false;
    }
    m_fileNames << path;
    if (m_options.fileWritten && !m_options.fileWritten(path, &why)) {
        fail(why.isEmpty() ? QString("The layer image %1 could not be passed on.").arg(path) : why);
        return false;
    }
    m_heights.push_back(height);
    m_codes << code;
    return true;
}

RenderFlags Slicer::cutLayer(int n)
{
    QElapsedTimer clock;
    clock.start();
    LayerSchedule &s = *m_schedule;
    s.cutLayer(n);
    float flatness = 0.0f;
    if (s.variableMode())
        flatness = flatnessOf(m_renderer->sampleNormals(m_objects, s.sampleZ()));
    s.chooseNextStep(flatness);
    m_timings.scheduleMs += double(clock.nsecsElapsed()) / 1e6;

    RenderFlags flags;
    flags.splitSupportExposure = m_options.splitSupportExposure;
    flags.fullSupportView = m_options.fullSupportView;
    return flags;
}

Slicer::Step Slicer::processLayer()
{
    if (!m_running)
        return m_error.isEmpty() ? (m_cancelled ? Cancelled : Finished) : Failed;
    if (m_pipelined)
        return processLayerPipelined();
    if (m_cancelRequested)
        return end(true);

    const RenderFlags flags = cutLayer(m_layersDone + int(m_held.size()));
    LayerSchedule &s = *m_schedule;
    QString why;
    std::vector<Section> sections;
    if (!takeSections(flags, &sections, &why))
        return fail(why);
    LayerContext ctx;
    ctx.layerIndex = s.layerIndex();
    ctx.heightMm = s.heightMm();
    ctx.cutZ = s.cutZ();
    ctx.secondExposureGroup = m_secondExposure;
    ctx.forStorage = m_options.sliceOnDisk;
    // Just below the cut, so a facet lying in the cut plane is not hit.
    const float outlineHeight = s.cutMm() - 0.001f;
    ctx.outlineMm = [this, outlineHeight]() { return m_renderer->outline(m_objects, outlineHeight); };
    if (m_options.stackStage) {
        std::promise<void> admitted;
        RenderedLayer layer = renderLayerJob(sections, ctx, std::shared_future<void>(), &admitted);
        const LayerStackStage::Change change = layer.change ? *layer.change : LayerStackStage::Change();
        layer.change.reset();
        m_held.push_back(HeldLayer{std::move(layer), ctx});
        if (change.layerIndex >= 0 && !finishHeldLayer(change))
            return Failed;
    } else {
        LayerOutcome outcome = runLayerJob(sections, ctx);
        if (!storeOutcome(ctx, outcome))
            return Failed;
    }

    if (m_cancelRequested)
        return end(true);
    if (!s.hasNextLayer()) {
        // The top layers of the stack are finished without a change.
        while (!m_held.empty()) {
            if (!finishHeldLayer(LayerStackStage::Change()))
                return Failed;
        }
        return end(false);
    }
    return Continue;
}

bool Slicer::finishHeldLayer(const LayerStackStage::Change &change)
{
    HeldLayer held = std::move(m_held.front());
    m_held.pop_front();
    if (change.layerIndex >= 0 && change.layerIndex != held.context.layerIndex) {
        fail(QString("Layer %1 was finished out of order.").arg(change.layerIndex + 1));
        return false;
    }
    LayerOutcome outcome = finishLayerJob(std::move(held.layer), change, held.context);
    return storeOutcome(held.context, outcome);
}

int Slicer::progressPercent() const
{
    if (!m_schedule)
        return 0;
    if (!m_running && !m_cancelled && m_error.isEmpty())
        return 100;
    return m_schedule->progressPercent();
}

float Slicer::slicePosition() const
{
    return m_schedule ? m_schedule->slicePosition() : 0.0f;
}

float Slicer::cutZ() const
{
    return m_schedule ? m_schedule->cutZ() : 0.0f;
}

qint64 Slicer::elapsedMs() const
{
    return m_clock.isValid() ? m_clock.elapsed() : 0;
}

qint64 Slicer::remainingMs() const
{
    if (!m_schedule || m_layersDone == 0)
        return -1;
    const double p = double(m_schedule->cutZ()) / m_params.zScaleFactor() / m_params.sceneScale()
                     / double(m_schedule->settings().maxZ) * 100.0;
    if (!(p > 0.0))
        return -1;
    const qint64 elapsed = elapsedMs();
    return std::max<qint64>(0, qint64(double(elapsed) * 100.0 / p) - elapsed);
}

bool Slicer::getSliceAt(const std::vector<SliceObject> &objects, const SliceParameters &params, float zPosMm,
                        cv::Mat *image, QString *error, const RenderFlags &flags)
{
    if (m_running) {
        if (error)
            *error = "A slicing run is in progress.";
        return false;
    }
    if (!m_renderer || !m_renderer->configure(params, error))
        return false;
    m_images.clear();
    m_cancelRequested = false;
    m_heights = {zPosMm};
    RenderFlags readBack = flags;
    readBack.readBack = true;
    cv::Mat slice;
    if (!m_renderer->render(objects, zPosMm * params.sceneScale(), 0, readBack, &slice, error))
        return false;
    m_images = {slice};
    if (image)
        *image = slice;
    return true;
}

Slicer::Timings Slicer::timings() const
{
    Timings t = m_timings;   // drawMs: the fills done by workers
    if (m_renderer) {
        const CrossSectionRenderer::Timings now = m_renderer->timings();
        t.drawMs += now.drawMs - m_rendererAtStart.drawMs;
        t.readBackMs = now.readBackMs - m_rendererAtStart.readBackMs;
    }
    return t;
}

Slicer::Step Slicer::processLayerPipelined()
{
    if (m_cancelRequested)
        return storeAllPending() ? end(true) : Failed;
    if (m_options.stackStage)
        postFinishing(m_pending.size() >= m_maxPending, false);
    // Finished layers are stored in order; a full pipeline waits for its oldest layer.
    while (!m_pending.empty() && m_pending.front()->outcome.valid()
           && (m_pending.size() >= m_maxPending
               || m_pending.front()->outcome.wait_for(std::chrono::seconds(0)) == std::future_status::ready)) {
        if (!storeNextPending())
            return Failed;
    }

    const RenderFlags flags = cutLayer(m_layersDone + int(m_pending.size()));
    LayerSchedule &s = *m_schedule;
    std::vector<Section> sections;
    QString why;
    if (!takeSections(flags, &sections, &why))
        return fail(why);

    auto pending = std::make_unique<PendingLayer>();
    LayerContext &ctx = pending->context;
    ctx.layerIndex = s.layerIndex();
    ctx.heightMm = s.heightMm();
    ctx.cutZ = s.cutZ();
    ctx.secondExposureGroup = m_secondExposure;
    ctx.forStorage = m_options.sliceOnDisk;
    if ((m_options.postProcess || m_options.litPostProcess) && m_options.outlineUsed) {
        // Just below the cut, so a facet lying in the cut plane is not hit.
        ctx.outlineMm = m_renderer->outlineLater(m_objects, s.cutMm() - 0.001f);
    }
    if (m_options.stackStage) {
        // The stage takes the layers in order: each job waits for the one before it to be
        // taken (that one was posted earlier, so a worker already runs it).
        auto admitted = std::make_shared<std::promise<void>>();
        std::shared_future<void> admitAfter = m_lastAdmitted;
        m_lastAdmitted = admitted->get_future().share();
        auto task = std::make_shared<std::packaged_task<RenderedLayer()>>(
            [this, sections = std::move(sections), ctx, admitAfter, admitted]() {
                return renderLayerJob(sections, ctx, admitAfter, admitted.get());
            });
        pending->rendered = task->get_future().share();
        m_workers->post([task]() { (*task)(); });
        m_pending.push_back(std::move(pending));
        const bool last = !s.hasNextLayer() && !m_cancelRequested;
        postFinishing(last, last);
    } else {
        auto task = std::make_shared<std::packaged_task<LayerOutcome()>>(
            [this, sections = std::move(sections), ctx]() { return runLayerJob(sections, ctx); });
        pending->outcome = task->get_future();
        m_workers->post([task]() { (*task)(); });
        m_pending.push_back(std::move(pending));
    }

    if (m_cancelRequested)
        return storeAllPending() ? end(true) : Failed;
    if (!s.hasNextLayer())
        return storeAllPending() ? end(false) : Failed;
    return Continue;
}

bool Slicer::takeSections(const RenderFlags &flags, std::vector<Section> *sections, QString *error)
{
    std::vector<int> modes = {0};
    if (m_secondExposure)
        modes.push_back(1);
    if (m_options.splitSupportExposure)
        modes.push_back(2);
    const float cutZ = m_schedule->cutZ();
    for (int mode : modes) {
        if (m_lit) {
            Section lit = m_renderer->renderLitLater(m_objects, cutZ, mode, flags);
            if (lit) {
                sections->push_back(std::move(lit));
                continue;
            }
        }
        std::function<cv::Mat()> later = m_renderer->renderLater(m_objects, cutZ, mode, flags);
        if (!later) {
            // Renderers bound to their GL context render here; the rest of the layer moves on.
            cv::Mat image;
            if (!m_renderer->render(m_objects, cutZ, mode, flags, &image, error))
                return false;
            later = [image]() { return image; };
        }
        const bool lit = m_lit;
        sections->push_back([later = std::move(later), lit]() {
            const cv::Mat image = later();
            return lit ? LitImage::fromFull(image) : LitImage::whole(image);
        });
    }
    return true;
}

std::vector<unsigned char> Slicer::encodeImage(const LitImage &image) const
{
    if (m_options.litEncode)
        return m_options.litEncode(image);
    return m_options.encode ? m_options.encode(image.full()) : encodeLayerImage(image.full());
}

void Slicer::postFinishing(bool wait, bool lastLayers)
{
    const std::size_t lookahead = std::size_t(std::max(0, m_options.stackStage->lookaheadLayers()));
    for (std::size_t index = 0; index < m_pending.size(); ++index) {
        PendingLayer &p = *m_pending[index];
        if (p.outcome.valid())
            continue;
        // The change to this layer comes with the layer lookaheadLayers() above it; the top
        // layers of the stack get none.
        std::shared_future<RenderedLayer> source;
        if (index + lookahead < m_pending.size())
            source = m_pending[index + lookahead]->rendered;
        else if (!lastLayers)
            return;
        // Posted only once that layer is done, so no worker sits waiting for it.
        if (source.valid() && source.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            if (!wait)
                return;
            source.wait();
            wait = lastLayers;   // only the oldest one is waited for, unless the run ends
        }
        postFinishingOf(p, source);
    }
}

void Slicer::postFinishingOf(PendingLayer &p, const std::shared_future<RenderedLayer> &source)
{
    auto task = std::make_shared<std::packaged_task<LayerOutcome()>>(
        [this, rendered = p.rendered, source, ctx = p.context]() {
            LayerStackStage::Change change;
            if (source.valid() && source.get().change)
                change = std::move(*source.get().change);
            return finishLayerJob(rendered.get(), change, ctx);
        });
    p.outcome = task->get_future();
    m_workers->post([task]() { (*task)(); });
}

// Runs on a worker (or inline without workers): only the run's options are read, and nothing
// of the slicer is written.
Slicer::LayerOutcome Slicer::runLayerJob(const std::vector<Section> &sections, LayerContext ctx) const
{
    return finishLayerJob(renderLayerJob(sections, ctx, std::shared_future<void>(), nullptr),
                          LayerStackStage::Change(), ctx);
}

Slicer::RenderedLayer Slicer::renderLayerJob(const std::vector<Section> &sections, const LayerContext &ctx,
                                             std::shared_future<void> admitAfter, std::promise<void> *admitted) const
{
    RenderedLayer out;
    QElapsedTimer clock;
    clock.start();
    std::vector<LitImage> rendered;
    for (const Section &section : sections)
        rendered.push_back(section());
    out.drawMs = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();

    std::size_t next = 1;
    LitImage first = rendered[0];
    if (m_secondExposure)
        first = mergeSecondExposure(first, rendered[next++]);
    LitSupportSplit layer;
    layer.images = {first};
    if (m_options.splitSupportExposure)
        layer = splitSupportExposure(first, rendered[next]);
    out.code = layer.code;
    if (m_options.layerRendered) {
        // Copies: the post-processing may draw into its images.
        for (const LitImage &image : layer.images) {
            cv::Mat whole = image.full();
            out.rendered.push_back(whole.data == image.pixels.data ? whole.clone() : whole);
        }
    }
    out.images = std::move(layer.images);
    if (m_options.stackStage && admitted) {
        // A held layer keeps only its box: a view into a whole rendered image would keep the
        // whole image, and a stage holds many layers.
        for (LitImage &image : out.images)
            if (image.pixels.isSubmatrix())
                image.pixels = image.pixels.clone();
        const LayerStackStage::Region prepared = m_options.stackStage->prepareLit(out.images[0]);
        try {
            if (admitAfter.valid())
                admitAfter.get();   // rethrows what broke the layer before
            out.change = std::make_shared<LayerStackStage::Change>(
                m_options.stackStage->admit(ctx.layerIndex, prepared));
        } catch (...) {
            admitted->set_exception(std::current_exception());
            throw;
        }
        admitted->set_value();
    }
    out.postProcessMs = double(clock.nsecsElapsed()) / 1e6;
    return out;
}

Slicer::LayerOutcome Slicer::finishLayerJob(RenderedLayer layer, const LayerStackStage::Change &change,
                                            LayerContext ctx) const
{
    LayerOutcome out;
    out.code = layer.code;
    out.rendered = std::move(layer.rendered);
    out.drawMs = layer.drawMs;
    QElapsedTimer clock;
    clock.start();
    ctx.layerCode = layer.code;
    // The layer's images are this job's alone (layerRendered has its own copies).
    std::vector<LitImage> images = std::move(layer.images);
    const std::size_t count = images.size();
    if (change.layerIndex >= 0)
        LayerStackStage::applyLit(images[0], change);
    if (m_options.litPostProcess) {
        images = m_options.litPostProcess(std::move(images), ctx);
    } else if (m_options.postProcess) {
        std::vector<cv::Mat> whole;
        for (const LitImage &image : images)
            whole.push_back(image.full());
        whole = m_options.postProcess(std::move(whole), ctx);
        images.clear();
        for (const cv::Mat &image : whole)
            images.push_back(m_lit ? LitImage::fromFull(image) : LitImage::whole(image));
    }
    if (images.size() != count) {
        out.error = QString("Post-processing of layer %1 returned %2 images instead of %3.")
                        .arg(ctx.layerIndex + 1)
                        .arg(images.size())
                        .arg(count);
        return out;
    }
    out.postProcessMs = layer.postProcessMs + double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    if (m_options.sliceOnDisk) {
        for (const LitImage &image : images)
            out.encoded.push_back(encodeImage(image));
    } else {
        for (const LitImage &image : images)
            out.images.push_back(image.full());
    }
    out.encodeMs = double(clock.nsecsElapsed()) / 1e6;
    return out;
}

bool Slicer::storeNextPending()
{
    std::unique_ptr<PendingLayer> pending = std::move(m_pending.front());
    m_pending.pop_front();
    LayerOutcome r = pending->outcome.get();   // a worker's exception surfaces here
    return storeOutcome(pending->context, r);
}

bool Slicer::storeOutcome(const LayerContext &context, LayerOutcome &r)
{
    m_timings.drawMs += r.drawMs;
    m_timings.postProcessMs += r.postProcessMs;
    m_timings.encodeMs += r.encodeMs;
    if (!r.error.isEmpty()) {
        fail(r.error);
        return false;
    }
    LayerContext ctx = context;
    ctx.layerCode = r.code;
    if (m_options.layerRendered)
        m_options.layerRendered(r.rendered, ctx);
    const std::size_t count = r.code == LayerSplitFirst ? 2 : 1;
    for (std::size_t k = 0; k < count; ++k) {
        const int code = r.code == LayerSplitFirst ? LayerSplitFirst + int(k) : r.code;
        if (!m_options.sliceOnDisk)
            keepImage(r.images.at(k), code, ctx.heightMm);
        else if (!storeBytes(r.encoded.at(k), code, ctx.heightMm))
            return false;
    }
    ++m_layersDone;
    return true;
}

bool Slicer::storeAllPending()
{
    // Layers a stack stage still holds back (a cancelled run) are dropped.
    while (!m_pending.empty() && m_pending.front()->outcome.valid()) {
        if (!storeNextPending())
            return false;
    }
    return true;
}

void Slicer::abandonPending()
{
    for (const std::unique_ptr<PendingLayer> &p : m_pending) {
        if (p->outcome.valid())
            p->outcome.wait();
        if (p->rendered.valid())
            p->rendered.wait();
    }
    m_pending.clear();
    m_held.clear();
}

QString Slicer::timeText(qint64 seconds)
{
    return QString("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar('0'))
        .arg((seconds / 60) % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

#include <epoxy/gl.h>

#include "view/ui/Canvas.h"

#include "config/DataFolder.h"
#include "imaging/LayerPng.h"
#include "imaging/LitLayerChain.h"
#include "imaging/QtImage.h"
#include "scene/Scene.h"
#include "slicing/CrossSection.h"
#include "slicing/LayerAnalysis.h"
#include "slicing/RendererFactory.h"
#include "slicing/LayerImage.h"
#include "slicing/ui/ProgressWindow.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QDir>
#include <QOpenGLContext>
#include <QRegularExpression>

namespace {

// Layer files of an earlier run in the working folder, so it holds this run's layers only.
void removeOldLayerFiles(const QString &folder)
{
    static const QRegularExpression layerName(QStringLiteral("^S\\d{6}_P1\\.png$"));
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        if (layerName.match(name).hasMatch() && !dir.remove(name))
            qWarning().noquote() << "Old layer file not removed:" << dir.filePath(name);
    }
}

} // namespace

std::unique_ptr<CrossSectionRenderer> Canvas::createSliceRenderer()
{
    // The fastest renderer for this driver, as on the command line: with a graphics card the
    // cut's outline is filled there, in the view's own context, and kept as a texture the view
    // shows while slicing; with a driver that rasterises on the processor, the processor fill
    // on every core is several times faster (the view then shows no cut).
    const auto *text = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    const bool software = !text || isSoftwareGlRenderer(QString::fromUtf8(text));
    return makeCrossSectionRenderer(software ? RendererKind::CpuFill : RendererKind::GpuFill);
}

SliceParameters Canvas::sliceParameters() const
{
    SliceParameters p;
    p.projectorWidthPx = m_settings.projectorWidthPx;
    p.projectorHeightPx = m_settings.projectorHeightPx;
    p.pixelSizeXUm = m_settings.pixelSizeXUm;
    p.pixelSizeYUm = m_settings.pixelSizeYUm;
    p.oversizeFactor = m_factor;
    p.sliceScaleXPct = m_sliceScalePct[0];
    p.sliceScaleYPct = m_sliceScalePct[1];
    p.sliceScaleZPct = m_sliceScalePct[2];
    return p;
}

void Canvas::setSliceScale(double xPercent, double yPercent, double zPercent)
{
    m_sliceScalePct[0] = xPercent;
    m_sliceScalePct[1] = yPercent;
    m_sliceScalePct[2] = zPercent;
}

void Canvas::prepareRun(const QString &fileName, const SliceRunOptions &options, const SliceParameters &params)
{
    m_prepared = std::make_unique<PreparedRun>(PreparedRun{fileName, options, params});
}

void Canvas::releaseSliceRenderer()
{
    // The context must be current.
    m_slicer.reset();
    if (m_sliceRenderer)
        m_sliceRenderer->releaseGpuResources();
    m_sliceRenderer.reset();
}

void Canvas::failSlicingStart(const QString &why)
{
    m_prepared.reset();
    m_lastSliceResult = Slicer::Failed;
    m_lastSliceError = why;
    qWarning().noquote() << "Slicing not started:" << why;
    emit updateLogWindow(tr("Slicing could not start: %1").arg(why));
    emit signalSlicingEnded(int(Slicer::Failed), why);
}

void Canvas::onStartSlicing(float sThick, QString fileName)
{
    if (m_slicingInProgress) {
        emit updateLogWindow(tr("A slicing run is in progress; the new one was not started."));
        return;
    }
    // A run holds the camera where it is.
    m_camera.stopGlide();

    SliceParameters params;
    SliceRunOptions options;
    if (m_prepared && m_prepared->fileName == fileName) {
        options = m_prepared->options;
        params = m_prepared->params;
    } else {
        params = sliceParameters();
        options.sliceThicknessUm = sThick;
        options.maxZ = maxZ;
        options.flexSlices = flexSliceList;
        options.variableSteps = variableStepTable;
        options.sliceOnDisk = sliceOnDisk;
        options.splitSupportExposure = splitSupportExposure;
        options.fullSupportView = fullSupportView;
        options.litPostProcess = makeLitLayerPostProcess(postProcess, params);
        options.litEncode = [](const LitImage &image) { return encodeLitLayerPng(image); };
        options.outlineUsed = postProcess.contourAntialiasing;
        // The layer chain and the encoder depend on their layer only: several run at once.
        options.workerThreads = -1;
        if (sliceOnDisk) {
            QString why;
            options.outputFolder = sliceOutputFolder(fileName, keepSliceFolder, &why);
            if (options.outputFolder.isEmpty()) {
                failSlicingStart(why);
                return;
            }
            if (fileName.isEmpty())
                removeOldLayerFiles(options.outputFolder);
        }
    }
    m_prepared.reset();
    if (!options.analysis)
        options.analysis = std::make_shared<LayerAnalysis>();
    options.log = [this](const QString &text) { emit updateLogWindow(text); };

    if (m_glFailed || !context() || !context()->isValid() || !m_renderer) {
        failSlicingStart(tr("The 3D view is not available, so nothing can be sliced."));
        return;
    }

    sliceImages.clear();
    sliceFileNames.clear();
    sliceHeights.clear();
    layerCodes.clear();
    m_lastSliceError.clear();

    makeCurrent();
    if (!m_sliceRenderer)
        m_sliceRenderer = createSliceRenderer();
    m_slicer = std::make_unique<Slicer>(m_sliceRenderer.get());
    QString why;
    const bool started = m_slicer->start(sliceObjectsOf(*m_scene), params, options, &why);
    doneCurrent();
    if (!started) {
        failSlicingStart(why);
        return;
    }
    m_runOnDisk = options.sliceOnDisk;
    m_slicingInProgress = true;

    auto *progress = new ProgressWindow(window());
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setTitleText(tr("Slicing the scene"));
    progress->setLabel1(tr("Elapsed time: "));
    progress->setLabel2(tr("Remaining time: "));
    progress->setValue1(Slicer::timeText(0));
    progress->setValue2(tr("Calculating.."));
    connect(progress, &ProgressWindow::canceled, this, &Canvas::onSlicingCancel, Qt::UniqueConnection);
    m_progress = progress;
    progress->show();

    // Queued: every turn of layers returns to the event loop before the next one starts.
    connect(this, &Canvas::signalSlicingLayer, this, &Canvas::onSlicingLayer,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    m_sliceRedrawClock.invalidate();
    emit signalSlicingLayer(0);
}

void Canvas::onSlicingLayer(int numLayer)
{
    if (!m_slicingInProgress || !m_slicer)
        return;   // a layer queued before the run ended
    if (!context() || !context()->isValid()) {
        m_slicer->cancel();
        endSlicingRun(Slicer::Failed);
        return;
    }
    // Layers go on for a slice of time per event-loop turn, so input and Cancel stay live
    // while the work is not broken into a turn per layer; the view, whose redraw costs as
    // much as several layers, shows the cut a few times a second.
    constexpr qint64 kTurnMs = 40;
    constexpr qint64 kRedrawMs = 250;
    QElapsedTimer turn;
    turn.start();
    Slicer::Step step = Slicer::Continue;
    makeCurrent();
    do {
        step = m_slicer->processLayer();
        ++numLayer;
    } while (step == Slicer::Continue && turn.elapsed() < kTurnMs);
    doneCurrent();

    emit signalPreviewSliderChange(m_slicer->slicePosition());
    if (step != Slicer::Continue || !m_sliceRedrawClock.isValid() || m_sliceRedrawClock.elapsed() >= kRedrawMs) {
        m_sliceRedrawClock.start();
        update();
    }
    if (m_progress) {
        const qint64 elapsed = m_slicer->elapsedMs();
        const qint64 remaining = m_slicer->remainingMs();
        m_progress->setProgressValue(m_slicer->progressPercent());
        m_progress->setValue1(Slicer::timeText(elapsed / 1000));
        m_progress->setValue2(remaining < 0 ? tr("Calculating..") : Slicer::timeText(remaining / 1000));
    }
    if (step == Slicer::Continue)
        emit signalSlicingLayer(numLayer);
    else
        endSlicingRun(step);
}

void Canvas::onSlicingCancel()
{
    if (!m_slicingInProgress || !m_slicer)
        return;
    // The layer being made is finished; the next step ends the run with what is done.
    m_slicer->cancel();
    if (m_progress)
        m_progress->finish();
}

void Canvas::endSlicingRun(Slicer::Step step)
{
    m_lastSliceResult = step;
    m_lastSliceError = step == Slicer::Failed ? m_slicer->errorString() : QString();
    if (step == Slicer::Failed && m_lastSliceError.isEmpty())
        m_lastSliceError = tr("The 3D view lost its OpenGL context during slicing.");
    if (m_progress) {
        m_progress->setProgressValue(100);
        m_progress->finish();
    }

    sliceHeights = m_slicer->sliceHeights();
    layerCodes = m_slicer->layerCodes();
    if (m_runOnDisk) {
        sliceFileNames = m_slicer->sliceFileNames();
    } else {
        for (const cv::Mat &image : m_slicer->sliceImages())
            sliceImages.append(QPixmap::fromImage(imageFromMat(image)));
    }
    m_slicingInProgress = false;
    update();

    if (step != Slicer::Failed) {
        // A cancelled run hands over the layers it finished, like a finished one.
        if (m_runOnDisk)
            emit signalUpdateSliceFilename(sliceFileNames);
        else
            emit signalUpdateSlice(sliceImages);
        const SliceParameters p = sliceParameters();
        qDebug().noquote() << "Slicing done with width and height of slices: " << p.projectorWidthPx
                           << p.projectorHeightPx;
    }
    emit signalSlicingEnded(int(step), m_lastSliceError);
}

void Canvas::getSliceAt(float zPos)
{
    if (m_slicingInProgress)
        return;
    m_camera.stopGlide();
    sliceImages.clear();
    if (m_glFailed || !context() || !context()->isValid() || !m_renderer) {
        emit updateLogWindow(tr("The 3D view is not available, so nothing can be sliced."));
        return;
    }
    makeCurrent();
    if (!m_sliceRenderer)
        m_sliceRenderer = createSliceRenderer();
    Slicer single(m_sliceRenderer.get());
    ::RenderFlags flags;
    flags.splitSupportExposure = splitSupportExposure;
    flags.fullSupportView = fullSupportView;
    cv::Mat image;
    QString why;
    const bool ok = single.getSliceAt(sliceObjectsOf(*m_scene), sliceParameters(), zPos, &image, &why, flags);
    doneCurrent();
    if (!ok) {
        emit updateLogWindow(tr("The cross-section at %1 mm could not be made: %2").arg(double(zPos)).arg(why));
        return;
    }
    sliceHeights = {zPos};
    sliceImages.append(QPixmap::fromImage(imageFromMat(image)));
    emit signalUpdateSlice(sliceImages);
}

void Canvas::onProjectorSizeChanged(int size)
{
    if (size <= 0 || size == m_textureSizePx)
        return;
    m_textureSizePx = size;
    // The slice textures are made at the new size by the next render.
    if (m_sliceRenderer && !m_slicingInProgress && context() && context()->isValid()) {
        makeCurrent();
        releaseSliceRenderer();
        doneCurrent();
    }
}

void Canvas::updateFlexSliceRange(double from, double to)
{
    m_flexFromMm = float(from);
    m_flexToMm = float(to);
    update();
}

void Canvas::updateFlexSliceEnable(bool on)
{
    m_flexBandOn = on;
    update();
}

void Canvas::drawPreviewSection()
{
    if (m_previewState == 0 || m_slicingInProgress || !m_renderer || m_scene->objectCount() < 2)
        return;
    if (!m_sliceRenderer)
        m_sliceRenderer = createSliceRenderer();
    const SliceParameters p = sliceParameters();
    QString why;
    // Cheap when the geometry is unchanged; a projector change takes effect here.
    if (!m_sliceRenderer->configure(p, &why))
        return;
    const float cutMm = float(m_scene->topOfScene()) * m_previewPosition;
    const std::vector<SliceObject> objects = sliceObjectsOf(*m_scene);
    ::RenderFlags flags;
    flags.readBack = false;
    flags.splitSupportExposure = splitSupportExposure;
    flags.fullSupportView = fullSupportView;
    const float cutZ = cutMm * p.sceneScale() * p.zScaleFactor();
    if (!m_sliceRenderer->render(objects, cutZ, 0, flags, nullptr, &why))
        return;
    if (const unsigned tex = m_sliceRenderer->textureId(0))
        m_renderer->drawSliceTexture(m_camera, tex, 0, cutMm);
    if (hasSecondExposure(objects) && m_sliceRenderer->render(objects, cutZ, 1, flags, nullptr, &why)) {
        if (const unsigned tex = m_sliceRenderer->textureId(1))
            m_renderer->drawSliceTexture(m_camera, tex, 1, cutMm);
    }
}

void Canvas::drawSliceTexture()
{
    // Renderers that work without GL have no texture to show.
    CrossSectionRenderer *gl = m_sliceRenderer.get();
    if (!gl || !m_slicer || !m_renderer)
        return;
    const SliceParameters p = sliceParameters();
    const float cutMm = m_slicer->cutZ() / p.sceneScale();
    if (const unsigned tex = gl->textureId(0))
        m_renderer->drawSliceTexture(m_camera, tex, 0, cutMm, 1.0f / p.yStretch());
    if (const unsigned tex = gl->textureId(1); tex && hasSecondExposure(sliceObjectsOf(*m_scene)))
        m_renderer->drawSliceTexture(m_camera, tex, 1, cutMm, 1.0f / p.yStretch());
}

#include <epoxy/gl.h>

#include "view/ui/Canvas.h"

#include "config/EnvironmentSettings.h"
#include "scene/Scene.h"
#include "support/Bases.h"
#include "support/SupportEditor.h"
#include "support/SupportLinkers.h"
#include "view/Previews.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QWheelEvent>
#include <QtMath>
#include <cmath>

namespace {

constexpr int defaultFrameIntervalUs = 16667;
// A press that moves less than this is a click, not a drag.
constexpr double clickSlopPx = 3.0;

QSurfaceFormat coreFormat(QSurfaceFormat format)
{
    // A legacy request may be granted an old compatibility context without geometry
    // shaders or transform feedback; the view needs 3.2 core.
    if (format.majorVersion() < 3 || (format.majorVersion() == 3 && format.minorVersion() < 2))
        format.setVersion(3, 2);
    format.setProfile(QSurfaceFormat::CoreProfile);
    if (format.depthBufferSize() < 24)
        format.setDepthBufferSize(24);
    if (format.stencilBufferSize() < 8)
        format.setStencilBufferSize(8);
    return format;
}

void processEventsFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, std::max<qint64>(1, std::min<qint64>(100, ms - t.elapsed())));
}

} // namespace

Canvas::Canvas(const QSurfaceFormat &format, QWidget *parent, float factor)
    : QOpenGLWidget(parent), m_scene(new Scene(this)), m_factor(factor)
{
    m_supports = new SupportEditor(m_scene, this);
    connectStructures();
    setFormat(coreFormat(format));
    setMinimumSize(200, 150);
    setFocusPolicy(Qt::StrongFocus);
    m_camera.setSceneScale(m_settings.sceneScale());
    m_scene->setProjector(m_settings.projectorWidthPx, m_settings.projectorHeightPx, m_settings.pixelSizeXUm,
                          m_settings.pixelSizeYUm);

    m_frameTimer.setTimerType(Qt::PreciseTimer);
    setFrameIntervalUs(defaultFrameIntervalUs);
    connect(&m_frameTimer, &QTimer::timeout, this, &Canvas::onFrameTick);

    connect(m_scene, &Scene::objSelectionChanged, this, &Canvas::objSelectionChanged);
    connect(m_scene, &Scene::modelListChanged, this, &Canvas::modelListChanged);
    connect(m_scene, &Scene::signalUpdateGlobalZ, this, &Canvas::signalUpdateGlobalZ);
    connect(m_scene, &Scene::updateLogWindow, this, &Canvas::updateLogWindow);
    connect(m_scene, &Scene::signalTimedMessage, this, &Canvas::signalTimedMessage);
    connect(m_scene, &Scene::repaintRequested, this, QOverload<>::of(&Canvas::update));
    connect(m_scene, &Scene::modelListChanged, this, QOverload<>::of(&Canvas::update));

    QTimer::singleShot(4000, this, &Canvas::resetView);
}

Canvas::~Canvas()
{
    // The widget base destroys the context after this destructor; its aboutToBeDestroyed must
    // not reach a slot of a Canvas that is gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    // GL names die with the context; release them while it is still current.
    if ((m_renderer || m_sliceRenderer) && context()) {
        makeCurrent();
        m_slicer.reset();
        m_sliceRenderer.reset();
        m_renderer.reset();
        doneCurrent();
    }
}

// --- settings ---------------------------------------------------------------------------

void Canvas::applySettings(const EnvironmentSettings &s)
{
    m_camera.response = s.misc.modelViewResponse > 0.0f ? s.misc.modelViewResponse : 0.02f;
    m_camera.wheelZoomDir = s.misc.wheelZoomDir;
    m_camera.zoomCenterMoving = s.misc.zoomCenterMoving;
    onChangeProjection(s.misc.orthographicalProjection);
    setFrameIntervalUs(s.misc.gpuIdleTime);
    if (s.printer.stepperLimitZMm > 0)
        setBuildHeight(float(s.printer.stepperLimitZMm));
    if (s.support.thresholdAngleDeg > 0)
        supportThresholdDeg = float(s.support.thresholdAngleDeg);
    if (s.support.criticalAngleDeg > 0)
        supportCriticalDeg = float(s.support.criticalAngleDeg);
    m_supports->penetrationDistance = s.support.penetrationDistanceMm;
    m_supports->supportPreview = s.support.supportPreview;
    m_supports->sinSurfaceNormal = std::sin(qDegreesToRadians(double(s.support.supportSurfaceNormalDeg)));
    m_supports->cosThresholdAngle = std::cos(qDegreesToRadians(supportThresholdDeg));
    m_supports->cosCriticalAngle = std::cos(qDegreesToRadians(supportCriticalDeg));
    // The layer chain's settings-file switches; the package export sets the rest.
    sliceOnDisk = s.slice.sliceOnDisk;
    postProcess.contourPenGray = s.slice.subPixelSlicingIntensity;
    postProcess.contrastCurve = s.misc.pixelGrayscaleUpdate;
    postProcess.verticalMirror = s.print.verticalMirror;
    postProcess.horizontalMirror = s.print.horizontalMirror;
    setSliceScale(s.slice.sliceScaleXPercent, s.slice.sliceScaleYPercent, s.slice.sliceScaleZPercent);
    update();
}

void Canvas::setProjector(int widthPx, int heightPx, float pixelSizeXUm, float pixelSizeYUm)
{
    if (widthPx > 0)
        m_settings.projectorWidthPx = widthPx;
    if (heightPx > 0)
        m_settings.projectorHeightPx = heightPx;
    if (pixelSizeXUm > 0.0f)
        m_settings.pixelSizeXUm = pixelSizeXUm;
    if (pixelSizeYUm > 0.0f)
        m_settings.pixelSizeYUm = pixelSizeYUm;
    m_camera.setSceneScale(m_settings.sceneScale());
    m_scene->setProjector(widthPx, heightPx, pixelSizeXUm, pixelSizeYUm);
    m_scene->checkPosConflict();
    update();
}

void Canvas::setBuildHeight(float mm)
{
    if (mm > 0.0f)
        m_settings.buildHeightMm = mm;
    update();
}

void Canvas::setFrameIntervalUs(int us)
{
    if (us <= 0)
        us = defaultFrameIntervalUs;
    m_frameTimer.setInterval(std::max(1, (us + 500) / 1000));
}

void Canvas::setStatusText(const QString &text)
{
    m_statusText = text;
    update();
}

// --- GL ---------------------------------------------------------------------------------

void Canvas::initializeGL()
{
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &Canvas::onContextAboutToBeDestroyed,
            Qt::UniqueConnection);
    const QSurfaceFormat got = context()->format();
    m_renderer = std::make_unique<SceneRenderer>();
    if (got.majorVersion() < 3 || (got.majorVersion() == 3 && got.minorVersion() < 2)) {
        m_glFailed = true;
        const QString msg = tr("The 3D view needs OpenGL 3.2; this system offers %1.%2.")
                                .arg(got.majorVersion())
                                .arg(got.minorVersion());
        qCritical().noquote() << msg;
        emit updateLogWindow(msg);
        QMetaObject::invokeMethod(this, [this, msg] { QMessageBox::critical(this, QStringLiteral("Orvell3D"), msg); },
                                  Qt::QueuedConnection);
        return;
    }
    QString error;
    if (!m_renderer->initialize(&error)) {
        m_glFailed = true;
        const QString msg = tr("The 3D view's shaders could not be built:\n") + error;
        qCritical().noquote() << msg;
        emit updateLogWindow(msg);
        QMetaObject::invokeMethod(this, [this, msg] { QMessageBox::critical(this, QStringLiteral("Orvell3D"), msg); },
                                  Qt::QueuedConnection);
    }
    qDebug().noquote() << m_renderer->versionText();
    m_frameClock.start();
}

void Canvas::onContextAboutToBeDestroyed()
{
    // Reparenting may replace the context; the renderers start over in the new one.
    if (!m_renderer && !m_sliceRenderer)
        return;
    makeCurrent();
    if (m_slicingInProgress && m_slicer)
        m_slicer->cancel();
    releaseSliceRenderer();
    m_renderer.reset();
    doneCurrent();
}

void Canvas::resizeGL(int w, int h)
{
    m_camera.setViewportSize(QSize(w, h));
}

QSize Canvas::framebufferSize() const
{
    const qreal dpr = devicePixelRatioF();
    return QSize(int(std::lround(width() * dpr)), int(std::lround(height() * dpr)));
}

FrameState Canvas::frameState() const
{
    FrameState f;
    f.objects = FrameState::objectsOf(*m_scene);
    f.selection = m_scene->selection();
    f.outOfBuild = m_scene->isOutOfBuild();
    f.supportMode = supportMode;
    f.fullSupportView = fullSupportView;
    if (supportMode > 0 && m_supports->waterline)
        f.overhangLines = &m_supports->overhangLineCoordinates();
    f.overhangCos = std::cos(qDegreesToRadians(supportThresholdDeg));
    f.criticalCos = std::cos(qDegreesToRadians(supportCriticalDeg));
    f.slicing = m_slicingInProgress;
    f.flexBand = m_flexBandOn;
    f.flexFromMm = m_flexFromMm;
    f.flexToMm = m_flexToMm;
    f.islandMarkers = islandMarkersMm.empty() ? nullptr : &islandMarkersMm;
    if (m_previewState > 0) {
        const float cutMm = float(m_scene->topOfScene()) * m_previewPosition;
        f.clip = true;
        f.clipKeepsAbove = m_previewState == 2;
        f.clipZmm = cutMm;
        f.waterline = true;
        f.waterlineZmm = cutMm;
    }
    return f;
}

void Canvas::setSlicePreview(int state, float position)
{
    m_previewState = std::clamp(state, 0, 2);
    m_previewPosition = std::clamp(position, 0.0f, 1.0f);
    update();
}

void Canvas::paintGL()
{
    ++m_frames;
    m_camera.setViewportSize(size());
    if (m_renderer && m_renderer->isInitialized() && !m_glFailed) {
        m_renderer->render(m_camera, m_settings, frameState(), framebufferSize());
        if (m_slicingInProgress)
            drawSliceTexture();
        else
            drawPreviewSection();
        // The widget is opaque; translucent background pixels must not let the window
        // show through when Qt composes the view.
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    } else {
        glClearColor(0.07f, 0.07f, 0.13f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    drawStatusTexts();
    if (!m_camera.isAtRest())
        startGlide();
}

void Canvas::drawStatusTexts()
{
    QString mode = QStringLiteral("  ");
    if (supportMode == 1)
        mode = tr("Support Mode (1 Pt). Press ESC to escape.");
    else if (supportMode == 2)
        mode = tr("Support Mode (2 Pt). Press ESC to escape.");
    if (supportMode > 0) {
        if (xFlipCopy)
            mode += tr(" [X Flip Copy ON]");
        if (yFlipCopy)
            mode += tr(" [Y Flip Copy ON]");
    }
    QStringList above;
    if (ringBasePick)
        above << tr("Select a boundary to create the ring support");
    const QString warning = m_scene->statusWarning();
    if (!warning.isEmpty())
        above << warning;
    QString bottom = mode;
    if (!m_statusText.isEmpty())
        bottom = mode.trimmed().isEmpty() ? m_statusText : mode + QStringLiteral("   ") + m_statusText;

    QPainter p(this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    p.setFont(font);
    const int lineHeight = p.fontMetrics().height();
    p.setPen(QColor(30, 30, 40));
    p.drawText(10, height() - 10, bottom);
    if (!above.isEmpty()) {
        p.setPen(QColor(200, 30, 30));
        p.drawText(10, height() - 10 - lineHeight, above.join(QStringLiteral("   ")));
    }
    if (m_glFailed) {
        p.setPen(QColor(230, 230, 240));
        p.drawText(rect(), Qt::AlignCenter, tr("The 3D view is not available (see the log)."));
    }
}

void Canvas::showEvent(QShowEvent *event)
{
    QOpenGLWidget::showEvent(event);
    update();
}

void Canvas::startGlide()
{
    if (!m_frameTimer.isActive()) {
        m_frameClock.restart();
        m_frameTimer.start();
    }
}

void Canvas::onFrameTick()
{
    const qint64 ms = m_frameClock.restart();
    m_camera.animate(float(ms));
    update();
    if (m_camera.isAtRest()) {
        m_frameTimer.stop();   // the last update() above draws the final position
        set_status2();
    }
}

// --- camera slots ------------------------------------------------------------------------

void Canvas::resetView()
{
    m_camera.resetView();
    startGlide();
    update();
}

void Canvas::resetCenter()
{
    const Object *current = m_scene->object(m_scene->currentObject());
    const QList<int> &sel = m_scene->selection();
    if ((!current || current->type != TypeModel) && !sel.isEmpty())
        current = m_scene->object(sel.last());
    m_camera.resetCenter(current);
    update();
}

void Canvas::setViewPreset(ViewPreset preset)
{
    m_camera.applyPreset(preset);
    qDebug().noquote() << QStringLiteral("Model view changed to %1.").arg(Camera::presetName(preset));
    startGlide();
    update();
}

void Canvas::onChangeProjection(bool isOrtho)
{
    m_camera.setOrthographic(isOrtho);
    update();
}

void Canvas::set_status2()
{
    m_cameraStatus = m_camera.statusText();
    emit signalStatusChanged(m_cameraStatus);
}

void Canvas::set_status3()
{
    m_mouseStatus = m_camera.mouseText();
    emit signalStatusChanged(m_mouseStatus);
}

void Canvas::onShowPlatform(bool show)
{
    m_settings.showPlatform = show;
    update();
}

// --- picking and previews -----------------------------------------------------------------

PickResult Canvas::pickRay(const QPointF &pos, bool bottomPick, bool withSupports)
{
    PickResult r;
    if (!m_renderer || !m_renderer->isInitialized() || m_glFailed) {
        r.error = tr("The 3D view is not available.");
        return r;
    }
    makeCurrent();
    m_camera.setViewportSize(size());
    r = rayPick(*m_renderer, FrameState::objectsOf(*m_scene), m_camera, m_settings, pos, bottomPick,
                defaultPickFilter(withSupports));
    doneCurrent();
    return r;
}

int Canvas::pickObject(const QPointF &pos, bool withSupports)
{
    if (!m_renderer || !m_renderer->isInitialized() || m_glFailed)
        return -1;
    makeCurrent();
    m_camera.setViewportSize(size());
    const auto objects = FrameState::objectsOf(*m_scene);
    PickFilter base = defaultPickFilter(withSupports);
    const int id = pickObjectAt(*m_renderer, objects, m_camera, m_settings, framebufferSize(), pos,
                                [&base](int i, const Object &o) { return o.selectable && base(i, o); });
    doneCurrent();
    return id;
}

void Canvas::capturePreviews()
{
    m_previews.clear();
    if (m_scene->objectCount() <= 1 || !m_renderer || !m_renderer->isInitialized() || m_glFailed)
        return;
    processEventsFor(100);
    const FrameState frame = frameState();
    const PreviewFraming framing = previewFraming(frame.objects, m_scene->topOfScene(), m_camera.orthographic);
    if (!framing.valid)
        return;
    qDebug().noquote() << "Screenshots have been captured at zoom = " << framing.zoom;
    makeCurrent();
    m_camera.setViewportSize(size());
    const QList<QImage> images = ::capturePreviews(*m_renderer, m_camera, m_settings, frame, m_scene->topOfScene(),
                                                   framebufferSize());
    doneCurrent();
    for (const QImage &img : images)
        m_previews.append(QPixmap::fromImage(img));
    emit signalUpdatePreview(m_previews);
    update();
}

// --- mouse ---------------------------------------------------------------------------------

void Canvas::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = event->localPos();
    m_pressButton = event->button();
    m_dragged = false;
    m_camera.lastMousePos = event->localPos();
    if (event->button() == Qt::LeftButton) {
        m_camera.stopGlide();
        if (!toolModeOn() && event->modifiers() == Qt::NoModifier && !m_scene->selection().isEmpty()) {
            const int id = pickObject(event->localPos());
            if (id > 0 && m_scene->selection().contains(id))
                beginObjectDrag(id, event->localPos());
        }
    }
    QOpenGLWidget::mousePressEvent(event);
}

void Canvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->localPos();
    const QPointF last = m_camera.lastMousePos;
    const float dx = float(pos.x() - last.x());
    const float dy = float(pos.y() - last.y());
    if (QLineF(pos, m_pressPos).length() > clickSlopPx)
        m_dragged = m_pressButton != Qt::NoButton;

    const Qt::MouseButtons buttons = event->buttons();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (buttons & Qt::LeftButton) {
        m_camera.stopGlide();
        if (!m_dragIds.isEmpty()) {
            dragObjects(last, pos);
        } else if (mods & Qt::ControlModifier) {
            m_camera.liftDrag(dy);
        } else if (!toolModeOn() || (mods & Qt::ShiftModifier)) {
            // Shift, no selection, or a drag that did not start on a selected object: pan.
            m_camera.pan(last, pos);
        }
        update();
    } else if (buttons & Qt::RightButton) {
        m_camera.rightDrag(dx, dy);
        startGlide();
    } else if (toolModeOn()) {
        if (!structureToolHover(pos))
            supportToolHover(pos, mods);
        emit signalToolHover(pos, mods);
    }
    m_camera.lastMousePos = pos;
    if (buttons & (Qt::LeftButton | Qt::RightButton))
        set_status2();
    set_status3();
    QOpenGLWidget::mouseMoveEvent(event);
}

void Canvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (!m_dragIds.isEmpty()) {
            endObjectDrag();
        } else if (!m_dragged) {
            if (toolModeOn()) {
                if (!structureToolClick(event->localPos()))
                    supportToolClick(event->localPos(), event->modifiers());
                emit signalToolClick(event->localPos(), event->modifiers());
            } else {
                // A click selects what is under the cursor; Ctrl adds or removes it.
                const int id = pickObject(event->localPos());
                QList<int> sel = m_scene->selection();
                int current = id > 0 ? id : 0;
                if (event->modifiers() & Qt::ControlModifier) {
                    if (id > 0) {
                        if (sel.contains(id))
                            sel.removeAll(id);
                        else
                            sel.append(id);
                    }
                    current = sel.isEmpty() ? 0 : sel.last();
                } else {
                    sel = id > 0 ? QList<int>{id} : QList<int>{};
                }
                m_scene->changeSelObj(sel, current);
                emit objSelectionChanged(current);
            }
        }
    }
    if (event->button() == Qt::RightButton && !m_dragged && supportMode > 0
        && (event->modifiers() & Qt::ShiftModifier))
        supportToolClick(event->localPos(), event->modifiers(), true);
    m_pressButton = Qt::NoButton;
    m_dragged = false;
    QOpenGLWidget::mouseReleaseEvent(event);
}

void Canvas::wheelEvent(QWheelEvent *event)
{
    const bool keepPoint = m_camera.zoomCenterMoving || (event->modifiers() & Qt::ShiftModifier);
    m_camera.setViewportSize(size());
    m_camera.wheel(event->angleDelta().y(), event->position(), keepPoint);
    set_status2();
    update();
    event->accept();
}

// --- dragging models on the plate -----------------------------------------------------------

void Canvas::beginObjectDrag(int id, const QPointF &pos)
{
    const Object *grabbed = m_scene->object(id);
    if (!grabbed || grabbed->type != TypeModel)
        return;
    // Every selected model moves together; their supports and bases follow as children.
    m_dragIds.clear();
    for (int sel : m_scene->selection()) {
        const Object *o = m_scene->object(sel);
        if (o && o->type == TypeModel)
            m_dragIds.append(sel);
    }
    if (!m_dragIds.contains(id))
        m_dragIds = {id};
    // The grabbed point keeps its height, so it stays under the cursor.
    const PickResult hit = pickRay(pos);
    m_dragPlaneZ = hit.hasHit() ? hit.hit().point.z() : (grabbed->bbox.size() >= 2 ? grabbed->bbox[1] : 0.0f);
    for (int d : m_dragIds)
        m_scene->recordMove(d, m_scene->object(d)->move);
}

namespace {
// Where a ray meets the horizontal plane z = planeZ; false when it runs parallel or away.
bool onPlane(const PickRay &r, float planeZ, QVector3D *out)
{
    if (std::fabs(r.direction.z()) < 1e-9f)
        return false;
    const float t = (planeZ - r.start.z()) / r.direction.z();
    if (t <= 0.0f)
        return false;
    *out = r.start + r.direction * t;
    return true;
}
} // namespace

void Canvas::dragObjects(const QPointF &from, const QPointF &to)
{
    m_camera.setViewportSize(size());
    QVector3D a, b;
    if (!onPlane(m_camera.ray(from), m_dragPlaneZ, &a) || !onPlane(m_camera.ray(to), m_dragPlaneZ, &b))
        return;
    const QVector3D d(b.x() - a.x(), b.y() - a.y(), 0.0f);
    // Keep a grazing view from flinging the model off the plate in one event.
    if (d.length() > 1000.0f)
        return;
    for (int id : std::as_const(m_dragIds)) {
        Object *o = m_scene->object(id);
        if (!o)
            continue;
        o->move += d;
        m_scene->updateAABB(id, d);
        for (int k = 1; k < m_scene->objectCount(); ++k) {
            Object *child = m_scene->object(k);
            if (child && k != id && child->parent == id && !m_dragIds.contains(k)) {
                child->move += d;
                if (child->bbox.size() >= 6)
                    m_scene->updateAABB(k, d);
            }
        }
    }
    update();
}

void Canvas::endObjectDrag()
{
    const bool moved = m_dragged;
    const int last = m_dragIds.isEmpty() ? 0 : m_dragIds.last();
    m_dragIds.clear();
    if (!moved)
        return;
    // Linkers and the global base were built for the old positions.
    m_scene->removeSupportLinkers();
    m_scene->removeGlobalBase();
    m_scene->checkPosConflict();
    emit objSelectionChanged(last);
    emit signalUpdateGlobalZ(m_scene->topOfScene());
    update();
}

// --- forwarded scene commands ------------------------------------------------------------------

void Canvas::load_mesh(QList<Mesh> meshes, QString fileName) { m_scene->load_mesh(meshes, fileName); }
void Canvas::onColorList(QList<Object::modelColor> colors) { m_scene->onColorList(colors); }
void Canvas::changeSelObj(QList<int> selIds, int selId) { m_scene->changeSelObj(selIds, selId); }
void Canvas::changeObjScale(double nsx, double nsy, double nsz) { m_scene->changeObjScale(nsx, nsy, nsz); }
void Canvas::on_duplicateObj(int id) { m_scene->on_duplicateObj(id); }
void Canvas::clear_model() { m_scene->clear_model(); }
void Canvas::onUpdateBBox() { m_scene->onUpdateBBox(); }
void Canvas::onMoveToBottom() { m_scene->onMoveToBottom(); }
void Canvas::checkPosConflict() { m_scene->checkPosConflict(); update(); }
void Canvas::removeObj(int id) { m_scene->removeObj(id); }
void Canvas::removeObjList(QList<int> idList) { m_scene->removeObjList(idList); }
void Canvas::group() { m_scene->group(); }
void Canvas::ungroup() { m_scene->ungroup(); }
void Canvas::undo() { m_scene->undo(); }

void Canvas::onChangeOpacity(float opacity)
{
    // The property panel's slider acts on the object it shows.
    if (Object *o = m_scene->object(m_scene->currentObject()); o && m_scene->currentObject() > 0)
        o->opacity = std::clamp(opacity, 0.0f, 1.0f);
    update();
}

// Features of other parts of the program; the view keeps their entry points.
void Canvas::onModelFlip() {}

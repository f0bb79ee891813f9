#include "view/Canvas.h"

#include <QPainter>

#include "scene/Scene.h"

Canvas::Canvas(const QSurfaceFormat &, QWidget *parent, float factor)
    : QWidget(parent), m_scene(new Scene(this)), m_factor(factor)
{
    setAutoFillBackground(false);
    setMinimumSize(200, 150);

    connect(m_scene, &Scene::objSelectionChanged, this, &Canvas::objSelectionChanged);
    connect(m_scene, &Scene::modelListChanged, this, &Canvas::modelListChanged);
    connect(m_scene, &Scene::signalUpdateGlobalZ, this, &Canvas::signalUpdateGlobalZ);
    connect(m_scene, &Scene::updateLogWindow, this, &Canvas::updateLogWindow);
    connect(m_scene, &Scene::signalTimedMessage, this, &Canvas::signalTimedMessage);
    connect(m_scene, &Scene::repaintRequested, this, QOverload<>::of(&Canvas::update));
    connect(m_scene, &Scene::modelListChanged, this, QOverload<>::of(&Canvas::update));
}

Canvas::~Canvas() = default;

void Canvas::setStatusText(const QString &text)
{
    m_statusText = text;
    update();
}

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

void Canvas::onChangeProjection(bool) {}
void Canvas::deleteBases() {}
void Canvas::deleteAllSupports() {}
void Canvas::setSupportParameters(float, float, float, float, float, float, float, float, float, bool) {}
void Canvas::onChangeOpacity(float) {}
void Canvas::onAutoSupport() {}
void Canvas::onModelFlip() {}
void Canvas::onStartSlicing(float, QString) {}
void Canvas::onMoveSupports(QVector3D) {}
void Canvas::onProjectorSizeChanged(int) {}

void Canvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x11, 0x11, 0x22));
    QFont font("Arial");
    font.setPixelSize(13);
    p.setFont(font);
    const int lineHeight = p.fontMetrics().height();
    const QString warning = m_scene->statusWarning();
    p.setPen(QColor(230, 230, 240));
    p.drawText(10, height() - 10, m_statusText);
    if (!warning.isEmpty()) {
        p.setPen(QColor(255, 90, 90));
        p.drawText(10, height() - 10 - lineHeight, warning);
    }
    p.setPen(QColor(120, 120, 150));
    p.drawText(rect(), Qt::AlignCenter,
               tr("%n object(s) in the scene", nullptr, qMax(0, m_scene->objectCount() - 1)));
}

// The view's bases, support linkers and drain holes: the commands hand the work to the
// widget-free builders, turn refusals into notices and keep picks and previews in step
// with the mouse.
#include "view/ui/Canvas.h"

#include "scene/Scene.h"
#include "slicing/SectionOutlines.h"
#include "support/Bases.h"
#include "support/ScenePicking.h"
#include "support/SupportEditor.h"
#include "support/SupportLinkers.h"

void Canvas::connectStructures()
{
    m_bases = std::make_unique<Bases>(m_scene);
    m_linkers = std::make_unique<SupportLinkers>(m_scene);
    // Support mode hides the global base and the linkers; leaving it makes them again.
    m_supports->restoreGlobalBase = [this] {
        QString why;
        if (m_bases->restoreGlobalBase(&why) < 0 && !why.isEmpty())
            emit updateLogWindow(why);
    };
    m_supports->regenerateSupportLinkers = [this] { m_linkers->regenerate(); };
}

namespace {

// A refusal: the notice for the user and the same line in the log.
void refuse(Canvas *view, const QString &why)
{
    emit view->signalTimedMessage(why, 1500);
    emit view->updateLogWindow(why);
}

} // namespace

void Canvas::deleteBases()
{
    m_bases->deleteBases();
    update();
}

void Canvas::addRectBase(float margin, float t, int baseShape)
{
    QString why;
    if (m_bases->addRectBase(margin, t, baseShape, &why) == 0)
        refuse(this, why);
    update();
}

void Canvas::addGlobalBase(float margin, float t)
{
    QString why;
    if (m_bases->addGlobalBase(margin, t, &why) < 0)
        refuse(this, why);
    update();
}

void Canvas::removeGlobalBase()
{
    m_scene->removeGlobalBase();
    update();
}

bool Canvas::createRingBase(float zheight)
{
    // The model whose cut is taken: the current object when it is a model, else the first
    // selected model.
    int model = m_scene->currentObject();
    if (const Object *o = m_scene->object(model); !o || model < 1 || o->type != TypeModel) {
        model = 0;
        for (int id : m_scene->selection())
            if (const Object *s = m_scene->object(id); s && id >= 1 && s->type == TypeModel && model == 0)
                model = id;
    }
    if (model == 0) {
        refuse(this, tr("There is no selected model to proceed."));
        return false;
    }
    QString why;
    const bool made = m_bases->createRingBase(sectionOutlinesMm(*m_scene, model, zheight), zheight, &why) >= 0;
    if (!made)
        refuse(this, why);
    update();
    return made;
}

void Canvas::generateSupportLinkers()
{
    QString why;
    if (m_linkers->generateSupportLinkers(linkerDistanceMm, &why) < 0)
        refuse(this, why.isEmpty() ? tr("No supports stand close enough together to be linked.") : why);
    update();
}

void Canvas::removeSupportLinkers()
{
    m_scene->removeSupportLinkers();
    update();
}

void Canvas::deleteDrainHolePreview()
{
    if (::deleteDrainHolePreview(*m_scene))
        update();
}

bool Canvas::structureToolClick(const QPointF &pos)
{
    if (!ringBasePick && !drainHolePlacing)
        return false;
    m_camera.setViewportSize(size());
    const PickRay ray = m_camera.ray(pos);
    const SceneHit hit = pickScene(*m_scene, ray.start, ray.direction, false);
    if (ringBasePick) {
        if (!hit.hit)
            return true;   // the pick stays armed until a click meets an object
        ringBasePick = false;
        m_supports->waterline = false;
        if (!m_scene->selection().contains(hit.objectId) && m_scene->currentObject() != hit.objectId)
            m_scene->changeSelObj({hit.objectId}, hit.objectId);
        createRingBase(hit.point.z());
        update();
        return true;
    }
    ::deleteDrainHolePreview(*m_scene);
    const Object *o = hit.hit ? m_scene->object(hit.objectId) : nullptr;
    if (o && (o->type == TypeModel || o->type == TypeHollowedModel)) {
        const int current = m_scene->currentObject();
        QString why;
        if (placeDrainHole(*m_scene, hit.objectId, current >= 1 ? current : hit.objectId, hit.point, hit.normal,
                           drainHoleSettings, false, &why)
            >= 0) {
            drainHolePlacing = false;
            m_supports->waterline = false;
            emit signalDrainHoleCreated();
        } else {
            refuse(this, why);
        }
    }
    update();
    return true;
}

bool Canvas::structureToolHover(const QPointF &pos)
{
    if (ringBasePick)
        return true;
    if (!drainHolePlacing)
        return false;
    ::deleteDrainHolePreview(*m_scene);
    m_camera.setViewportSize(size());
    const PickRay ray = m_camera.ray(pos);
    const SceneHit hit = pickScene(*m_scene, ray.start, ray.direction, false);
    const Object *o = hit.hit ? m_scene->object(hit.objectId) : nullptr;
    if (o && (o->type == TypeModel || o->type == TypeHollowedModel)) {
        const int current = m_scene->currentObject();
        placeDrainHole(*m_scene, hit.objectId, current >= 1 ? current : hit.objectId, hit.point, hit.normal,
                       drainHoleSettings, true);
    }
    update();
    return true;
}

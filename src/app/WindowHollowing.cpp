#include "app/Window.h"

#include <QInputDialog>

#include "app/ImageHelper.h"
#include "imaging/Hollowing.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

// Asks for a wall and adds the current model's cavity as a hollowed-model object (which the
// slices then leave dark).
void Window::on_actionHollow_triggered()
{
    if (m_exporting || canvas->isSlicing() || m_imageHelper->isHollowing())
        return;
    const int current = canvas->scene()->currentObject();
    const Object *o = canvas->scene()->object(current);
    if (current < 1 || !o || o->type != TypeModel) {
        showTimedMessage(tr("Choose the model to hollow first."), 1500);
        return;
    }
    bool ok = false;
    const double wallMm = QInputDialog::getDouble(this, tr("Hollow"), tr("Wall thickness (mm):"),
                                                  m_hollowing.enabled() ? m_hollowing.wallMm : 2.0, 0.25, 20.0, 2,
                                                  &ok);
    if (ok)
        canvas->renderSliceHollow(current, float(wallMm));
}

bool Window::checkPackageHollowing(const LpkExportSettings &s)
{
    if (!s.hollowing.enabled())
        return true;
    const SliceParameters geometry = packageGeometry(s);
    const QString why = checkHollowing(s.hollowing, geometry, s.profile.SliceThickness);
    if (!why.isEmpty()) {
        reportExportError(why);
        return false;
    }
    const HollowingSettings h = hollowingFromMm(s.hollowing.wallMm, geometry.pixelSizeXUm, s.profile.SliceThickness);
    appendLog(tr("Hollowing with a wall of %1 mm (%2 pixels, %3 layers).").arg(s.hollowing.wallMm).arg(h.wallPx).arg(h.wallLayers));
    return true;
}

void Window::setUpHollowing()
{
    if (m_imageHelper)
        return;
    m_imageHelper = new imageHelper(this);
    connect(m_imageHelper, &imageHelper::updateLogWindow, this, &Window::appendLog);
    connect(canvas, &Canvas::signalHollowSlices, m_imageHelper,
            [this](QList<QPixmap> slices, int wallPx, int wallLayers) { m_imageHelper->hollowList(slices, wallPx, wallLayers); });
    connect(m_imageHelper, &imageHelper::signalFinishHollowing, canvas, &Canvas::onHollowingFinished);
}

#include "app/Window.h"

#include <QMessageBox>

#include "imaging/Hollowing.h"
#include "view/ui/Canvas.h"

void Window::on_actionHollow_triggered()
{
    if (m_exporting || canvas->isSlicing())
        return;
    if (!m_hollowing.enabled())
        m_hollowing.wallMm = 2.0;
    on_actionSave_as_LBF_file_triggered();
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

#include "cli/PrintableArea.h"

#include <QStringList>
#include <algorithm>

#include "scene/Scene.h"

QString modelsOutsidePrintableArea(const Scene &scene)
{
    const double hx = scene.halfWidthXMm();
    const double hy = scene.halfWidthYMm();
    QStringList outside;
    for (int id = 1; id < scene.objectCount(); ++id) {
        const Object *o = scene.object(id);
        if (!o || o->type != TypeModel || o->bbox.size() < 6)
            continue;
        // bbox: top z, bottom z, min y, max y, min x, max x.
        const double overX = std::max({0.0, -hx - double(o->bbox[4]), double(o->bbox[5]) - hx});
        const double overY = std::max({0.0, -hy - double(o->bbox[2]), double(o->bbox[3]) - hy});
        if (overX <= 0.0 && overY <= 0.0)
            continue;
        QStringList by;
        if (overX > 0.0)
            by << QString::asprintf("%.2f mm in X", overX);
        if (overY > 0.0)
            by << QString::asprintf("%.2f mm in Y", overY);
        outside << QString("%1 leaves it by %2").arg(o->name, by.join(" and "));
    }
    if (outside.isEmpty())
        return QString();
    return QString::asprintf("the printable area is %.2f x %.2f mm; ", 2 * hx, 2 * hy) + outside.join("; ");
}

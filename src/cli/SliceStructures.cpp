#include "cli/SliceStructures.h"

#include <cstdio>

#include "config/EnvironmentSettings.h"
#include "scene/Scene.h"
#include "support/Bases.h"
#include "support/SupportLinkers.h"

bool parseBaseKind(const QString &text, StructureRequest::Base *base)
{
    if (text.compare("rect", Qt::CaseInsensitive) == 0)
        *base = StructureRequest::Base::Rect;
    else if (text.compare("global", Qt::CaseInsensitive) == 0)
        *base = StructureRequest::Base::Global;
    else
        return false;
    return true;
}

bool addRequestedStructures(Scene &scene, const StructureRequest &request, const EnvironmentSettings &settings,
                            QString *error)
{
    if (request.linkers) {
        SupportLinkers linkers(&scene);
        const int id = linkers.generateSupportLinkers(settings.support.linkerDistanceMm, error);
        if (id < 0 && !error->isEmpty())
            return false;
        if (id < 0)
            std::fprintf(stderr, "no supports stand close enough together for linkers (distance %d mm)\n",
                         settings.support.linkerDistanceMm);
        else
            std::fprintf(stderr, "%lld support linker braces added\n", static_cast<long long>(linkers.braces().size()));
    }
    if (request.base == StructureRequest::Base::None)
        return true;
    const float margin = float(request.baseMarginMm >= 0 ? request.baseMarginMm : settings.support.baseMarginMm);
    const float thickness =
        float(request.baseThicknessMm >= 0 ? request.baseThicknessMm : settings.support.baseThicknessMm);
    Bases bases(&scene);
    if (request.base == StructureRequest::Base::Global) {
        if (bases.addGlobalBase(margin, thickness, error) < 0)
            return false;
        std::fprintf(stderr, "global base added (margin %g mm, %g mm thick)\n", double(margin), double(thickness));
        return true;
    }
    QList<int> models;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (scene.object(i)->type == TypeModel)
            models << i;
    scene.changeSelObj(models, models.isEmpty() ? 0 : models.first());
    const int made = bases.addRectBase(margin, thickness, 2, error);
    scene.changeSelObj({}, 0);
    if (made == 0)
        return false;
    std::fprintf(stderr, "%d rectangular bases added (margin %g mm, %g mm thick)\n", made, double(margin),
                 double(thickness));
    return true;
}

const char *structureOptionsHelp()
{
    return "  --base KIND           add a base: rect (one under each model) or global (one following\n"
           "                        the outline of all models)\n"
           "  --base-margin MM      how far the base reaches beyond the models (default: the\n"
           "                        settings' BaseMargin, 1)\n"
           "  --base-thickness MM   the base's thickness (default: the settings' BaseThickness, 0.6)\n"
           "  --linkers             brace neighbouring supports of each model with crossing linkers\n"
           "                        (the settings' LinkerDistance, 10 mm, is the farthest pair)\n";
}

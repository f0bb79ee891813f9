#include "slicing/CrossSection.h"

#include "scene/Object.h"
#include "scene/Scene.h"

SliceObject SliceObject::fromObject(const Object &obj)
{
    SliceObject s;
    s.mesh = obj.mesh;
    s.matrix = objectMatrix(obj);
    s.type = obj.type;
    s.mode = obj.mode;
    s.isShow = obj.isShow;
    s.flip = obj.flip;
    return s;
}

std::vector<SliceObject> sliceObjectsOf(const Scene &scene)
{
    std::vector<SliceObject> list;
    for (int i = 1; i < scene.objectCount(); ++i) {
        if (const Object *obj = scene.object(i)) {
            list.push_back(SliceObject::fromObject(*obj));
            if (obj->type == TypeSupport) {
                const Object *owner = scene.object(obj->support.parentId);
                list.back().supportOfModel = owner && owner->type == TypeModel;
            }
        }
    }
    return list;
}

bool hasSecondExposure(const std::vector<SliceObject> &objects)
{
    for (const SliceObject &o : objects) {
        if (o.mode == 1)
            return true;
    }
    return false;
}

bool isDrawnInMode(const SliceObject &obj, int mode, const RenderFlags &flags)
{
    if (obj.type == TypeBuildPlate || !obj.isShow || !obj.mesh)
        return false;
    if (flags.readBack) {
        if ((obj.mode == 1) != (mode == 1))
            return false;
    } else if (obj.mode != mode) {
        return false;
    }
    if (mode == 2 && (obj.type == TypeModel || obj.type == TypeHollowedModel))
        return false;
    // Drain holes and cavities go with the models they cut.
    if (mode == 0 && flags.splitSupportExposure && obj.type != TypeModel && obj.type != TypeDrainHole
        && obj.type != TypeHollowedModel)
        return false;
    if (!flags.fullSupportView) {
        if (obj.type == TypeBase)
            return false;
        if (obj.type == TypeSupport && !obj.supportOfModel)
            return false;
    }
    return true;
}

std::size_t drawnIndexCount(const SliceObject &obj, const RenderFlags &flags)
{
    if (!obj.mesh)
        return 0;
    const std::size_t all = obj.mesh->indices.size() - obj.mesh->indices.size() % 3;
    if (obj.type == TypeSupport && !flags.fullSupportView)
        return std::min<std::size_t>(all, supportContactIndexCount);
    return all;
}

bool drawnReversed(const SliceObject &obj)
{
    return obj.flip != (obj.type == TypeDrainHole);
}

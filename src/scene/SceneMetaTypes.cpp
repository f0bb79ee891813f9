#include "scene/SceneMetaTypes.h"

#include <QMetaType>

#include "scene/Mesh.h"
#include "scene/Object.h"

void registerSceneMetaTypes()
{
    // A function-local static runs exactly once, even when two threads race here.
    static const bool registered = [] {
        qRegisterMetaType<Mesh>("Mesh");
        qRegisterMetaType<QList<Mesh>>("QList<Mesh>");
        qRegisterMetaType<Object::modelColor>("Object::modelColor");
        qRegisterMetaType<QList<Object::modelColor>>("QList<Object::modelColor>");
        return true;
    }();
    (void)registered;
}

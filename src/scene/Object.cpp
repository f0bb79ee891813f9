#include "scene/Object.h"

QMatrix4x4 objectMatrix(const Object &obj)
{
    QMatrix4x4 m;
    m.translate(obj.move);
    m.translate(0.0f, 0.0f, obj.center.z() * obj.scale.z());
    m.rotate(obj.rotation.z(), 0.0f, 0.0f, 1.0f);
    m.rotate(obj.rotation.x(), 1.0f, 0.0f, 0.0f);
    m.rotate(obj.rotation.y(), 0.0f, 1.0f, 0.0f);
    m.scale(obj.scale);
    if (obj.flip)
        m.scale(-1.0f, 1.0f, 1.0f);
    m.translate(-obj.center);
    return m;
}

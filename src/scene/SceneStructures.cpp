// The scene's side of bases, support linkers and drain holes: objects built from meshes in
// world coordinates by the support library.
#include "scene/Scene.h"

#include <cmath>

int Scene::addStructureObject(Object o, bool record)
{
    if (!o.mesh || o.mesh->vertices.empty())
        return -1;
    const Mesh &m = *o.mesh;
    o.minCorner = QVector3D(m.minCoord(0), m.minCoord(1), m.minCoord(2));
    o.maxCorner = QVector3D(m.maxCoord(0), m.maxCoord(1), m.maxCoord(2));
    o.center = (o.minCorner + o.maxCorner) / 2.0f;
    // The matrix keeps z and takes the centre's x and y away; move brings them back.
    o.move += QVector3D(o.center.x(), o.center.y(), 0.0f);
    if (o.mesh->reversedIndices.size() != o.mesh->indices.size()) {
        auto mesh = std::make_shared<Mesh>(*o.mesh);
        mesh->reversedIndices = reverseWinding(mesh->indices);
        o.mesh = mesh;
    }
    if (!valid(o.parent))
        o.parent = 0;
    const int id = append(std::make_unique<Object>(std::move(o)));
    refreshAABB(id, 0);
    if (record)
        recordAdded(id, id);
    emit repaintRequested();
    return id;
}

bool Scene::removeLastPreview(int type)
{
    const int last = count() - 1;
    if (last < 1 || obj(last)->type != type || std::abs(obj(last)->opacity - 0.3f) > 0.01f)
        return false;
    takeOutSingle(last);
    emit repaintRequested();
    return true;
}

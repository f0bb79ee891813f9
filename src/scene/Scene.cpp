#include "scene/Scene.h"

// Placeholder bodies; the scene operations replace them.
Scene::Scene(QObject *parent) : QObject(parent) {}
Scene::~Scene() = default;
int Scene::objectCount() const { return 0; }
Object *Scene::object(int) { return nullptr; }
const Object *Scene::object(int) const { return nullptr; }
const QList<int> &Scene::selection() const { static QList<int> none; return none; }
int Scene::currentObject() const { return 0; }
float Scene::topOfScene() { return 0; }
bool Scene::isOutOfBuild() const { return false; }
QString Scene::statusWarning() const { return {}; }
bool Scene::hasSecondExposure() const { return false; }
void Scene::setProjector(int, int, float, float) {}
void Scene::load_mesh(QList<Mesh>, QString) {}
void Scene::onColorList(QList<Object::modelColor>) {}
void Scene::refreshAABB(int, int) {}
void Scene::updateAABB(int, QVector3D) {}
void Scene::onMoveToBottom() {}
void Scene::checkPosConflict() {}
void Scene::changeObjScale(double, double, double) {}
void Scene::onUpdateBBox() {}
void Scene::copyObject(int) {}
void Scene::on_duplicateObj(int) {}
void Scene::removeObj(int) {}
void Scene::removeObjList(QList<int>) {}
void Scene::clear_model() {}
void Scene::group() {}
void Scene::ungroup() {}
void Scene::changeSelObj(QList<int>, int) {}
void Scene::undo() {}

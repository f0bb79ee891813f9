#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "scene/Scene.h"
#include "support/DrainHoles.h"
#include "support/SupportEditor.h"
#include "support_solids.h"

class TestDrainHoles : public QObject
{
    Q_OBJECT
private slots:
    void holeRunsFromOutsideIntoTheModel();
    void onlyOnModels();
    void previewComesAndGoes();
};

void TestDrainHoles::holeRunsFromOutsideIntoTheModel()
{
    // Diameter 3, height 5 on a top face at z = 20: from z = 21 down to z = 14.
    Scene scene;
    const int model = addBoxModel(scene, {20, 20, 20});
    scene.changeSelObj({model}, model);
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    QSignalSpy changed(&scene, &Scene::modelListChanged);
    QString error;
    const int id = placeDrainHole(scene, model, model, {2, 3, 20}, {0, 0, 7}, {3.0, 5.0}, false, &error);
    QVERIFY2(id > 0, qPrintable(error));
    const Object &hole = *scene.object(id);
    QCOMPARE(hole.type, int(TypeDrainHole));
    QCOMPARE(hole.name, QString("DrainHole"));
    QCOMPARE(hole.parent, model);
    QCOMPARE(hole.opacity, 1.0f);
    QCOMPARE(log.last().at(0).toString(), QString("DrainHole has been added."));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(closednessProblem(std::vector<int>(hole.mesh->indices.begin(), hole.mesh->indices.end())), QString());
    QVERIFY(signedVolume(*hole.mesh) > 0);
    QVERIFY(qAbs(hole.bbox[0] - 21) < 1e-4 && qAbs(hole.bbox[1] - 14) < 1e-4);
    // A 12-sided prism inscribed in the 1.5 mm circle around (2, 3).
    QVERIFY(hole.bbox[5] - 2 <= 1.5f + 1e-4f && hole.bbox[5] - 2 >= 1.5f * std::cos(float(M_PI / 12)) - 1e-4f);
    QVERIFY(3 - hole.bbox[2] <= 1.5f + 1e-4f && 3 - hole.bbox[2] >= 1.5f * std::cos(float(M_PI / 12)) - 1e-4f);
    const double dodecagonArea = 12 * 0.5 * 1.5 * 1.5 * std::sin(M_PI / 6);
    QVERIFY(qAbs(signedVolume(*hole.mesh) - dodecagonArea * 7) < 1e-3);

    // On a side face the hole runs along the normal: from 1 mm outside to 6 mm inside.
    const int side = placeDrainHole(scene, model, model, {10, 0, 8}, {1, 0, 0}, {2.0, 5.0}, false);
    QVERIFY(side > 0);
    const QList<float> &b = scene.object(side)->bbox;
    QVERIFY(qAbs(b[5] - 11) < 1e-4 && qAbs(b[4] - 4) < 1e-4);
    QVERIFY(qAbs((b[0] + b[1]) / 2 - 8) < 1e-4);

    // With nothing selected the hole belongs to the model it was drilled into, so it still
    // moves and goes with it.
    const int unowned = placeDrainHole(scene, model, 0, {-5, -5, 20}, {0, 0, 1}, {2.0, 3.0}, false);
    QCOMPARE(scene.object(unowned)->parent, model);

    // The hole moves with its model and goes when the model goes.
    SupportEditor editor(&scene);
    editor.onMoveSupports(QVector3D(5, 0, 0));
    QVERIFY(qAbs((scene.object(id)->bbox[4] + scene.object(id)->bbox[5]) / 2 - 7) < 1e-4);
    scene.removeObj(model);
    QCOMPARE(scene.objectCount(), 1);
}

void TestDrainHoles::onlyOnModels()
{
    Scene scene;
    const int model = addBoxModel(scene, {20, 20, 20});
    spUnit u;
    u.points = {{0, 0, 5}, {0, 0, 0}};
    u.radii = {0.5f, 0.5f};
    u.parentId = model;
    const int support = scene.addSupportObject(u, SupportMeshBuilder().build(u));
    const int before = scene.objectCount();
    QString error;
    for (int target : {0, support, 99, -1}) {
        error.clear();
        QCOMPARE(placeDrainHole(scene, target, model, {0, 0, 5}, {0, 0, 1}, {}, false, &error), -1);
        QVERIFY(!error.isEmpty());
    }
    QCOMPARE(placeDrainHole(scene, model, model, {0, 0, 20}, {0, 0, 1}, {0.0, 4.0}, false, &error), -1);
    QCOMPARE(placeDrainHole(scene, model, model, {0, 0, 20}, {0, 0, 0}, {}, false, &error), -1);
    QCOMPARE(scene.objectCount(), before);
}

void TestDrainHoles::previewComesAndGoes()
{
    Scene scene;
    const int model = addBoxModel(scene, {20, 20, 20});
    const int records = scene.undoRecordCount();
    QSignalSpy log(&scene, &Scene::updateLogWindow);
    const int id = placeDrainHole(scene, model, model, {0, 0, 20}, {0, 0, 1}, {}, true);
    QCOMPARE(id, scene.objectCount() - 1);
    QCOMPARE(scene.object(id)->opacity, 0.3f);
    QCOMPARE(scene.undoRecordCount(), records);
    QCOMPARE(log.count(), 0);
    QVERIFY(deleteDrainHolePreview(scene));
    QCOMPARE(scene.objectCount(), id);
    // A real hole is no preview.
    placeDrainHole(scene, model, model, {0, 0, 20}, {0, 0, 1}, {}, false);
    QVERIFY(!deleteDrainHolePreview(scene));
    QCOMPARE(scene.undoRecordCount(), records + 1);
}

QTEST_MAIN(TestDrainHoles)
#include "tst_drainholes.moc"

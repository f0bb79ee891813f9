#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "support_scene.h"
#include "scene/Scene.h"

// Scene operations on small hand-made meshes: loading and placement, measured boxes,
// the build-area check, duplication, removal with renumbering, grouping and alignment.
namespace {

// Places a model so that its box spans [x0, x0 + width] in x.
void placeX(Scene &s, int id, float x0)
{
    Object *o = s.object(id);
    const float width = o->bbox[5] - o->bbox[4];
    o->move.setX(x0 + width / 2);
    s.refreshAABB(id, 0);
}

QStringList texts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}

bool near(float a, float b) { return std::fabs(a - b) < 1e-4f; }

} // namespace

class SceneOpsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit()); }

    void modelStandsOnPlateCentredInXY()
    {
        QuickScene s;
        QSignalSpy log(&s, &Scene::updateLogWindow);
        QSignalSpy current(&s, &Scene::objSelectionChanged);
        QSignalSpy top(&s, &Scene::signalUpdateGlobalZ);
        s.load_mesh({boxMesh({40, -7, 10}, {50, 3, 30})}, "/models/cube.stl");

        QCOMPARE(s.objectCount(), 2);
        const Object *o = s.object(1);
        QCOMPARE(o->filename, QString("/models/cube.stl"));
        QCOMPARE(o->center, QVector3D(45, -2, 20));
        QCOMPARE(o->move.z(), -10.0f);
        QCOMPARE(o->moveZoff, 10.0f);
        QCOMPARE(o->bbox, (QList<float>{20, 0, -5, 5, -5, 5}));
        QCOMPARE(s.selection(), QList<int>{1});
        QCOMPARE(s.currentObject(), 1);

        QCOMPARE(texts(log), QStringList{"cube.stl has been loaded."});
        QCOMPARE(current.last().at(0).toInt(), 1);
        QCOMPARE(top.last().at(0).toFloat(), 20.0f);
    }

    void twoPartFileIsGroupedAndKeepsItsShape()
    {
        QuickScene s;
        QSignalSpy log(&s, &Scene::updateLogWindow);
        // The second part lies below the first: the file must stand on its lowest part
        // and the parts must keep their distance.
        s.load_mesh({boxMesh({0, 0, 10}, {10, 10, 30}), boxMesh({20, 0, 4}, {30, 10, 6})},
                    "/models/pair.stl");

        QCOMPARE(s.objectCount(), 3);
        const Object *a = s.object(1);
        const Object *b = s.object(2);
        QCOMPARE(a->groupId, 18);
        QCOMPARE(b->groupId, 18);
        QCOMPARE(a->center, b->center);
        QCOMPARE(s.currentObject(), 2);
        QCOMPARE(texts(log).size(), 1);

        QCOMPARE(b->bbox[1], 0.0f);
        QCOMPARE(b->bbox[0], 2.0f);
        QCOMPARE(a->bbox[1], 6.0f);
        QCOMPARE(a->bbox[0], 26.0f);
        QCOMPARE(a->move, b->move);
        QCOMPARE(b->bbox[4] - a->bbox[5], 10.0f);   // gap in x as in the file
        QCOMPARE(a->moveZoff, -a->move.z());

        // A second file groups by its own first index.
        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 1}), boxMesh({2, 0, 0}, {3, 1, 1})}, "/m/x.stl");
        QCOMPARE(s.object(3)->groupId, 7 * 3 + 11);
    }

    void buildPlateReplacesObjectZeroSilently()
    {
        QuickScene s;
        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 1})}, "/m/a.stl");
        QSignalSpy log(&s, &Scene::updateLogWindow);
        s.load_mesh({boxMesh({-60, -40, -2}, {60, 40, 0})}, ":/stl/BuildPlate_120x80.stl");

        QCOMPARE(s.objectCount(), 2);
        QCOMPARE(s.object(0)->type, int(TypeBuildPlate));
        QVERIFY(!s.object(0)->selectable);
        QCOMPARE(s.object(0)->name, QString("BuildPlate_120x80.stl"));
        QCOMPARE(s.object(1)->name, QString("a.stl"));
        QVERIFY(log.isEmpty());
        // The plate never counts towards the height of the scene.
        QCOMPARE(s.topOfScene(), 1.0f);

        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 0.2f})}, "/m/Grid_bottom_118x67.stl");
        QCOMPARE(s.object(2)->type, int(TypeBase));
    }

    void greenPartsOfA3mfFile()
    {
        QuickScene s;
        s.load_mesh({boxMesh({0, 0, 0}, {5, 5, 5})}, "/m/other.stl");
        QSignalSpy second(&s, &Scene::signalShowHideSecondExp);
        s.onColorList({Object::modelColor(0), Object::modelColor(1)});
        s.load_mesh({boxMesh({0, 0, 0}, {10, 10, 10}), boxMesh({0, 0, 10}, {10, 10, 12})},
                    "/m/Part.3MF");

        QCOMPARE(s.object(2)->name, QString("Part.3MF"));
        QCOMPARE(s.object(2)->mode, 0);
        QCOMPARE(s.object(3)->name, QString("Part.3MF_Green"));
        QCOMPARE(s.object(3)->mode, 1);
        QVERIFY(s.hasSecondExposure());
        QCOMPARE(second.last().at(0).toBool(), true);
        // The file's own parts end up selected, not the model that was there before.
        QCOMPARE(s.selection(), (QList<int>{2, 3}));

        // A single-mesh load resets the colours; removing the green part clears the flag.
        s.removeObj(3);
        QVERIFY(!s.hasSecondExposure());
        QCOMPARE(second.last().at(0).toBool(), false);
        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 1})}, "/m/third.3mf");
        QCOMPARE(s.colorList().size(), 1);
        QCOMPARE(s.selection(), QList<int>{3});
    }

    void removalDuringTheLoadPauseIsSafe()
    {
        Scene s;
        s.setLoadPauseMs(20);
        // The interface stays live between meshes, so the user may delete the first part.
        QTimer::singleShot(0, &s, [&s] { s.removeObj(1); });
        s.load_mesh({boxMesh({0, 0, 10}, {1, 1, 12}), boxMesh({0, 0, 20}, {1, 1, 25})}, "/m/two.stl");
        QCOMPARE(s.objectCount(), 2);
        QCOMPARE(s.object(1)->bbox[1], 0.0f);
        QCOMPARE(s.object(1)->bbox[0], 5.0f);
        QCOMPARE(s.currentObject(), 1);
    }

    void overlappingLoadsReportTheObjectThatIsCurrent()
    {
        // Two files read at once (several named on the command line): the second arrives while
        // the first waits between meshes and becomes current; the panel must be told so last.
        Scene s;
        s.setLoadPauseMs(20);
        QSignalSpy shown(&s, &Scene::objSelectionChanged);
        QTimer::singleShot(0, &s, [&s] { s.load_mesh({boxMesh({0, 0, 0}, {2, 2, 2})}, "/m/second.stl"); });
        s.load_mesh({boxMesh({0, 0, 0}, {1, 1, 1})}, "/m/first.stl");
        QCOMPARE(s.objectCount(), 3);
        QCOMPARE(s.currentObject(), 2);
        QCOMPARE(shown.last().at(0).toInt(), s.currentObject());
    }

    void shortColourListAndEmptyMeshesAreHarmless()
    {
        QuickScene s;
        s.onColorList({Object::modelColor(1)});
        s.load_mesh({Mesh(), boxMesh({0, 0, 0}, {1, 1, 1}), boxMesh({0, 0, 0}, {2, 2, 2})},
                    "/m/odd.3mf");
        QCOMPARE(s.objectCount(), 3);
        QCOMPARE(s.object(1)->mode, 0);   // colour entry 1 is missing: normal exposure
        QCOMPARE(s.object(2)->mode, 0);
        QCOMPARE(s.object(1)->groupId, 18);
        QVERIFY(!s.object(1)->name.endsWith("_Green"));
    }

    void measuredBoxFollowsEveryVertex()
    {
        QuickScene s;
        // A tetrahedron: its corner box would overstate a rotated object's extent.
        s.load_mesh({Mesh({0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 10}, {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3}, {})},
                    "/m/tetra.stl");
        Object *o = s.object(1);
        QCOMPARE(o->mesh->reversedIndices.size(), o->mesh->indices.size());
        o->flip = true;
        o->scale = QVector3D(2, 1, 1);
        o->rotation = QVector3D(0, 0, 45);
        o->move = QVector3D(1, 2, 3);
        s.refreshAABB(1, 0);
        const float r = float(std::sqrt(0.5));
        const QList<float> expected{13, 3, 2 - 15 * r, 2 + 15 * r, 1 - 5 * r, 1 + 15 * r};
        for (int k = 0; k < 6; ++k)
            QVERIFY2(near(o->bbox[k], expected[k]), qPrintable(QString::number(k)));

        // Rotation about x turns the y extent into the z extent, lifted by the centre.
        s.load_mesh({boxMesh({0, 0, 0}, {10, 20, 30})}, "/m/slab.stl");
        Object *b = s.object(2);
        b->move = QVector3D(0, 0, 0);
        b->rotation = QVector3D(90, 0, 0);
        s.refreshAABB(2, 0);
        QVERIFY(near(b->bbox[0], 25) && near(b->bbox[1], 5));
        QVERIFY(near(b->bbox[2], -15) && near(b->bbox[3], 15));
        QVERIFY(near(b->bbox[4], -5) && near(b->bbox[5], 5));

        // Scaling re-measures through onUpdateBBox.
        s.changeSelObj({2}, 2);
        s.changeObjScale(2, 1, 1);
        QCOMPARE(b->scale, QVector3D(2, 1, 1));
        s.onUpdateBBox();
        QVERIFY(near(b->bbox[4], -10) && near(b->bbox[5], 10));
    }

    void buildAreaBoundaryIsStrict()
    {
        QuickScene s;
        s.setProjector(1000, 800, 50, 50);   // half-widths 25 × 20 mm
        const int id = addBox(s, {0, 0, 0}, {50, 40, 5});
        QCOMPARE(s.object(id)->bbox[5], 25.0f);
        QCOMPARE(s.object(id)->bbox[3], 20.0f);
        QVERIFY(!s.isOutOfBuild());
        QVERIFY(s.statusWarning().isEmpty());

        for (QVector3D shift : {QVector3D(0.1f, 0, 0), QVector3D(-0.1f, 0, 0), QVector3D(0, 0.1f, 0),
                                QVector3D(0, -0.1f, 0)}) {
            s.object(id)->move = shift + QVector3D(0, 0, s.object(id)->move.z());
            s.refreshAABB(id, 0);
            s.checkPosConflict();
            QVERIFY(s.isOutOfBuild());
            QCOMPARE(s.statusWarning(), QString("Models out of build size"));
        }
        s.object(id)->move.setX(0);
        s.object(id)->move.setY(0);
        s.refreshAABB(id, 0);
        s.checkPosConflict();
        QVERIFY(!s.isOutOfBuild());
        QVERIFY(s.statusWarning().isEmpty());

        // Only models count: a support sticking out does not.
        const int sup = addChild(s, id, TypeSupport, "Support_0000");
        s.object(sup)->move.setX(100);
        s.refreshAABB(sup, 0);
        s.checkPosConflict();
        QVERIFY(!s.isOutOfBuild());
    }

    void duplicateShiftsCopyWithItsChildren()
    {
        QuickScene s;
        s.setProjector(4000, 4000, 50, 50);   // room beside the model
        QSignalSpy notice(&s, &Scene::signalTimedMessage);
        const int m = addBox(s, {0, 0, 0}, {20.3f, 10, 5});
        const int sup = addChild(s, m, TypeSupport, "Support_0000");
        addChild(s, m, TypeDrainHole, "DrainHole");
        s.object(m)->moveZoff = 4;

        s.changeSelObj({}, 0);
        s.on_duplicateObj(0);
        QCOMPARE(notice.last().at(0).toString(), QString("No model is selected"));
        QCOMPARE(notice.last().at(1).toInt(), 1500);
        QCOMPARE(s.objectCount(), 4);

        const int records = s.undoRecordCount();
        s.changeSelObj({m, sup}, m);
        s.on_duplicateObj(m);
        QCOMPARE(notice.last().at(0).toString(), QString("Selected supports and bases will be ignored."));
        QCOMPARE(notice.last().at(1).toInt(), 1800);
        QCOMPARE(s.objectCount(), 7);
        QCOMPARE(s.undoRecordCount(), records + 1);

        const Object *src = s.object(m);
        const Object *c = s.object(4);
        QCOMPARE(c->mesh, src->mesh);   // shared, not copied
        QCOMPARE(c->move.x() - src->move.x(), 23.0f);
        QVERIFY(near(c->bbox[4] - src->bbox[4], 23));
        QCOMPARE(c->moveZoff, 4.0f);
        QCOMPARE(s.selection(), QList<int>{4});
        for (int k : {5, 6}) {
            QCOMPARE(s.object(k)->parent, 4);
            QCOMPARE(s.object(k)->move.x() - s.object(k - 3)->move.x(), 23.0f);
        }
        QCOMPARE(s.object(5)->name, QString("Support_0001"));
        QCOMPARE(s.object(6)->type, int(TypeDrainHole));

        // Two models at once: the copies are grouped together.
        s.changeSelObj({m, 4}, 4);
        s.on_duplicateObj(4);
        QCOMPARE(s.selection().size(), 2);
        const int g = s.object(s.selection().first())->groupId;
        QVERIFY(g >= 0);
        QCOMPARE(s.object(s.selection().last())->groupId, g);
    }

    void removingAModelTakesItsChildrenAndRenumbers()
    {
        QuickScene s;
        const int a = addBox(s, {0, 0, 0}, {1, 1, 1}, "a.stl");                  // 1
        addChild(s, a, TypeSupport, "s");                                         // 2
        const int b = addBox(s, {0, 0, 0}, {2, 2, 2}, "b.stl");                  // 3
        addChild(s, b, TypeSupport, "s");                                         // 4
        addChild(s, b, TypeBase, "RectBase");                                     // 5
        addChild(s, b, TypeHollowedModel, "b_hollow");                            // 6
        addChild(s, a, TypeDrainHole, "DrainHole");                               // 7
        const int glob = addChild(s, 0, TypeBase, "GlobalBase");                  // 8
        s.changeSelObj({3, 5}, 3);

        QSignalSpy changed(&s, &Scene::modelListChanged);
        s.removeObj(a);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(s.objectCount(), 5);   // a, its support and drain hole, and the global base are gone
        QCOMPARE(s.object(1)->name, QString("b.stl"));
        for (int k : {2, 3, 4})
            QCOMPARE(s.object(k)->parent, 1);
        QCOMPARE(s.object(2)->name, QString("Support_0000"));
        QCOMPARE(s.supportIndexMap(), QList<int>{2});
        QCOMPARE(s.selection(), (QList<int>{1, 3}));
        QCOMPARE(s.currentObject(), 0);
        Q_UNUSED(glob);

        // Removing only a linker keeps a global base.
        const int g2 = addChild(s, 0, TypeBase, "GlobalBase");
        const int l = addChild(s, 0, TypeSupportLinker, "SupportLinkers");
        s.removeObj(l);
        QCOMPARE(s.object(g2)->name, QString("GlobalBase"));

        // In manual support mode a model stays while a model is current; a support may go.
        s.setSupportMode(1);
        s.changeSelObj({1}, 1);
        s.removeObj(1);
        QCOMPARE(s.object(1)->name, QString("b.stl"));
        s.changeSelObj({1}, 1);
        s.removeObj(2);
        QCOMPARE(s.objectCount(), 4);
        s.setSupportMode(0);

        // Ids out of range and the plate are ignored.
        s.removeObj(0);
        s.removeObj(99);
        s.removeObj(-1);
        QCOMPARE(s.objectCount(), 4);
    }

    void removeListAndClear()
    {
        QuickScene s;
        QSignalSpy log(&s, &Scene::updateLogWindow);
        QSignalSpy top(&s, &Scene::signalUpdateGlobalZ);
        s.clear_model();
        QCOMPARE(log.last().at(0).toString(), QString("There is no model removed."));

        const int a = addBox(s, {0, 0, 0}, {1, 1, 1}, "a.stl");   // 1
        // A child listed before its model goes with the model; the other id in the
        // list must then still hit the object it meant.
        const int child = addChild(s, 0, TypeSupport, "s");        // 2
        const int b = addBox(s, {0, 0, 0}, {1, 1, 9}, "b.stl");   // 3
        const int c = addBox(s, {0, 0, 0}, {1, 1, 3}, "c.stl");   // 4
        s.object(child)->parent = c;
        s.changeSelObj({a, b}, b);
        s.removeObjList({c, b});
        QCOMPARE(s.objectCount(), 2);
        QCOMPARE(s.object(1)->name, QString("a.stl"));
        QVERIFY(s.selection().isEmpty());
        QCOMPARE(s.currentObject(), 0);
        QCOMPARE(top.last().at(0).toFloat(), 1.0f);

        s.clear_model();
        QCOMPARE(s.objectCount(), 1);
        QCOMPARE(s.object(0)->type, int(TypeBuildPlate));
        QCOMPARE(log.last().at(0).toString(), QString("All model is deleted."));
        QCOMPARE(top.last().at(0).toFloat(), 0.0f);
        QCOMPARE(s.topOfScene(), 0.0f);
    }

    void groupAndUngroup()
    {
        QuickScene s;
        addBox(s, {0, 0, 0}, {1, 1, 1});
        addBox(s, {0, 0, 0}, {1, 1, 1});
        const int sup = addChild(s, 1, TypeSupport, "s");

        s.changeSelObj({1}, 1);
        s.group();   // needs two
        QCOMPARE(s.object(1)->groupId, -1);

        s.changeSelObj({1, 2, sup}, 2);
        QTest::ignoreMessage(QtDebugMsg, "Objects (1, 2, 3) were assgined to group id of 0");
        s.group();
        QCOMPARE(s.object(1)->groupId, 0);
        QCOMPARE(s.object(2)->groupId, 0);
        QCOMPARE(s.object(sup)->groupId, -1);   // only models join a group

        s.changeSelObj({1, 2}, 1);
        QTest::ignoreMessage(QtDebugMsg, "Objects (1, 2) were assgined to group id of 1");
        s.group();

        QTest::ignoreMessage(QtDebugMsg, "Group id of 1 was ungrouped");
        s.ungroup();
        QCOMPARE(s.object(1)->groupId, -1);
        QCOMPARE(s.object(2)->groupId, -1);
        QVERIFY(s.selection().isEmpty());
        QCOMPARE(s.currentObject(), 0);
        s.ungroup();   // nothing grouped is current: nothing happens
    }

    void alignmentSpacesAndLinesUpModels()
    {
        QuickScene s;
        s.setProjector(4000, 4000, 50, 50);
        const int a = addBox(s, {0, 0, 0}, {10, 10, 10});
        const int b = addBox(s, {0, 0, 0}, {10, 4, 10});
        const int c = addBox(s, {0, 0, 0}, {10, 10, 10});
        const int sup = addChild(s, b, TypeSupport, "s");
        placeX(s, a, 50);
        placeX(s, b, 20);
        placeX(s, c, 0);
        const float supX = s.object(sup)->move.x();

        // Selection order is not spatial order; equal gaps sort it.
        s.changeSelObj({a, sup, b, c}, a);
        s.alignSelection(6);
        QCOMPARE(s.selection(), (QList<int>{c, b, a}));
        QVERIFY(near(s.object(b)->bbox[4], 25) && near(s.object(b)->bbox[5], 35));
        QVERIFY(near(s.object(c)->bbox[4], 0) && near(s.object(a)->bbox[4], 50));
        QVERIFY(near(s.object(sup)->move.x(), supX + 5));

        // Two models: equal gaps leave them alone.
        s.changeSelObj({a, b}, a);
        s.alignSelection(6);
        QVERIFY(near(s.object(b)->bbox[4], 25));

        // Top: every largest y meets the largest of the selection; z untouched.
        const float z = s.object(b)->move.z();
        s.changeSelObj({a, b, c}, a);
        s.alignSelection(0);
        QVERIFY(near(s.object(b)->bbox[3], 5) && near(s.object(b)->bbox[2], 1));
        QVERIFY(near(s.object(sup)->move.y(), 3));
        QCOMPARE(s.object(b)->move.z(), z);

        // Centre in x: the mean of the centres.
        s.alignSelection(4);
        for (int id : {a, b, c})
            QVERIFY(near((s.object(id)->bbox[4] + s.object(id)->bbox[5]) / 2, 30));
    }
};

QTEST_GUILESS_MAIN(SceneOpsTest)
#include "tst_scene_ops.moc"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "support_scene.h"
#include "scene/Scene.h"

// The edit history: each kind of record is undone, ids shifted by removals still find
// their objects, and the first record (the build plate) stays.
namespace {

// A scene with its build plate loaded, as the view starts.
void loadPlate(Scene &s)
{
    s.setLoadPauseMs(0);
    s.load_mesh({boxMesh({-60, -40, -1}, {60, 40, 0})}, ":/stl/BuildPlate.stl");
}

QStringList names(const Scene &s)
{
    QStringList out;
    for (int i = 1; i < s.objectCount(); ++i)
        out << s.object(i)->name;
    return out;
}

} // namespace

class SceneUndoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_DATA_DIR", m_data.path().toLocal8Bit()); }

    void undoAddedKeepsThePlate()
    {
        Scene s;
        loadPlate(s);
        addBox(s, "a.stl");
        QCOMPARE(s.undoRecordCount(), 2);
        QSignalSpy changed(&s, &Scene::modelListChanged);
        s.undo();
        QCOMPARE(s.objectCount(), 1);
        QCOMPARE(s.undoRecordCount(), 1);   // the removal made no record of its own
        QVERIFY(!changed.isEmpty());
        s.undo();
        QCOMPARE(s.objectCount(), 1);
        QCOMPARE(s.object(0)->name, QString("BuildPlate.stl"));
        QCOMPARE(s.undoRecordCount(), 1);
    }

    void undoRemovalBringsModelAndChildrenBack()
    {
        Scene s;
        loadPlate(s);
        const int m = addBox(s, "m.stl", 7);
        addChild(s, m, TypeSupport, "Support_0000");
        addChild(s, m, TypeBase, "RectBase");
        addBox(s, "n.stl");
        const QVector3D move = s.object(m)->move;

        s.removeObj(m);
        QCOMPARE(names(s), QStringList{"n.stl"});
        s.undo();
        QCOMPARE(names(s), (QStringList{"n.stl", "m.stl", "Support_0000", "RectBase"}));
        QCOMPARE(s.object(2)->move, move);
        QVERIFY(s.object(2)->mesh);
        QCOMPARE(s.object(3)->parent, 2);
        QCOMPARE(s.object(4)->parent, 2);
        QCOMPARE(s.topOfScene(), 7.0f);

        // A list removal is one step as well.
        s.removeObjList({1, 2});
        QCOMPARE(s.objectCount(), 1);
        s.undo();
        QCOMPARE(names(s), (QStringList{"n.stl", "m.stl", "Support_0000", "RectBase"}));
        QCOMPARE(s.object(3)->parent, 2);
    }

    void supportsRemovedOneByOneComeBackTogether()
    {
        Scene s;
        loadPlate(s);
        const int m = addBox(s, "m.stl");
        addChild(s, m, TypeSupport, "s");
        addChild(s, m, TypeSupport, "s");
        addChild(s, m, TypeSupport, "s");
        s.removeObj(4);
        s.removeObj(3);
        QCOMPARE(s.objectCount(), 3);
        s.undo();
        QCOMPARE(s.objectCount(), 5);
        QCOMPARE(s.supportIndexMap(), (QList<int>{2, 3, 4}));
        QCOMPARE(s.object(4)->name, QString("Support_0002"));
        for (int k : {2, 3, 4})
            QCOMPARE(s.object(k)->parent, m);
    }

    void undoMoveRestoresModelAndChildren()
    {
        Scene s;
        loadPlate(s);
        const int m = addBox(s, "m.stl");
        const int sup = addChild(s, m, TypeSupport, "s");
        const QVector3D before = s.object(m)->move;
        const QVector3D supBefore = s.object(sup)->move;
        const QList<float> box = s.object(m)->bbox;

        s.recordMove(m, before);
        const QVector3D drag(5, -3, 0);
        s.object(m)->move += drag;
        s.object(sup)->move += drag;
        s.refreshAABB(m, 0);
        s.changeSelObj({m}, m);

        QSignalSpy current(&s, &Scene::objSelectionChanged);
        s.undo();
        QCOMPARE(s.object(m)->move, before);
        QCOMPARE(s.object(sup)->move, supBefore);
        for (int k = 0; k < 6; ++k)
            QVERIFY(qAbs(s.object(m)->bbox[k] - box[k]) < 1e-5f);
        QCOMPARE(current.size(), 1);
        QCOMPARE(current.last().at(0).toInt(), m);
    }

    void undoSupportEditRestoresTheObject()
    {
        Scene s;
        loadPlate(s);
        const int m = addBox(s, "m.stl");
        const int sup = addChild(s, m, TypeSupport, "Support_0000");
        s.object(sup)->opacity = 0.3f;
        s.recordSupportEdit(sup);
        s.object(sup)->opacity = 1.0f;
        s.object(sup)->move.setX(9);
        s.undo();
        QCOMPARE(s.object(sup)->opacity, 0.3f);
        QCOMPARE(s.object(sup)->move.x(), 0.0f);
        QCOMPARE(s.object(sup)->parent, m);
    }

    void undoDuplicateRemovesAllCopiesAtOnce()
    {
        Scene s;
        loadPlate(s);
        const int m = addBox(s, "m.stl");
        addChild(s, m, TypeSupport, "s");
        s.changeSelObj({m}, m);
        s.on_duplicateObj(m);
        QCOMPARE(s.objectCount(), 5);
        s.undo();
        QCOMPARE(names(s), (QStringList{"m.stl", "Support_0000"}));
    }

    void recordsFollowObjectsAcrossRemovals()
    {
        Scene s;
        loadPlate(s);
        addBox(s, "a.stl");
        addBox(s, "b.stl");
        s.removeObj(1);          // b moves to id 1
        s.undo();                // a comes back at id 2
        QCOMPARE(names(s), (QStringList{"b.stl", "a.stl"}));
        s.undo();                // undoes b's load, whatever its id is now
        QCOMPARE(names(s), QStringList{"a.stl"});
    }

    void historyIsBounded()
    {
        Scene s;
        loadPlate(s);
        for (int k = 0; k < 15; ++k)
            addBox(s, QString("m%1.stl").arg(k));
        QCOMPARE(s.undoRecordCount(), 12);
        for (int k = 0; k < 20; ++k)
            s.undo();
        // The oldest kept record is never undone.
        QCOMPARE(s.objectCount(), 1 + 4);
        QCOMPARE(s.undoRecordCount(), 1);

        s.clear_model();
        QCOMPARE(s.undoRecordCount(), 1);
        s.undo();
        QCOMPARE(s.objectCount(), 1);
    }
};

QTEST_GUILESS_MAIN(SceneUndoTest)
#include "tst_scene_undo.moc"

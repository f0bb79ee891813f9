#include <QAction>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

#include "support_window.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

class TestSceneCommands : public WindowTest
{
    Q_OBJECT
public:
    TestSceneCommands() : WindowTest(EmptySettingsFile, HiddenWindow) {}

private:
    // Two models; model 1 has a support, a base and a hollowed copy.
    Scene *buildScene()
    {
        Scene *scene = m_window->canvas->scene();
        scene->setLoadPauseMs(0);
        m_window->canvas->load_mesh({boxMesh(10)}, "/parts/a.stl");
        m_window->canvas->load_mesh({boxMesh(10)}, "/parts/b.stl");
        const int kinds[] = {TypeSupport, TypeBase, TypeHollowedModel};
        for (int kind : kinds) {
            scene->copyObject(1);
            Object *child = scene->object(scene->objectCount() - 1);
            child->type = kind;
            child->parent = 1;
        }
        m_window->updateModelList();
        return scene;
    }

    QStringList treeMenu(const QString &choose)
    {
        QStringList texts;
        onNextMenu(dialogWatchers(), &texts, choose);
        m_window->treeContextMenu(QPoint(5, 5));
        return texts;
    }

private slots:
    void hideShowThisOnlyAndUnhide()
    {
        Scene *scene = buildScene();
        scene->changeSelObj({1}, 1);

        QCOMPARE(treeMenu("Hide"), (QStringList{"Hide", "Unhide All", "Show This Only"}));
        // The model and its children go; a hollowed copy keeps its own state; model 2 stays.
        QVERIFY(!scene->object(1)->isShow);
        QVERIFY(!scene->object(3)->isShow && !scene->object(4)->isShow);
        QVERIFY(scene->object(5)->isShow);
        QVERIFY(scene->object(2)->isShow);
        auto *tree = qobject_cast<QStandardItemModel *>(m_window->findChild<QTreeView *>("modelTreeView")->model());
        QVERIFY(tree->item(0)->font().strikeOut());

        treeMenu("Unhide All");
        for (int id = 1; id < scene->objectCount(); ++id)
            QVERIFY(scene->object(id)->isShow);

        scene->changeSelObj({2}, 2);
        treeMenu("Show This Only");
        QVERIFY(scene->object(2)->isShow);
        for (int id : {1, 3, 4, 5})
            QVERIFY(!scene->object(id)->isShow);
        QVERIFY(scene->object(0)->isShow);   // the build plate is no model to hide
    }

    void deleteUndoAndKeysOfTheViewPage()
    {
        Scene *scene = buildScene();
        const int count = scene->objectCount();

        // Nothing current: Delete does nothing.
        scene->changeSelObj({}, 0);
        QTest::keyClick(m_window.get(), Qt::Key_Delete);
        QCOMPARE(scene->objectCount(), count);

        // D removes the current model with its children; Ctrl+Z brings them back.
        scene->changeSelObj({1}, 1);
        QTest::keyClick(m_window.get(), Qt::Key_D);
        QCOMPARE(scene->objectCount(), count - 4);
        QCOMPARE(scene->object(1)->name, QStringLiteral("b.stl"));
        QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(scene->objectCount(), count);

        // Keys act only while the 3D view page is shown.
        m_window->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
        scene->changeSelObj({2}, 2);
        QTest::keyClick(m_window.get(), Qt::Key_D);
        QCOMPARE(scene->objectCount(), count);
    }

    void viewMenuOpensOnAClickButNotAfterTurning()
    {
        Scene *scene = buildScene();
        scene->changeSelObj({1}, 1);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QWindow *window = m_window->windowHandle();
        const QPoint at = m_window->canvas->mapTo(m_window.get(), m_window->canvas->rect().center());

        // Right press, turn, release: no menu.
        QStringList turned;
        {
            QObject watcher;
            onNextMenu(&watcher, &turned);
            QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, at);
            QTest::mouseMove(window, at + QPoint(60, 20));
            QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, at + QPoint(60, 20));
            QTest::qWait(150);
        }
        QVERIFY(turned.isEmpty());

        // A right click on a current model: its commands.
        QStringList entries;
        onNextMenu(dialogWatchers(), &entries);
        QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, at);
        QTRY_VERIFY(!entries.isEmpty());
        QCOMPARE(entries, (QStringList{"Duplicate", "Make Center", "Delete", "Move to Bottom", "Move Z+3mm",
                                       "Reset Move (XY)", "Hide", "Rot. center", "Group", "Ungroup"}));
    }
};

QTEST_MAIN(TestSceneCommands)
#include "tst_gui_tree_commands.moc"

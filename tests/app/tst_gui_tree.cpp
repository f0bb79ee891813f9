#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

#include "support_window.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

namespace {

QStringList childTexts(const QStandardItem *item)
{
    QStringList texts;
    for (int r = 0; r < item->rowCount(); ++r)
        texts << item->child(r)->text();
    return texts;
}

} // namespace

// The model tree and the property panel; a broken model loaded says in the log and the tree
// what was repaired.
class TestModelTree : public WindowTest
{
    Q_OBJECT
public:
    TestModelTree() : WindowTest(EmptySettingsFile, HiddenWindow) {}

private:
    static QStandardItemModel *treeModel(Window &w)
    {
        return qobject_cast<QStandardItemModel *>(w.findChild<QTreeView *>("modelTreeView")->model());
    }

    // Clicks a tree row the way a user does (Ctrl adds to the selection).
    static void clickRow(Window &w, const QModelIndex &index, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        auto *tree = w.findChild<QTreeView *>("modelTreeView");
        tree->scrollTo(index);
        const QRect r = tree->visualRect(index);
        QVERIFY(r.isValid());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, mods, r.center());
    }

private slots:
    void loadedModelStandsCentredOnThePlateAndIsListed()
    {
        const QString path = dataPath("bracket.stl");
        writeBoxStl(path, QVector3D(100, 40, 30), QVector3D(110, 60, 35));
        Window &w = *m_window;
        QVERIFY(w.openModelFile(path));
        QTRY_VERIFY_WITH_TIMEOUT(logText(w).contains("]   bracket.stl has been loaded."), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(w.findChild<QDoubleSpinBox *>("inpMaxZ")->value(), 5.0, 10000);

        const Scene *scene = w.canvas->scene();
        QCOMPARE(scene->objectCount(), 2);

        // One row for the model with its counts; the build plate has none.
        QStandardItemModel *tree = treeModel(w);
        QCOMPARE(tree->rowCount(), 1);
        QStandardItem *row = tree->item(0);
        QCOMPARE(row->text(), QStringLiteral("bracket.stl"));
        QCOMPARE(childTexts(row), QStringList{"Info"});
        QCOMPARE(childTexts(row->child(0)), (QStringList{"Vertices: 8", "Triangles: 12"}));

        // The panel shows the new current model: its size, standing on the plate.
        QCOMPARE(w.findChild<QDoubleSpinBox *>("inpSizeX")->value(), 10.0);
        QCOMPARE(w.findChild<QDoubleSpinBox *>("inpSizeY")->value(), 20.0);
        QCOMPARE(w.findChild<QDoubleSpinBox *>("inpMoveZ")->value(), 0.0);
        QCOMPARE(w.sliceCount, 101);   // 5 mm at 50 µm, both ends
    }

    void repairedModelSaysSoInLogAndTree()
    {
        // A 10 × 20 × 5 mm box with every face wound inward.
        const QString path = dataPath("inward.stl");
        writeBoxStl(path, QVector3D(10, 20, 5), QVector3D(0, 0, 0));
        QVERIFY(m_window->openModelFile(path));
        const QString line = "Mesh check: open edges: 0, shells: 1, inside-out shells: 1, repaired: 1 flipped shell";
        QTRY_VERIFY_WITH_TIMEOUT(logText(*m_window).contains(line), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(treeModel(*m_window)->rowCount() == 1, 10000);
        const QStandardItem *info = treeModel(*m_window)->item(0)->child(0);
        QCOMPARE(info->text(), QString("Info"));
        QCOMPARE(info->rowCount(), 3);
        QCOMPARE(info->child(2)->text(), "Check: " + line.mid(12));
    }

    void treeShowsChildrenSelectionAndHiddenModels()
    {
        Window &w = *m_window;
        Scene *scene = w.canvas->scene();
        scene->setLoadPauseMs(0);
        w.canvas->load_mesh({boxMesh(10)}, "/parts/a.stl");
        w.canvas->load_mesh({boxMesh(10)}, "/parts/b.stl");
        // Children of model 1: two supports, a base, a hollowed copy and linkers (no row).
        const int kinds[] = {TypeSupport, TypeSupport, TypeBase, TypeHollowedModel, TypeSupportLinker};
        const char *names[] = {"Support_0000", "Support_0001", "Base_a", "a_hollow", "SupportLinkers"};
        for (int k = 0; k < 5; ++k) {
            scene->copyObject(1);
            Object *child = scene->object(scene->objectCount() - 1);
            child->type = kinds[k];
            child->parent = 1;
            child->name = names[k];
        }
        scene->object(2)->isShow = false;
        scene->changeSelObj({1, 3}, 3);
        w.updateModelList();

        QStandardItemModel *tree = treeModel(w);
        QCOMPARE(tree->rowCount(), 2);
        QStandardItem *a = tree->item(0);
        QStandardItem *b = tree->item(1);
        QCOMPARE(childTexts(a), (QStringList{"Info", "Supports", "Base", "Hollow"}));
        QCOMPARE(childTexts(a->child(1)), (QStringList{"Support_0000", "Support_0001"}));
        QCOMPARE(childTexts(a->child(2)), QStringList{"Base_a"});
        QCOMPARE(childTexts(a->child(3)), QStringList{"a_hollow"});
        QCOMPARE(childTexts(b), QStringList{"Info"});
        QVERIFY(!a->font().strikeOut());
        QVERIFY(b->font().italic() && b->font().strikeOut());
        QCOMPARE(a->background().color(), QColor(Qt::lightGray));
        QCOMPARE(a->child(1)->child(0)->background().color(), QColor(Qt::lightGray));
        QCOMPARE(b->background().style(), Qt::NoBrush);
        QVERIFY(!w.findChild<QGroupBox *>("gbxAlignTool")->isHidden());

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *view = w.findChild<QTreeView *>("modelTreeView");
        view->expandAll();

        // A click selects one model; Ctrl+click adds the other: two models may be aligned.
        clickRow(w, b->index());
        QCOMPARE(scene->selection(), QList<int>{2});
        QCOMPARE(scene->currentObject(), 2);
        QVERIFY(w.findChild<QGroupBox *>("gbxAlignTool")->isHidden());
        clickRow(w, a->index(), Qt::ControlModifier);
        QCOMPARE(scene->selection(), (QList<int>{2, 1}));   // in the order of the clicks
        QCOMPARE(scene->currentObject(), 1);
        QVERIFY(!w.findChild<QGroupBox *>("gbxAlignTool")->isHidden());
        QCOMPARE(treeModel(w)->item(1)->background().color(), QColor(Qt::lightGray));

        // The "Supports" entry stands for the model's supports; the panel cannot move them.
        clickRow(w, treeModel(w)->item(0)->child(1)->index());
        QCOMPARE(scene->selection(), (QList<int>{3, 4}));
        QCOMPARE(scene->currentObject(), 4);
        QVERIFY(w.findChild<QGroupBox *>("gbxAlignTool")->isHidden());
        QVERIFY(!w.findChild<QDoubleSpinBox *>("inpMoveX")->isEnabled());

        // Escape in the tree clears the selection.
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(scene->selection().isEmpty());
        QCOMPARE(scene->currentObject(), 0);

        // Rows the user opened stay open when the list changes.
        view->collapse(treeModel(w)->item(1)->index());
        w.updateModelList();
        QVERIFY(view->isExpanded(treeModel(w)->item(0)->child(1)->index()));
        QVERIFY(!view->isExpanded(treeModel(w)->item(1)->index()));
    }

    void propertyPanelMovesScalesAndRefreshesWithoutEditing()
    {
        Window &w = *m_window;
        Scene *scene = w.canvas->scene();
        scene->setLoadPauseMs(0);
        w.canvas->load_mesh({boxMesh(10)}, "/parts/a.stl");
        QCOMPARE(scene->currentObject(), 1);
        auto *moveZ = w.findChild<QDoubleSpinBox *>("inpMoveZ");
        w.findChild<QCheckBox *>("cbScaleLock")->setChecked(true);

        // Typing a height lifts the model's bottom to it; the top-of-scene field follows.
        moveZ->setValue(5.0);
        QVERIFY(qAbs(scene->object(1)->bbox[1] - 5.0f) < 1e-4f);
        QCOMPARE(w.findChild<QDoubleSpinBox *>("inpMaxZ")->value(), 15.0);
        QCOMPARE(w.statusLabel->text(), QStringLiteral("Top of scene: 15.00 mm"));

        // Showing an object is no edit: a non-uniform scale survives the refresh with the lock on.
        scene->object(1)->scale = QVector3D(1, 3, 1);
        w.updateModelInfo(1);
        QCOMPARE(scene->object(1)->scale, QVector3D(1, 3, 1));
        QCOMPARE(w.findChild<QDoubleSpinBox *>("inpScaleY")->value(), 3.0);

        // Rotation keeps the typed decimals; the slider shows whole degrees.
        w.findChild<QDoubleSpinBox *>("inpRotZ")->setValue(30.5);
        QCOMPARE(scene->object(1)->rotation.z(), 30.5f);
        QCOMPARE(w.findChild<QSlider *>("sliderRotZ")->value(), 31);

        // With the build plate current the inputs do nothing.
        scene->changeSelObj({}, 0);
        const QVector3D before = scene->object(1)->move;
        w.findChild<QDoubleSpinBox *>("inpMoveX")->setValue(12.0);
        QCOMPARE(scene->object(1)->move, before);
    }
};

QTEST_MAIN(TestModelTree)
#include "tst_gui_tree.moc"

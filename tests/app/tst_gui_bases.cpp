#include <QAction>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "support_window.h"
#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "view/ui/Canvas.h"

// The base, linker and drain-hole commands of the main window.
class TestWindowBases : public WindowTest
{
    Q_OBJECT
public:
    TestWindowBases() : WindowTest(EmptySettingsFile, ShownWindow) {}

private:
    std::shared_ptr<QStringList> m_notices;   // the timed notices shown in this test function

    bool noticed(const QString &text) const
    {
        return std::any_of(m_notices->cbegin(), m_notices->cend(), [&](const QString &n) { return n.trimmed() == text; });
    }

    Canvas *canvas() const { return m_window->canvas; }
    Scene *scene() const { return m_window->canvas->scene(); }
    template <typename T>
    T *find(const char *name) const { return widget<T>(*m_window, name); }
    void trigger(const char *action) { find<QAction>(action)->trigger(); }

    int count(const QString &name) const
    {
        int n = 0;
        for (int i = 1; i < scene()->objectCount(); ++i)
            n += scene()->object(i)->name == name;
        return n;
    }
    const Object *named(const QString &name) const
    {
        for (int i = 1; i < scene()->objectCount(); ++i)
            if (scene()->object(i)->name == name)
                return scene()->object(i);
        return nullptr;
    }

    int addBox(const char *file, double sx, double sy, double sz, float liftMm = 0)
    {
        const QString path = m_data->filePath(file);
        writeBox(path, sx, sy, sz);
        loadModel(*m_window, path);
        const int id = scene()->objectCount() - 1;
        scene()->object(id)->move.setZ(scene()->object(id)->move.z() + liftMm);
        scene()->refreshAABB(id, 0);
        scene()->changeSelObj({id}, id);
        return id;
    }

private slots:
    void init()
    {
        WindowTest::init();
        m_notices = watchNotices();
    }

    void basesAndLinkersFromTheMenu()
    {
        // Without a model the commands say so and change nothing.
        const int empty = scene()->objectCount();
        trigger("actionAdd_global_base");
        trigger("actionCreate_a_base");
        QCOMPARE(scene()->objectCount(), empty);
        QVERIFY(noticed("There is no model to proceed."));
        QVERIFY(noticed("There is no selected model to proceed."));

        const int model = addBox("slab.obj", 20, 14, 4, 8);
        find<QDoubleSpinBox>("inpBaseMargin")->setValue(2);
        find<QDoubleSpinBox>("inpBaseThickness")->setValue(1);
        trigger("actionCreate_a_base");
        QVERIFY(named("RectBase"));
        QCOMPARE(named("RectBase")->baseSize, QVector3D(24, 18, 1));
        QCOMPARE(named("RectBase")->parent, model);
        QVERIFY(logText(*m_window).contains("RectBase has been added."));

        trigger("actionAdd_global_base");
        trigger("actionAdd_global_base");
        QCOMPARE(count("GlobalBase"), 1);

        // Supports under the lifted slab, then linkers between them.
        SupportParameters p;
        p.sp = 3;
        canvas()->supportEditor()->setParameters(p);
        QVERIFY(canvas()->supportEditor()->onAutoSupport() > 4);
        find<QSpinBox>("inpLinkerDistance")->setValue(5);
        QCOMPARE(canvas()->linkerDistanceMm, 5);
        trigger("actionAdd_support_linkers");
        QCOMPARE(count("SupportLinkers"), 1);

        // Support mode puts the global base and the linkers away; Escape brings them back.
        find<QRadioButton>("rbSupport1Pt")->click();
        QCOMPARE(count("GlobalBase") + count("SupportLinkers"), 0);
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QCOMPARE(count("GlobalBase"), 1);
        QCOMPARE(count("SupportLinkers"), 1);

        // Deleting bases keeps ring bases; the grid base is refused in support mode.
        scene()->changeSelObj({model}, model);
        QVERIFY(canvas()->createRingBase(10.0f));
        emit m_window->signalDeleteBases();
        QCOMPARE(count("RectBase") + count("GlobalBase"), 0);
        QCOMPARE(count("RingBase"), 1);
        QVERIFY(logText(*m_window).contains("All bases have been deleted."));
        find<QRadioButton>("rbSupport1Pt")->click();
        const int before = scene()->objectCount();
        trigger("actiongridBase");
        QVERIFY(noticed("Can't add a grid base in support mode."));
        QCOMPARE(scene()->objectCount(), before);
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        trigger("actiongridBase");
        QTRY_VERIFY(scene()->objectCount() == before + 1);
        const Object *grid = scene()->object(before);
        QVERIFY(grid->name.startsWith("Grid_bottom"));
        QCOMPARE(grid->type, int(TypeBase));
        QVERIFY(qAbs(grid->bbox[5] - grid->bbox[4] - 118) < 0.01 && qAbs(grid->bbox[3] - grid->bbox[2] - 67) < 0.01);
    }

    void drainHoleWithTheMouse()
    {
        const int model = addBox("block.obj", 20, 20, 10);
        find<QDoubleSpinBox>("inpDrainDia")->setValue(3);
        find<QDoubleSpinBox>("inpDrainHeight")->setValue(5);
        trigger("actionDrainHole");
        QVERIFY(find<QGroupBox>("gbxDrainHole")->isVisible());
        QVERIFY(canvas()->drainHolePlacing);
        turnView(*canvas(), &Canvas::viewTop);
        const QPoint centre(canvas()->width() / 2, canvas()->height() / 2);
        // Moving over the model shows the see-through preview; the click drills the hole.
        for (int tries = 0; tries < 50 && scene()->object(scene()->objectCount() - 1)->type != TypeDrainHole; ++tries) {
            QTest::mouseMove(canvas(), centre + QPoint(5, 5));
            QTest::mouseMove(canvas(), centre);
            QTest::qWait(100);
        }
        QVERIFY(scene()->object(scene()->objectCount() - 1)->type == TypeDrainHole);
        QCOMPARE(scene()->object(scene()->objectCount() - 1)->opacity, 0.3f);
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(count("DrainHole"), 1);
        const Object *hole = named("DrainHole");
        QCOMPARE(hole->opacity, 1.0f);
        QCOMPARE(hole->parent, model);
        // From 1 mm above the 10 mm top to 6 mm below it.
        QVERIFY(qAbs(hole->bbox[0] - 11) < 0.01 && qAbs(hole->bbox[1] - 4) < 0.01);
        QVERIFY(!canvas()->drainHolePlacing);
        QVERIFY(!find<QGroupBox>("gbxDrainHole")->isVisible());
        QVERIFY(logText(*m_window).contains("DrainHole has been added."));
    }

    void ringBaseWherePicked()
    {
        addBox("tower.obj", 10, 10, 10);
        trigger("actionCreate_ring_support");
        QVERIFY(canvas()->ringBasePick);
        turnView(*canvas(), &Canvas::viewFront);
        // A click beside the model keeps the pick armed; one on its front face makes the ring.
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(canvas()->ringBasePick);
        // A point down the middle of the view on the front face, well below the top face (which
        // the view may see as well) and above the plate.
        QPoint onModel;
        float pickedZ = 0;
        for (int y = 0; y < canvas()->height() && onModel.isNull(); y += 4) {
            const auto pick = canvas()->pickRay(QPointF(canvas()->width() / 2, y));
            if (pick.hasHit() && pick.hit().point.z() > 2 && pick.hit().point.z() < 8) {
                onModel = QPoint(canvas()->width() / 2, y);
                pickedZ = pick.hit().point.z();
            }
        }
        QVERIFY(!onModel.isNull());
        QTest::mouseClick(canvas(), Qt::LeftButton, Qt::NoModifier, onModel);
        QVERIFY(!canvas()->ringBasePick);
        const Object *ring = named("RingBase");
        QVERIFY(ring);
        // The ring hugs the 10 mm square at the picked height and reaches 1.301 mm beyond it below.
        QVERIFY2(qAbs(ring->bbox[0] - pickedZ) < 0.1f, qPrintable(QString("%1 at %2").arg(ring->bbox[0]).arg(pickedZ)));
        QVERIFY(qAbs(ring->bbox[5] - ring->bbox[4] - 12.602f) < 0.01);
    }
};

QTEST_MAIN(TestWindowBases)
#include "tst_gui_bases.moc"

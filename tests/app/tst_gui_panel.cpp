#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>
#include <cmath>

#include "support_window.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

// The property panel and the scene commands as a user meets them: scaled and turned models
// stay on the plate and the panel follows, out-of-range input is said, arranging, and the
// questions and notices that guard the user's work.
namespace {

bool near(double a, double b) { return std::abs(a - b) < 1e-3; }

} // namespace

class TestPanel : public WindowTest
{
    Q_OBJECT
public:
    TestPanel() : WindowTest(SmallPrinterSettings, HiddenWindow) {}   // a 30 × 20 mm plate

private:
    QDoubleSpinBox *input(const char *name) { return m_window->findChild<QDoubleSpinBox *>(name); }
    Scene *scene() { return m_window->canvas->scene(); }

    // Cubes of 10 mm loaded as a user loads them; the last one is current.
    void addCubes(int n)
    {
        scene()->setLoadPauseMs(0);
        for (int k = 0; k < n; ++k)
            m_window->canvas->load_mesh({boxMesh(10)}, QStringLiteral("/parts/cube%1.stl").arg(k));
    }

    // A typed value, as Return commits it.
    void type(QDoubleSpinBox *box, double value)
    {
        box->setValue(value);
        QTest::qWait(1);
    }

private slots:
    void scaledAndTurnedCubeStandsOnThePlateAndThePanelFollows()
    {
        addCubes(1);
        const Object *cube = scene()->object(1);
        QCOMPARE(scene()->currentObject(), 1);

        // 0.3 in z about the cube's middle would sink it 3.5 mm; it stays on the plate instead.
        type(input("inpScaleZ"), 0.3);   // the uniform lock makes it 0.3 in x and y too
        QCOMPARE(cube->scale, QVector3D(0.3f, 0.3f, 0.3f));
        QVERIFY(near(cube->bbox[1], 0) && near(cube->bbox[0], 3));
        QVERIFY(near(input("inpMoveZ")->value(), 0));
        QVERIFY(near(input("inpSizeZ")->value(), 3));

        // Unlocked: 3 × 3 × 6, then turned 90° about x with the slider: 3 deep, 6 wide in y.
        m_window->findChild<QCheckBox *>("cbScaleLock")->setChecked(false);
        type(input("inpScaleZ"), 0.6);
        m_window->findChild<QSlider *>("sliderRotX")->setValue(90);
        QVERIFY(near(cube->bbox[1], 0) && near(cube->bbox[0], 3));
        QVERIFY(near(input("inpSizeY")->value(), 6) && near(input("inpSizeZ")->value(), 3));
        QVERIFY(near(input("inpMoveZ")->value(), 0));

        // Lifted by 2 mm through the panel, it stays 2 mm up after the next scale and a flip.
        type(input("inpMoveZ"), 2);
        QVERIFY(near(cube->bbox[1], 2));
        type(input("inpScaleX"), 0.5);
        m_window->findChild<QAction *>("actionFlip_Models")->trigger();
        QVERIFY(cube->flip);
        QVERIFY(near(cube->bbox[1], 2) && near(input("inpMoveZ")->value(), 2));

        // Ctrl+Z takes back the flip, then the scale; the panel shows it.
        QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!cube->flip);
        QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cube->scale.x(), 0.3f);
        QVERIFY(near(input("inpScaleX")->value(), 0.3));

        // Out of range: limited, and said so.
        const auto notices = watchNotices();
        type(input("inpScaleY"), 500);
        QCOMPARE(cube->scale.y(), 100.0f);
        QTRY_COMPARE(notices->value(0).trimmed(), QStringLiteral("The scale was limited to 0.01 … 100."));
        QVERIFY(near(input("inpScaleY")->value(), 100));
    }

    void panelShowsTheCurrentObjectAfterDeleteAndClear()
    {
        addCubes(2);
        scene()->changeSelObj({2}, 2);
        type(input("inpMoveX"), 4);
        m_window->updateModelInfo(2);
        QVERIFY(near(input("inpMoveX")->value(), 4) && input("inpMoveX")->isEnabled());

        QTest::keyClick(m_window.get(), Qt::Key_Delete);
        QCOMPARE(scene()->objectCount(), 2);
        QVERIFY(near(input("inpMoveX")->value(), 0));   // nothing current: nothing shown …
        QVERIFY(!input("inpMoveX")->isEnabled());       // … and nothing to edit
        QVERIFY(!input("inpScaleX")->isEnabled());
    }

    void windowFitsTheScreenAndALayerDoesNotGrowIt()
    {
        // Remembered larger than any screen: opened inside the screen's free area.
        m_window.reset();
        writeSmallPrinterSettings(m_data->filePath("settings.ini"), [](EnvironmentSettings &s) {
            s.misc.windowWidth = 5000;
            s.misc.windowHeight = 4000;
        });
        m_window = std::make_unique<Window>();
        waitForBuildPlate(*m_window);
        Window &w = *m_window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect free = w.screen()->availableGeometry();
        QVERIFY2(free.contains(w.frameGeometry()), qPrintable(QString("%1 x %2").arg(w.width()).arg(w.height())));

        // A full-size layer picture in the slice tab keeps the window as it is.
        w.resize(1200, 700);   // room for every tab's own fields on a 1280 × 800 screen
        QTest::qWait(50);
        const QSize before = w.size();
        QPixmap layer(1920, 1080);
        layer.fill(Qt::white);
        w.sliceImages = {layer};
        w.updateSliceView(0);
        w.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
        QTest::qWait(100);
        QCOMPARE(w.size(), before);
    }

    void arrangeShowThisOnlyAndTheExportQuestion()
    {
        addCubes(2);   // one on the other
        QTest::keyClick(m_window.get(), Qt::Key_A);
        const QList<float> &a = scene()->object(1)->bbox, &b = scene()->object(2)->bbox;
        // Two 10 mm cubes with 2 mm between them, centred on the plate: x −11 … −1 and 1 … 11.
        QVERIFY(near(std::min(a[4], b[4]), -11) && near(std::max(a[5], b[5]), 11));
        QVERIFY(std::min(a[5], b[5]) + 2 <= std::max(a[4], b[4]) + 1e-3f);
        QVERIFY(logText(*m_window).contains("Arranged 2 model(s) on the plate."));

        // "Show This Only" with nothing current shows every model rather than none.
        scene()->object(1)->isShow = false;
        scene()->changeSelObj({}, 0);
        m_window->showThisOnly();
        QVERIFY(scene()->object(1)->isShow && scene()->object(2)->isShow);

        // A model off the plate: the export asks first; Cancel stops before any dialog of its own.
        scene()->moveWithChildren(2, QVector3D(30, 0, 0));
        scene()->checkPosConflict();
        QVERIFY(scene()->isOutOfBuild());
        QString asked;
        answerNextBox(QMessageBox::Cancel, nullptr, &asked);
        auto *exportAction = m_window->findChild<QAction *>("actionSave_as_LBF_file");
        exportAction->setEnabled(true);
        exportAction->trigger();
        QCOMPARE(asked, QStringLiteral("Save as LPK"));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(m_window->sliceFileNames.isEmpty());
    }
};

QTEST_MAIN(TestPanel)
#include "tst_gui_panel.moc"

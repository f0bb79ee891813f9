#include <QtTest>

#include <QOpenGLContext>
#include <QTemporaryDir>

#include "scene/ModelFile.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"
#include "support_view.h"

namespace {

// Sampled pixels in an object colour: the plate, grid, box and background are grey.
int modelPixels(const QImage &img)
{
    int n = 0;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3) {
            const QColor c = img.pixelColor(x, y);
            const int spread = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
            n += (c.alpha() > 0 && spread > 60) ? 1 : 0;
        }
    return n;
}

} // namespace

// The view in a real window (Xvfb): context, frames, mouse and previews.
class TestGuiCanvas : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dataDir.isValid());
        qputenv("ORVELL3D_DATA_DIR", m_dataDir.path().toLocal8Bit());
        QSurfaceFormat legacy;
        legacy.setVersion(2, 1);   // what older callers ask for
        m_canvas = new Canvas(legacy);
        m_age.start();
        m_canvas->resize(900, 700);
        m_canvas->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_canvas));
        m_canvas->scene()->setLoadPauseMs(0);
        QTRY_VERIFY(m_canvas->context() && m_canvas->frameCount() > 0);
    }

    void cleanupTestCase() { delete m_canvas; }

    void asksForACoreContext()
    {
        const QSurfaceFormat f = m_canvas->context()->format();
        QVERIFY(f.majorVersion() > 3 || (f.majorVersion() == 3 && f.minorVersion() >= 2));
        QCOMPARE(f.profile(), QSurfaceFormat::CoreProfile);
    }

    void drawsALoadedModelInBothProjections()
    {
        const ModelReadResult plate = readModelFile(ORVELL_SOURCE_DIR "/resources/models/BuildPlate_SAv1.STL");
        QVERIFY2(plate.ok(), qPrintable(plate.error));
        m_canvas->load_mesh(plate.meshes, "BuildPlate_SAv1.STL");
        const ModelReadResult washer = readModelFile(ORVELL_SOURCE_DIR "/resources/models/sample_washer.stl");
        QVERIFY2(washer.ok(), qPrintable(washer.error));
        m_canvas->load_mesh(washer.meshes, ORVELL_SOURCE_DIR "/resources/models/sample_washer.stl");
        QCOMPARE(m_canvas->scene()->objectCount(), 2);

        const QImage persp = m_canvas->grabFramebuffer();
        m_canvas->onChangeProjection(true);
        const QImage ortho = m_canvas->grabFramebuffer();
        // ORVELL_VIEW_SHOTS=<folder> keeps the two pictures for a look by eye.
        if (qEnvironmentVariableIsSet("ORVELL_VIEW_SHOTS")) {
            persp.save(qEnvironmentVariable("ORVELL_VIEW_SHOTS") + "/persp.png");
            ortho.save(qEnvironmentVariable("ORVELL_VIEW_SHOTS") + "/ortho.png");
        }
        QVERIFY2(modelPixels(persp) > 300, qPrintable(QString::number(modelPixels(persp))));
        QVERIFY2(modelPixels(ortho) > 300, qPrintable(QString::number(modelPixels(ortho))));
        QVERIFY(persp != ortho);
        m_canvas->onChangeProjection(false);
        m_canvas->clear_model();
    }

    void idleViewDrawsNothingAndGlidesStop()
    {
        // The view resets itself once, 4 s after it was made; let that pass first.
        QTest::qWait(int(std::max<qint64>(0, 4300 - m_age.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(!m_canvas->isAnimating(), 10000);
        QTest::qWait(100);
        const quint64 before = m_canvas->frameCount();
        QTest::qWait(400);
        QCOMPARE(m_canvas->frameCount(), before);

        // A preset glide keeps the frames coming until it arrives, then stops.
        m_canvas->viewFront();
        QVERIFY(m_canvas->isAnimating());
        QTRY_VERIFY_WITH_TIMEOUT(!m_canvas->isAnimating(), 15000);
        QVERIFY(m_canvas->frameCount() > before + 20);
    }

    void clickSelectsAndDragMovesWithUndo()
    {
        m_canvas->load_mesh({boxMesh({0, 0, 0}, {20, 20, 20})}, "cube.stl");
        const int id = m_canvas->scene()->objectCount() - 1;
        Camera &cam = m_canvas->camera();
        cam.tilt = cam.targetTilt = -180;   // top view, centred on the cube
        cam.yaw = cam.targetYaw = 180;
        cam.gCenter = QVector3D(0, 0, -10);
        m_canvas->changeSelObj({}, 0);
        const QPoint mid(m_canvas->width() / 2, m_canvas->height() / 2);

        QSignalSpy selected(m_canvas, &Canvas::objSelectionChanged);
        QTest::mouseClick(m_canvas, Qt::LeftButton, Qt::NoModifier, mid);
        QCOMPARE(m_canvas->scene()->selection(), QList<int>{id});
        QCOMPARE(selected.last().at(0).toInt(), id);

        const PickResult hit = m_canvas->pickRay(mid);
        QVERIFY(hit.hasHit());
        QVERIFY(std::abs(hit.hit().point.z() - 20.0f) < 1e-3f);

        // Drag 60 px to the right: the cube follows in +x (top view shows +x to the right).
        const QVector3D before = m_canvas->scene()->object(id)->move;
        const int records = m_canvas->scene()->undoRecordCount();
        QTest::mousePress(m_canvas, Qt::LeftButton, Qt::NoModifier, mid);
        for (int step = 1; step <= 6; ++step) {
            QMouseEvent move(QEvent::MouseMove, QPointF(mid + QPoint(10 * step, 0)), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(m_canvas, &move);
        }
        QTest::mouseRelease(m_canvas, Qt::LeftButton, Qt::NoModifier, mid + QPoint(60, 0));
        const Object *cube = m_canvas->scene()->object(id);
        QVERIFY2(cube->move.x() > before.x() + 1.0f, qPrintable(QString::number(cube->move.x())));
        QVERIFY(std::abs(cube->move.y() - before.y()) < 0.5f);
        QCOMPARE(cube->move.z(), before.z());
        QCOMPARE(cube->bbox[4], cube->move.x() - 10.0f);   // box shifted with it
        QCOMPARE(m_canvas->scene()->undoRecordCount(), records + 1);
        m_canvas->undo();
        QVERIFY((m_canvas->scene()->object(id)->move - before).length() < 1e-4f);

        // A drag on empty space pans the camera instead.
        const QVector3D center = cam.gCenter;
        QTest::mousePress(m_canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 20));
        QMouseEvent pan(QEvent::MouseMove, QPointF(80, 20), Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_canvas, &pan);
        QTest::mouseRelease(m_canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(80, 20));
        QVERIFY(cam.gCenter != center);
        QCOMPARE(m_canvas->scene()->object(id)->move, before);
    }

private:
    QTemporaryDir m_dataDir;
    QElapsedTimer m_age;
    Canvas *m_canvas = nullptr;
};

QTEST_MAIN(TestGuiCanvas)
#include "tst_gui_canvas.moc"

#include <QtTest>

#include "scene/Object.h"
#include "view/Camera.h"

#include <cmath>

namespace {

Camera makeCamera(QSize size = QSize(800, 600))
{
    Camera c;
    c.setViewportSize(size);
    c.setSceneScale(Camera::sceneScaleFor(1920, 50.0f));
    return c;
}

// Where a world point (mm) lands on screen, following the shaders' w = z + pFactor rule.
QPointF project(const Camera &c, const QVector3D &mm)
{
    QVector4D p = c.viewMatrix() * QVector4D(mm * c.sceneScale(), 1.0f);
    if (c.pFactor > 1.0f)
        p.setW(p.z() + c.pFactor);
    const float x = p.x() / p.w();
    const float y = p.y() / p.w();
    const QSize s = c.viewportSize();
    return QPointF((x + 1.0) * s.width() * 0.5, (1.0 - y) * s.height() * 0.5);
}

// Distance from a point to a ray's line.
float distanceToRay(const PickRay &r, const QVector3D &p)
{
    return QVector3D::crossProduct(r.direction.normalized(), p - r.start).length();
}

} // namespace

class TestCamera : public QObject
{
    Q_OBJECT
private slots:
    void presetsGlideToTheirTargets_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<float>("tilt");
        QTest::addColumn<float>("yaw");
        QTest::newRow("iso") << int(ViewPreset::Isometric) << -115.f << 215.f;
        QTest::newRow("front") << int(ViewPreset::Front) << -90.f << 180.f;
        QTest::newRow("left") << int(ViewPreset::Left) << -90.f << 270.f;
        QTest::newRow("rear") << int(ViewPreset::Rear) << -90.f << 0.f;
        QTest::newRow("right") << int(ViewPreset::Right) << -90.f << 90.f;
        QTest::newRow("top") << int(ViewPreset::Top) << -180.f << 180.f;
        QTest::newRow("bottom") << int(ViewPreset::Bottom) << 0.f << 180.f;
    }
    void presetsGlideToTheirTargets()
    {
        QFETCH(int, preset);
        QFETCH(float, tilt);
        QFETCH(float, yaw);
        Camera c = makeCamera();
        c.applyPreset(ViewPreset(preset));
        QCOMPARE(c.targetTilt, tilt);
        QCOMPARE(c.targetYaw, yaw);
        QCOMPARE(c.tilt, Camera::defaultTilt);   // presets only set targets
        int frames = 0;
        while (!c.isAtRest() && frames < 10000) {
            c.animate(16.7f);   // a long frame counts as 3 ms
            ++frames;
        }
        QVERIFY(c.isAtRest());
        QCOMPARE(c.tilt, tilt);
        QCOMPARE(c.yaw, yaw);
        QVERIFY(frames > 20);   // it glides rather than jumps
    }

    void wheelZoomDirectionAndLimits()
    {
        Camera c = makeCamera();
        const QPointF mid(400, 300);
        c.zoom = 10.0f;
        c.wheel(120, mid, false);   // positive: out
        QVERIFY(c.zoom < 10.0f);
        c.wheel(-120, mid, false);
        QVERIFY(qFuzzyCompare(c.zoom, 10.0f));
        c.wheelZoomDir = true;      // inverted: positive zooms in
        c.wheel(120, mid, false);
        QVERIFY(c.zoom > 10.0f);
        c.wheelZoomDir = false;
        for (int i = 0; i < 200; ++i)
            c.wheel(1200, mid, false);
        QCOMPARE(c.zoom, 1.0f);
        for (int i = 0; i < 200; ++i)
            c.wheel(-1200, mid, false);
        QCOMPARE(c.zoom, 200.0f);
    }

    void zoomAndPanKeepThePointUnderTheCursor_data()
    {
        QTest::addColumn<bool>("ortho");
        QTest::newRow("perspective") << false;
        QTest::newRow("orthographic") << true;
    }
    void zoomAndPanKeepThePointUnderTheCursor()
    {
        QFETCH(bool, ortho);
        Camera c = makeCamera();
        c.setOrthographic(ortho);
        const QPointF cursor(620, 140);
        const QVector3D grabbed = c.pointUnderCursor(cursor);
        c.wheel(-600, cursor, true);
        QVERIFY((c.pointUnderCursor(cursor) - grabbed).length() < 1e-2f);
        QPointF p = project(c, grabbed);
        QVERIFY2(std::abs(p.x() - cursor.x()) < 0.05 && std::abs(p.y() - cursor.y()) < 0.05,
                 qPrintable(QString("%1 %2").arg(p.x()).arg(p.y())));

        // Pan: what was under `from` ends up under `to`.
        const QPointF from(300, 200), to(450, 380);
        const QVector3D held = c.pointUnderCursor(from);
        c.pan(from, to);
        p = project(c, held);
        QVERIFY2(std::abs(p.x() - to.x()) < 0.05 && std::abs(p.y() - to.y()) < 0.05,
                 qPrintable(QString("%1 %2").arg(p.x()).arg(p.y())));
    }

    void rayPassesThroughWhatIsDrawnUnderTheCursor_data()
    {
        QTest::addColumn<bool>("ortho");
        QTest::addColumn<QSize>("size");
        QTest::newRow("perspective wide") << false << QSize(900, 500);
        QTest::newRow("perspective tall") << false << QSize(400, 700);
        QTest::newRow("orthographic") << true << QSize(900, 500);
    }
    void rayPassesThroughWhatIsDrawnUnderTheCursor()
    {
        QFETCH(bool, ortho);
        QFETCH(QSize, size);
        Camera c = makeCamera(size);
        c.setOrthographic(ortho);
        c.tilt = -130;
        c.yaw = 33;
        c.gCenter = QVector3D(5, -7, -12);
        for (const QVector3D &pt : {QVector3D(0, 0, 0), QVector3D(12, -30, 8), QVector3D(-25, 14, 40)}) {
            const QPointF screen = project(c, pt);
            const PickRay r = c.ray(screen);
            QVERIFY2(distanceToRay(r, pt) < 1e-2f, qPrintable(QString::number(distanceToRay(r, pt))));
            // It points away from the viewer: the near point comes first.
            QVERIFY(QVector3D::dotProduct(pt - r.start, r.direction) > 0.0f);
        }
    }

    void projectionSwitchScalesZoom()
    {
        Camera c = makeCamera();
        c.zoom = 6.0f;
        c.setOrthographic(true);
        QCOMPARE(c.pFactor, 0.0f);
        QCOMPARE(c.zoom, 2.0f);
        c.setOrthographic(true);   // no change, no effect
        QCOMPARE(c.zoom, 2.0f);
        c.setOrthographic(false);
        QCOMPARE(c.pFactor, 3.0f);
        QCOMPARE(c.zoom, 6.0f);

        c.setOrthographic(true);
        c.resetView();
        QCOMPARE(c.zoom, 1.5f);
        c.setOrthographic(false);
        c.resetView();
        QCOMPARE(c.zoom, 4.5f);
        QCOMPARE(c.gCenter, QVector3D(0, 0, -15));
    }

    void rightDragClampsTargets()
    {
        Camera c = makeCamera();
        c.rightDrag(5000, -5000);
        QCOMPARE(c.targetYaw, 720.0f);
        QCOMPARE(c.targetTilt, 90.0f);
        c.rightDrag(-5000, 5000);
        QCOMPARE(c.targetYaw, -720.0f);
        QCOMPARE(c.targetTilt, -180.0f);
        // Damped at high zoom: 300 / 100 = 3.
        c.zoom = 300;
        c.tilt = -100;
        c.yaw = 10;
        c.rightDrag(30, 30);
        QCOMPARE(c.targetYaw, 20.0f);
        QCOMPARE(c.targetTilt, -110.0f);
    }

    void resetCenterFollowsTheSelectedModel()
    {
        Camera c = makeCamera();
        Object model;
        model.move = QVector3D(10, -4, -3);
        model.bbox = {20, 0, -10, 2, 0, 20};
        c.resetCenter(&model);
        QCOMPARE(c.gCenter, QVector3D(-10, 4, -10));
        Object support;
        support.type = TypeSupport;
        support.bbox = model.bbox;
        c.resetCenter(&support);
        QCOMPARE(c.gCenter, QVector3D(0, 0, -15));
        c.gCenter = QVector3D(1, 2, 3);
        c.resetCenter(nullptr);
        QCOMPARE(c.gCenter, QVector3D(0, 0, -15));
    }

    void statusTexts()
    {
        Camera c = makeCamera();
        c.lastMousePos = QPointF(12, 345);
        QCOMPARE(c.mouseText(), QString("x: 12, y: 345"));
        QVERIFY(c.statusText().startsWith("tilt: -115, yaw: 210, zoom: 4.5, gCenter: (0, 0, -15), scale: 0.01388"));
    }
};

QTEST_GUILESS_MAIN(TestCamera)
#include "tst_camera.moc"

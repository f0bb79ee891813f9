#include <epoxy/gl.h>

#include <QtTest>

#include "scene/Object.h"
#include "slicing/GlContext.h"
#include "view/Camera.h"
#include "view/MeshBuffers.h"
#include "view/Picking.h"
#include "view/Previews.h"
#include "view/SceneRenderer.h"
#include "support_view.h"

#include <memory>

namespace {

// A model standing on the plate like a loaded one: mesh box centred by the transform.
std::unique_ptr<Object> modelOf(const Mesh &mesh, QVector3D move = {})
{
    auto o = std::make_unique<Object>();
    o->mesh = std::make_shared<Mesh>(mesh);
    for (int a = 0; a < 3; ++a) {
        o->minCorner[a] = o->mesh->minCoord(a);
        o->maxCorner[a] = o->mesh->maxCoord(a);
    }
    o->center = (o->minCorner + o->maxCorner) / 2;
    o->move = move;
    const QVector3D lo = objectMatrix(*o).map(o->minCorner), hi = objectMatrix(*o).map(o->maxCorner);
    o->bbox = {std::max(lo.z(), hi.z()), std::min(lo.z(), hi.z()), std::min(lo.y(), hi.y()),
               std::max(lo.y(), hi.y()),  std::min(lo.x(), hi.x()), std::max(lo.x(), hi.x())};
    return o;
}

FrameState onlyPlate()
{
    static Object plate;
    plate.type = TypeBuildPlate;
    FrameState f;
    f.objects = {&plate};
    return f;
}

QColor centrePixel(const QImage &img)
{
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

} // namespace

class TestGlView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        m_renderer = std::make_unique<SceneRenderer>();
        QVERIFY2(m_renderer->initialize(&error), qPrintable(error));
        QVERIFY(m_renderer->versionText().startsWith("OpenGL version: "));
        m_camera.setViewportSize(QSize(600, 600));
        m_camera.setSceneScale(m_settings.sceneScale());
        m_plate = std::make_unique<Object>();
        m_plate->type = TypeBuildPlate;
    }

    void cleanupTestCase()
    {
        m_renderer.reset();
        m_ctx.reset();
    }

    void rayPickFindsTopAndBottomFaces_data()
    {
        QTest::addColumn<bool>("flip");
        QTest::addColumn<bool>("ortho");
        QTest::newRow("plain, perspective") << false << false;
        QTest::newRow("mirrored, perspective") << true << false;
        QTest::newRow("plain, orthographic") << false << true;
    }
    void rayPickFindsTopAndBottomFaces()
    {
        QFETCH(bool, flip);
        QFETCH(bool, ortho);
        auto cube = modelOf(boxMesh({-10, -10, 5}, {10, 10, 25}), {3, 0, -5});   // stands on z 0 … 20
        cube->flip = flip;
        QVector<const Object *> objects{m_plate.get(), cube.get()};

        // From the top view the centre of the widget looks straight down at -gCenter.
        Camera c = m_camera;
        c.setOrthographic(ortho);
        c.tilt = c.targetTilt = -180;
        c.yaw = c.targetYaw = 180;
        c.gCenter = QVector3D(-4, -2, -10);
        const QPointF mid(300, 300);
        PickResult top = rayPick(*m_renderer, objects, c, m_settings, mid, false, defaultPickFilter(false));
        QVERIFY2(top.error.isEmpty(), qPrintable(top.error));
        QCOMPARE(top.hits.size(), 2);
        QVERIFY(top.hasHit());
        QVERIFY((top.hit().point - QVector3D(4, 2, 20)).length() < 1e-3f);
        QVERIFY((top.hit().normal - QVector3D(0, 0, 1)).length() < 1e-4f);
        QCOMPARE(top.hit().objectId, 1);

        PickResult bottom = rayPick(*m_renderer, objects, c, m_settings, mid, true, defaultPickFilter(false));
        QVERIFY((bottom.hit().point - QVector3D(4, 2, 0)).length() < 1e-3f);
        QVERIFY((bottom.hit().normal - QVector3D(0, 0, -1)).length() < 1e-4f);

        // Beside the cube: nothing.
        PickResult miss = rayPick(*m_renderer, objects, PickRay{{40, 40, 100}, {0, 0, -1}}, false,
                                  defaultPickFilter(false));
        QVERIFY(miss.hits.isEmpty());
        QVERIFY(!miss.hasHit());
    }

    void rayPickSkipsHiddenObjectsAndSupportsOutsideTheSupportView()
    {
        auto cube = modelOf(boxMesh({-5, -5, 0}, {5, 5, 10}));
        auto support = modelOf(boxMesh({-1, -1, 10}, {1, 1, 30}));
        support->type = TypeSupport;
        QVector<const Object *> objects{m_plate.get(), cube.get(), support.get()};
        const PickRay down{{0, 0, 100}, {0, 0, -1}};
        PickResult r = rayPick(*m_renderer, objects, down, false, defaultPickFilter(false));
        QCOMPARE(r.hit().objectId, 1);
        r = rayPick(*m_renderer, objects, down, false, defaultPickFilter(true));
        QCOMPARE(r.hit().objectId, 2);
        QVERIFY(std::abs(r.hit().point.z() - 30) < 1e-3f);
        cube->isShow = false;
        r = rayPick(*m_renderer, objects, down, false, defaultPickFilter(false));
        QVERIFY(!r.hasHit());
    }

    void rayPickStopsAtEightyHits()
    {
        // 100 stacked slabs: 200 faces along the ray, only 80 hits fit.
        std::vector<std::unique_ptr<Object>> slabs;
        QVector<const Object *> objects{m_plate.get()};
        for (int k = 0; k < 100; ++k) {
            slabs.push_back(modelOf(boxMesh({-5, -5, 0}, {5, 5, 0.5f}), {0, 0, float(k)}));
            objects.append(slabs.back().get());
        }
        PickResult r = rayPick(*m_renderer, objects, PickRay{{0, 0, 500}, {0, 0, -1}}, false,
                               defaultPickFilter(false));
        QCOMPARE(r.hits.size(), maxPickHits);
        for (const PickHit &h : r.hits)
            QVERIFY(h.objectId >= 1 && h.objectId <= 40);
    }

    void colourPassFindsTheObjectUnderTheCursor()
    {
        // Ids past 255 exercise the green channel on the GPU too.
        std::vector<std::unique_ptr<Object>> owned;
        QVector<const Object *> objects{m_plate.get()};
        for (int k = 1; k < 300; ++k) {
            owned.push_back(modelOf(boxMesh({-1, -1, 0}, {1, 1, 2}), {200, 200, 0}));   // far off screen
            owned.back()->isShow = false;
            objects.append(owned.back().get());
        }
        auto left = modelOf(boxMesh({-10, -10, 0}, {10, 10, 10}), {-20, 0, 0});
        auto right = modelOf(boxMesh({-10, -10, 0}, {10, 10, 10}), {20, 0, 0});
        objects.append(left.get());    // id 300
        objects.append(right.get());   // id 301

        Camera c = m_camera;
        c.tilt = -180;
        c.yaw = 180;
        c.gCenter = QVector3D(0, 0, -5);
        auto filter = defaultPickFilter(false);
        const QSize fb(600, 600);
        QCOMPARE(pickObjectAt(*m_renderer, objects, c, m_settings, fb, QPointF(300, 300), filter), -1);   // the gap
        // Project the two cube centres to find where to click.
        for (int id : {300, 301}) {
            const QVector3D world(objects[id]->move.x(), 0, 10);
            QVector4D p = c.viewMatrix() * QVector4D(world * c.sceneScale(), 1);
            p.setW(p.z() + c.pFactor);
            const QPointF screen((p.x() / p.w() + 1) * 300, (1 - p.y() / p.w()) * 300);
            QCOMPARE(pickObjectAt(*m_renderer, objects, c, m_settings, fb, screen, filter), id);
            // A high-DPI framebuffer maps the same logical position.
            QCOMPARE(pickObjectAt(*m_renderer, objects, c, m_settings, QSize(1200, 1200), screen, filter), id);
        }
        QCOMPARE(pickObjectAt(*m_renderer, objects, c, m_settings, fb, QPointF(-5, 10), filter), -1);
    }

    void overhangAndBackFaceColours()
    {
        auto cube = modelOf(boxMesh({-15, -15, 0}, {15, 15, 30}));
        QVector<const Object *> objects{m_plate.get(), cube.get()};
        FrameState frame;
        frame.objects = objects;
        frame.background = false;
        ViewSettings settings = m_settings;
        settings.showPlatform = false;

        Camera top = m_camera;
        top.tilt = -180;
        top.yaw = 180;
        top.gCenter = QVector3D(0, 0, -15);
        QColor lit = centrePixel(captureFrame(*m_renderer, top, settings, frame, QSize(600, 600)));
        QCOMPARE(lit.alpha(), 255);
        QVERIFY2(lit.blue() > lit.red(), qPrintable(lit.name()));   // model colour, front side

        // A mirrored model drawn with its reversed indices still shows its outside.
        cube->flip = true;
        QColor mirrored = centrePixel(captureFrame(*m_renderer, top, settings, frame, QSize(600, 600)));
        QVERIFY2(mirrored.blue() > mirrored.red(), qPrintable(mirrored.name()));
        cube->flip = false;

        // From below, the bottom face points straight down (dp = 1).
        Camera below = top;
        below.tilt = 0;
        frame.supportMode = 1;
        frame.overhangCos = std::cos(qDegreesToRadians(45.0f));
        frame.criticalCos = std::cos(qDegreesToRadians(10.0f));
        QColor critical = centrePixel(captureFrame(*m_renderer, below, settings, frame, QSize(600, 600)));
        QVERIFY2(critical.red() > 3 * critical.green(), qPrintable(critical.name()));
        frame.criticalCos = 1.1f;   // only the overhang rule: green kept at 0.8
        QColor overhang = centrePixel(captureFrame(*m_renderer, below, settings, frame, QSize(600, 600)));
        QVERIFY2(overhang.green() > 2 * critical.green() && overhang.red() > overhang.blue(),
                 qPrintable(overhang.name()));
        frame.supportMode = 0;      // switched off: plain colour
        QColor plain = centrePixel(captureFrame(*m_renderer, below, settings, frame, QSize(600, 600)));
        QVERIFY2(plain.blue() > plain.red(), qPrintable(plain.name()));
    }

    void previewsAreFiveNonEmptyPictures()
    {
        auto model = modelOf(boxMesh({-10, -6, 0}, {10, 6, 25}), {12, -5, 0});
        QVector<const Object *> objects{m_plate.get(), model.get()};
        FrameState frame;
        frame.objects = objects;
        Camera c = m_camera;
        c.setViewportSize(QSize(320, 240));   // smaller than a picture
        c.gCenter = QVector3D(1, 2, 3);
        const QList<QImage> pics = capturePreviews(*m_renderer, c, m_settings, frame, 25, QSize(320, 240));
        QCOMPARE(pics.size(), 5);
        for (const QImage &img : pics) {
            QCOMPARE(img.size(), QSize(512, 512));
            int opaque = 0;
            for (int y = 0; y < img.height(); y += 4)
                for (int x = 0; x < img.width(); x += 4)
                    opaque += qAlpha(img.pixel(x, y)) == 255 ? 1 : 0;
            QVERIFY2(opaque > 200, qPrintable(QString::number(opaque)));   // the model is in view
        }
        QVERIFY(pics[0] != pics[1]);
        QCOMPARE(c.gCenter, QVector3D(1, 2, 3));
        QCOMPARE(c.tilt, -115.0f);
        QCOMPARE(c.yaw, 215.0f);
        // The model colour comes out as it is, red and blue not exchanged.
        const QColor mid = centrePixel(pics[0]);
        QVERIFY2(mid.blue() > mid.red(), qPrintable(mid.name()));

        QVERIFY(capturePreviews(*m_renderer, c, m_settings, onlyPlate(), 0, QSize(320, 240)).isEmpty());
    }

    void droppedBuffersAreReleasedInTheirContext()
    {
        auto model = modelOf(boxMesh({0, 0, 0}, {1, 1, 1}));
        MeshBuffers *b = m_renderer->buffersFor(*model);
        QVERIFY(b);
        auto copy = std::make_unique<Object>(*model);   // a duplicate shares the GPU copy
        QCOMPARE(m_renderer->buffersFor(*copy), b);
        // Same mesh replaced: a new copy is made.
        copy->mesh = std::make_shared<Mesh>(boxMesh({0, 0, 0}, {2, 2, 2}));
        QVERIFY(m_renderer->buffersFor(*copy) != b);
        model.reset();
        copy.reset();   // no GL here; the names wait for the next frame
        FrameState frame;
        frame.objects = {m_plate.get()};
        QVERIFY(!captureFrame(*m_renderer, m_camera, m_settings, frame, QSize(8, 8)).isNull());
        QCOMPARE(glGetError(), GLenum(GL_NO_ERROR));
    }

private:
    std::unique_ptr<GlContext> m_ctx;
    std::unique_ptr<SceneRenderer> m_renderer;
    std::unique_ptr<Object> m_plate;
    Camera m_camera;
    ViewSettings m_settings;
};

QTEST_GUILESS_MAIN(TestGlView)
#include "tst_glview.moc"

#include <QtTest>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/LayerImage.h"
#include "support_slicing.h"

// The GPU cross-section pass: geometry in, projector-size masks out.
class TestCrossSection : public QObject
{
    Q_OBJECT

    std::unique_ptr<GlContext> m_ctx;
    std::unique_ptr<GlCrossSectionRenderer> m_renderer;

    // 1920 × 1080 at 50 µm: 96 × 54 mm; plate centre at pixel (960, 540).
    static SliceParameters params50()
    {
        SliceParameters p;
        p.pixelSizeXUm = p.pixelSizeYUm = 50.0f;
        return p;
    }

    cv::Mat slice(const std::vector<SliceObject> &objects, float heightMm, const SliceParameters &p = params50(),
                  int mode = 0, RenderFlags flags = {})
    {
        QString error;
        if (!m_renderer->configure(p, &error))
            qFatal("configure: %s", qPrintable(error));
        cv::Mat image;
        if (!m_renderer->render(objects, heightMm * p.sceneScale(), mode, flags, &image, &error))
            qFatal("render: %s", qPrintable(error));
        return image;
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        m_renderer = std::make_unique<GlCrossSectionRenderer>();
    }

    void cleanupTestCase()
    {
        m_renderer.reset();   // GPU resources go while the context is still current
    }

    void boxIsExactRectangle()
    {
        const cv::Mat img = slice({placed(boxMesh(10, 20, 5))}, 2.5f);
        QCOMPARE(img.type(), CV_8UC1);
        QCOMPARE(img.cols, 1920);
        QCOMPARE(img.rows, 1080);
        QCOMPARE(cv::countNonZero(img), 200 * 400);
        QCOMPARE(cv::boundingRect(img), cv::Rect(860, 340, 200, 400));
        double lo = 0, hi = 0;
        cv::minMaxLoc(img, &lo, &hi);
        QCOMPARE(hi, 255.0);

        // Odd widths exercise the padded read-back rows. The plate centre then falls on a pixel
        // centre, so the edges may shift by one pixel.
        SliceParameters odd = params50();
        odd.projectorWidthPx = 1001;
        odd.projectorHeightPx = 601;
        const cv::Mat small = slice({placed(boxMesh(10, 20, 5))}, 2.5f, odd);
        QCOMPARE(small.cols, 1001);
        QCOMPARE(small.rows, 601);
        QVERIFY(std::abs(cv::countNonZero(small) - 200 * 400) <= 2 * (200 + 400));
        QVERIFY(litAt(small, 4.9f, 9.9f, 50) && litAt(small, -4.9f, -9.9f, 50) && !litAt(small, 5.1f, 0, 50));
    }

    void heightsOutsideTheModelAreBlack()
    {
        const std::vector<SliceObject> box = {placed(boxMesh(10, 20, 5))};
        QCOMPARE(cv::countNonZero(slice(box, 5.01f)), 0);
        QCOMPARE(cv::countNonZero(slice(box, 60.0f)), 0);
        QCOMPARE(cv::countNonZero(slice(box, 0.01f)), 200 * 400);
    }

    void roundShapes()
    {
        // Cylinder r = 10 mm = 200 px.
        const cv::Mat disc = slice({placed(cylinderMesh(10, 4, 256))}, 2.0f);
        const double area = M_PI * 200.0 * 200.0;
        QVERIFY2(std::abs(cv::countNonZero(disc) - area) < 0.005 * area,
                 qPrintable(QString::number(cv::countNonZero(disc))));

        // Torus through its middle: a ring from 7 to 13 mm with the hole open.
        const cv::Mat ring = slice({placed(torusMesh(10, 3, 128, 48))}, 3.0f);
        QVERIFY(!litAt(ring, 0, 0, 50));
        QVERIFY(!litAt(ring, 6.5f, 0, 50));
        QVERIFY(litAt(ring, 10, 0, 50) && litAt(ring, 0, -10, 50) && litAt(ring, -7.3f, 0, 50));
        QVERIFY(!litAt(ring, 13.5f, 0, 50));
        const double ringArea = M_PI * (260.0 * 260.0 - 140.0 * 140.0);
        QVERIFY(std::abs(cv::countNonZero(ring) - ringArea) < 0.01 * ringArea);
    }

    void transformedObjectsSliceWhereTheyStand()
    {
        // The wedge's right angle is at its (−x, −y) corner; mirrored, it moves to +x.
        const auto wedge = wedgeMesh(10, 20, 5);
        const cv::Mat plain = slice({placed(wedge)}, 2.0f);
        const cv::Mat mirrored = slice({placed(wedge, {}, {}, true)}, 2.0f);
        QVERIFY(litAt(plain, -4, -9, 50) && !litAt(plain, 4, 8, 50));
        QVERIFY(litAt(mirrored, 4, -9, 50) && !litAt(mirrored, -4, 8, 50));
        QCOMPARE(cv::countNonZero(mirrored), cv::countNonZero(plain));
        cv::Mat flipped;
        cv::flip(plain, flipped, 1);
        QVERIFY(cv::countNonZero(flipped != mirrored) < 50);   // only the diagonal's pixels may differ

        // Turned 90° about z and moved 20 mm right: 20 × 10 mm around x = 20.
        const cv::Mat turned = slice({placed(boxMesh(10, 20, 5), {20, 0, 0}, {0, 0, 90})}, 2.0f);
        QCOMPARE(cv::boundingRect(turned), cv::Rect(960 + 400 - 200, 540 - 100, 400, 200));

        // Laid on its side (90° about x): 10 mm wide, 5 mm deep, 20 mm tall.
        const cv::Mat lying = slice({placed(boxMesh(10, 20, 5), {}, {90, 0, 0})}, 15.0f);
        QCOMPARE(cv::boundingRect(lying), cv::Rect(860, 490, 200, 100));
    }

    void overlappingModelsAreTheirUnion()
    {
        const auto box = boxMesh(10, 20, 5);
        const cv::Mat img = slice({placed(box, {-3, 0, 0}), placed(box, {3, 0, 0})}, 2.0f);
        QCOMPARE(cv::countNonZero(img), 320 * 400);
        QCOMPARE(cv::boundingRect(img), cv::Rect(960 - 160, 340, 320, 400));
    }

    void tallModelsKeepTheirUpperLayers()
    {
        // At 33 µm a 1920 px framebuffer spans ±95 mm of depth around the cut; the pass must
        // still see the bottom of a 150 mm column when cutting at 140 mm.
        SliceParameters p;
        p.pixelSizeXUm = p.pixelSizeYUm = 33.0f;
        const cv::Mat img = slice({placed(boxMesh(3.3f, 6.6f, 150))}, 140.0f, p);
        QCOMPARE(cv::countNonZero(img), 100 * 200);
    }

    void compensationScalesXAndY()
    {
        SliceParameters p = params50();
        p.sliceScaleXPct = 10;
        p.sliceScaleYPct = -10;
        const cv::Mat img = slice({placed(boxMesh(10, 20, 5))}, 2.0f, p);
        QCOMPARE(cv::boundingRect(img), cv::Rect(960 - 110, 540 - 180, 220, 360));
    }

    void renderModesPickTheirObjects()
    {
        const auto box = boxMesh(10, 20, 5);
        const SliceObject model = placed(box, {-20, 0, 0});
        const SliceObject support = placed(box, {20, 0, 0}, {}, false, 8);
        const SliceObject second = placed(box, {0, 0, 0}, {}, false, 2, 1);
        const SliceObject hidden = [&] { SliceObject o = placed(box, {0, 15, 0}); o.isShow = false; return o; }();
        const std::vector<SliceObject> all = {model, support, second, hidden};

        QCOMPARE(cv::countNonZero(slice(all, 2.0f, params50(), 0)), 2 * 80000);   // model + support
        const cv::Mat m1 = slice(all, 2.0f, params50(), 1);
        QCOMPARE(cv::countNonZero(m1), 80000);
        QVERIFY(litAt(m1, 0, 0, 50));
        RenderFlags split;
        split.splitSupportExposure = true;
        const cv::Mat models = slice(all, 2.0f, params50(), 0, split);
        const cv::Mat rest = slice(all, 2.0f, params50(), 2, split);
        QVERIFY(litAt(models, -20, 0, 50) && !litAt(models, 20, 0, 50));
        QVERIFY(!litAt(rest, -20, 0, 50) && litAt(rest, 20, 0, 50));
    }

    void outlineFollowsTheSection()
    {
        QString error;
        QVERIFY(m_renderer->configure(params50(), &error));
        const std::vector<SliceObject> box = {placed(boxMesh(10, 20, 5))};
        const std::vector<float> seg = m_renderer->outline(box, 2.0f);
        QCOMPARE(seg.size(), std::size_t(8 * 6));   // four walls of two triangles each
        for (std::size_t k = 0; k < seg.size(); k += 3) {
            QVERIFY(std::abs(std::abs(seg[k]) - 5.0f) < 1e-3f || std::abs(std::abs(seg[k + 1]) - 10.0f) < 1e-3f);
            QVERIFY(std::abs(seg[k + 2] - 2.0f) < 1e-3f);
        }
        QVERIFY(m_renderer->outline(box, 6.0f).empty());
    }

    void oversizedProjectorIsRefused()
    {
        const int limit = GlCrossSectionRenderer::maxFramebufferEdge();
        QVERIFY(limit > 0);
        SliceParameters big;
        big.projectorWidthPx = 3840;
        big.projectorHeightPx = 2400;
        QString error;
        if (big.framebufferEdge() <= limit) {
            QVERIFY2(m_renderer->configure(big, &error), qPrintable(error));
            cv::Mat img;
            QVERIFY2(m_renderer->render({placed(boxMesh(10, 20, 5))}, 0.05f, 0, {}, &img, &error), qPrintable(error));
            QCOMPARE(img.cols, 3840);
            QCOMPARE(img.rows, 2400);
        }
        big.projectorWidthPx = limit;   // edge 1.5 × limit
        QVERIFY(!m_renderer->configure(big, &error));
        QVERIFY2(error.contains("at most"), qPrintable(error));
        cv::Mat none;
        QVERIFY(!m_renderer->render({placed(boxMesh(10, 20, 5))}, 0.05f, 0, {}, &none, &error));
        QVERIFY(none.empty());

        SliceParameters tall = params50();
        tall.projectorWidthPx = 600;
        tall.projectorHeightPx = 1000;   // taller than 1.5 × width: the framebuffer cannot hold it
        QVERIFY(!m_renderer->configure(tall, &error));
        QVERIFY(error.contains("height"));
    }

    void supportSplitClassification()
    {
        cv::Mat empty = cv::Mat::zeros(10, 10, CV_8UC1), left = empty.clone(), right = empty.clone(),
                mid = empty.clone();
        left(cv::Rect(0, 0, 4, 10)).setTo(255);
        right(cv::Rect(6, 0, 4, 10)).setTo(255);
        mid(cv::Rect(3, 0, 4, 10)).setTo(255);

        SupportSplit s = splitSupportExposure(left, empty);
        QCOMPARE(s.code, 0);
        QCOMPARE(cv::countNonZero(s.images.at(0) != left), 0);
        s = splitSupportExposure(empty, right);
        QCOMPARE(s.code, 1);
        QCOMPARE(cv::countNonZero(s.images.at(0) != right), 0);
        s = splitSupportExposure(left, right);   // apart: one combined image
        QCOMPARE(s.code, 0);
        QCOMPARE(s.images.size(), std::size_t(1));
        QCOMPARE(cv::countNonZero(s.images[0]), 80);
        s = splitSupportExposure(left, mid);     // touching: union, then the supports
        QCOMPARE(s.code, 2);
        QCOMPARE(s.images.size(), std::size_t(2));
        QCOMPARE(cv::countNonZero(s.images[0]), 70);
        QCOMPARE(cv::countNonZero(s.images[1] != mid), 0);

        const cv::Mat merged = mergeSecondExposure(left, right);
        QCOMPARE(merged.type(), CV_8UC3);
        QCOMPARE(merged.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 255));   // R, G, B
        QCOMPARE(merged.at<cv::Vec3b>(0, 9), cv::Vec3b(0, 255, 0));
    }

    void contactOnlySupportView()
    {
        // A support mesh longer than its contact part: only the first 864 indices are drawn
        // without the full support view, and bases are left out.
        const auto tall = cylinderMesh(2, 10, 300);   // contact part: the first 288 triangles
        SliceObject support = placed(tall, {}, {}, false, 8);
        SliceObject base = placed(boxMesh(10, 10, 1), {20, 0, 0}, {}, false, 4);
        RenderFlags contact;
        contact.fullSupportView = false;
        QCOMPARE(drawnIndexCount(support, contact), std::size_t(864));
        QCOMPARE(drawnIndexCount(support, RenderFlags{}), tall->indices.size());
        QVERIFY(!isDrawnInMode(base, 0, contact));
        QVERIFY(isDrawnInMode(base, 0, RenderFlags{}));
        support.supportOfModel = false;
        QVERIFY(!isDrawnInMode(support, 0, contact));
    }
};

QTEST_GUILESS_MAIN(TestCrossSection)
#include "tst_crosssection.moc"

#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "imaging/LayerChain.h"
#include "scene/MeshCheck.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GpuFillRenderer.h"
#include "support_slicing.h"

// Layers as they come out of whole runs: which layer a face on a boundary belongs to, true
// pixel sizes on both axes, and broken models repaired into the volume of the clean ones.
class TestLayers : public QObject
{
    Q_OBJECT

    std::unique_ptr<GlContext> m_ctx;
    std::unique_ptr<GlCrossSectionRenderer> m_reference;
    std::unique_ptr<GpuFillRenderer> m_gpu;
    std::unique_ptr<CpuFillRenderer> m_cpu;

    std::vector<CrossSectionRenderer *> renderers() { return {m_reference.get(), m_gpu.get(), m_cpu.get()}; }

    // All layers of a run kept in memory.
    static std::vector<cv::Mat> sliceAll(CrossSectionRenderer &r, const std::vector<SliceObject> &objects,
                                         const SliceParameters &p, float thicknessUm, float maxZ)
    {
        Slicer s(&r);
        SliceRunOptions o;
        o.sliceOnDisk = false;
        o.sliceThicknessUm = thicknessUm;
        o.maxZ = maxZ;
        QString error;
        if (!s.start(objects, p, o, &error))
            qFatal("start: %s", qPrintable(error));
        if (runToEnd(s) != Slicer::Finished)
            qFatal("run: %s", qPrintable(s.errorString()));
        return s.sliceImages();
    }

    static Mesh turned(const Mesh &m, const std::function<bool(std::size_t)> &which)
    {
        std::vector<uint32_t> i = m.indices;
        for (std::size_t t = 0; t < i.size() / 3; ++t)
            if (which(t))
                std::swap(i[3 * t + 1], i[3 * t + 2]);
        std::vector<uint32_t> r = reverseWinding(i);
        return Mesh(std::vector<float>(m.vertices), std::move(i), std::move(r));
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        m_reference = std::make_unique<GlCrossSectionRenderer>();
        m_gpu = std::make_unique<GpuFillRenderer>();
        m_cpu = std::make_unique<CpuFillRenderer>();
    }

    void cleanupTestCase()
    {
        m_reference.reset();
        m_gpu.reset();
        m_cpu.reset();
    }

    void facesOnLayerBoundariesBelongToTheSlabTheyClose()
    {
        // Tiers of 10, 6 and 3 mm, each 2 mm tall: at 50 µm every tier gets exactly 40 layers,
        // and the top of the last one ends the run.
        const std::vector<SliceObject> block = {placed(steppedBlockMesh({10, 6, 3}, 2))};
        SliceParameters p = smallProjector();
        for (CrossSectionRenderer *r : renderers()) {
            const std::vector<cv::Mat> layers = sliceAll(*r, block, p, 50, 6);
            QCOMPARE(layers.size(), std::size_t(120));
            std::map<int, int> tiers;   // lit pixels → layers
            for (const cv::Mat &l : layers)
                ++tiers[cv::countNonZero(l)];
            // 10 mm at 100 µm pixels: 100 × 100, 60 × 60 and 30 × 30 pixels.
            QCOMPARE(tiers, (std::map<int, int>{{100 * 100, 40}, {60 * 60, 40}, {30 * 30, 40}}));
        }
    }

    void eachAxisHasItsOwnPixelSize()
    {
        // 50 × 100 µm pixels: the 10 × 20 mm box is 200 × 200 pixels, and an off-centre part lies
        // where its millimetres say, in every renderer.
        SliceParameters p;
        p.projectorWidthPx = 800;
        p.projectorHeightPx = 600;
        p.pixelSizeXUm = 50;
        p.pixelSizeYUm = 100;
        const std::vector<SliceObject> parts = {placed(boxMesh(10, 20, 5), {5, 10, 0}),
                                                placed(cylinderMesh(4, 5, 128), {-12, -15, 0})};
        for (CrossSectionRenderer *r : renderers()) {
            QString error;
            QVERIFY(r->configure(p, &error));
            cv::Mat layer;
            QVERIFY(r->render(parts, 2.5f * p.sceneScale(), 0, RenderFlags(), &layer, &error));
            cv::Mat box = layer.clone();
            box(cv::Rect(0, 0, 400, 300)) = 0;   // the cylinder's quarter
            QCOMPARE(cv::boundingRect(box), cv::Rect(400, 300, 200, 200));
            QCOMPARE(cv::countNonZero(box), 200 * 200);
            // The cylinder of radius 4 mm: an ellipse of 80 × 40 pixels half-axes round (160, 150).
            cv::Mat round = layer(cv::Rect(0, 0, 400, 300));
            const cv::Rect b = cv::boundingRect(round);
            QCOMPARE(b, cv::Rect(400 - 240 - 80, 300 - 150 - 40, 160, 80));
            QVERIFY(std::abs(cv::countNonZero(round) - M_PI * 80 * 40) < 0.01 * M_PI * 80 * 40);
        }

        // The antialiased outline lies on the solid's edge: every grey pixel is within the pen's
        // reach (two pixels) of the mask, on both axes.
        PostProcessSettings post;
        post.contourAntialiasing = true;
        post.contourPenGray = 128;
        QString error;
        QVERIFY(m_cpu->configure(p, &error));
        cv::Mat layer;
        QVERIFY(m_cpu->render(parts, 2.5f * p.sceneScale(), 0, RenderFlags(), &layer, &error));
        const std::vector<float> mm = m_cpu->outline(parts, 2.5f);
        const cv::Mat drawn = drawContourAntialiasing(
            layer, outlineToPixels(mm.data(), mm.size() / 6, p.projectorWidthPx, p.projectorHeightPx, 50, 100), post,
            false);
        cv::Mat nearMask;
        cv::dilate(layer, nearMask, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
        const cv::Mat grey = (drawn > 0) & (drawn < 255);
        QVERIFY(cv::countNonZero(grey) > 1000);
        QCOMPARE(cv::countNonZero(grey & ~nearMask), 0);
    }

    void repairedModelsPrintTheirVolume()
    {
        // Each broken sphere or cube, repaired, slices to the clean model's volume in every
        // renderer; as read, an inside-out one slices to nothing.
        const auto ball = sphereMesh(8, 24, 48);
        const auto cube = boxMesh(12, 12, 12);
        auto broken = [](const std::shared_ptr<Mesh> &m, const std::function<bool(std::size_t)> &which,
                         std::vector<std::size_t> drop = {}) {
            Mesh t = turned(*m, which);
            std::vector<uint32_t> kept;
            for (std::size_t k = 0; k < t.triangleCount(); ++k)
                if (std::find(drop.begin(), drop.end(), k) == drop.end())
                    kept.insert(kept.end(), &t.indices[3 * k], &t.indices[3 * k + 3]);
            std::vector<uint32_t> r = reverseWinding(kept);
            return Mesh(std::vector<float>(t.vertices), std::move(kept), std::move(r));
        };
        struct Case
        {
            const char *name;
            std::shared_ptr<Mesh> clean;
            Mesh broken;
        };
        const std::vector<Case> cases = {
            {"inside-out sphere", ball, broken(ball, [](std::size_t) { return true; })},
            {"inside-out cube", cube, broken(cube, [](std::size_t) { return true; })},
            {"mixed winding", ball, broken(ball, [](std::size_t t) { return t % 2 == 0; })},
            {"two missing facets", ball, broken(ball, [](std::size_t) { return false; }, {200, 900})},
        };
        const SliceParameters p = smallProjector();
        auto volume = [&](CrossSectionRenderer &r, const std::shared_ptr<Mesh> &m) {
            double lit = 0;
            for (const cv::Mat &l : sliceAll(r, {placed(m)}, p, 100, 16))
                lit += cv::countNonZero(l);
            return lit * 0.1 * 0.1 * 0.1;   // mm³: 100 µm pixels and layers
        };
        for (const Case &c : cases) {
            auto repaired = std::make_shared<Mesh>(c.broken);
            QVERIFY2(checkAndRepairMesh(*repaired).repaired(), c.name);
            for (CrossSectionRenderer *r : renderers()) {
                const double want = volume(*r, c.clean), got = volume(*r, repaired);
                QVERIFY2(std::abs(got - want) <= 0.005 * want,
                         qPrintable(QString("%1: %2 mm³ instead of %3").arg(c.name).arg(got).arg(want)));
            }
        }
        QCOMPARE(volume(*m_cpu, std::make_shared<Mesh>(cases[0].broken)), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"

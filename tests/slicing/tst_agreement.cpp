#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "scene/Object.h"
#include "scene/Scene.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/CutSegments.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GpuFillRenderer.h"
#include "support/DrainHoles.h"
#include "support/SupportEditor.h"
#include "support_slicing.h"

// The three cross-section renderers must make the same layer images: the stencil pass over the
// whole scene, and the two that fill the cut's segments (on the GPU and on the processor).
// Images must be equal, apart from pixels whose centre the cut's outline passes within 1e-6
// (normalised units) of, where float rounding may go either way.
class TestAgreement : public QObject
{
    Q_OBJECT

    std::unique_ptr<GlContext> m_ctx;
    std::unique_ptr<GlCrossSectionRenderer> m_reference;
    std::unique_ptr<GpuFillRenderer> m_gpu;
    std::unique_ptr<GpuFillRenderer> m_gpuHeadless;   // renders into a projector-size target
    std::unique_ptr<CpuFillRenderer> m_cpu;

    struct Cut
    {
        float heightMm;
        int mode;
        RenderFlags flags;
    };

    static SliceParameters params50()
    {
        SliceParameters p;
        p.pixelSizeXUm = p.pixelSizeYUm = 50.0f;
        return p;
    }

    static cv::Mat render(CrossSectionRenderer &r, const std::vector<SliceObject> &objects, const SliceParameters &p,
                          const Cut &cut)
    {
        QString error;
        if (!r.configure(p, &error))
            qFatal("configure: %s", qPrintable(error));
        cv::Mat image;
        if (!r.render(objects, cut.heightMm * p.sceneScale(), cut.mode, cut.flags, &image, &error))
            qFatal("render: %s", qPrintable(error));
        return image;
    }

    // Pixels whose centre lies within `tolerancePx` of the cut's outline (the processor's segments
    // of the same cut): there the renderers' float arithmetic may round either way.
    static cv::Mat nearOutline(const std::vector<SliceObject> &objects, const SliceParameters &p, const Cut &cut,
                               cv::Size size, double tolerancePx)
    {
        CutSweep sweep;
        sweep.prepare(objects, p);
        const LayerSegments layer = sweep.segments(cut.heightMm * p.sceneScale(), cut.mode, cut.flags);
        cv::Mat near = cv::Mat::zeros(size, CV_8UC1);
        for (const CutSegment &s : layer.segments) {
            const int x0 = std::max(0, int(std::floor(std::min(s.x0, s.x1) - 1))),
                      x1 = std::min(size.width - 1, int(std::ceil(std::max(s.x0, s.x1) + 1)));
            const int y0 = std::max(0, int(std::floor(std::min(s.y0, s.y1) - 1))),
                      y1 = std::min(size.height - 1, int(std::ceil(std::max(s.y0, s.y1) + 1)));
            const double dx = double(s.x1) - s.x0, dy = double(s.y1) - s.y0, len2 = dx * dx + dy * dy;
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    const double px = x + 0.5 - s.x0, py = y + 0.5 - s.y0;
                    const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
                    if (std::hypot(px - t * dx, py - t * dy) <= tolerancePx)
                        near.at<uchar>(y, x) = 255;
                }
            }
        }
        return near;
    }

    // Empty when the images are equal apart from pixels in `exempt`, else what is wrong.
    static QString disagreement(const cv::Mat &reference, const cv::Mat &other, const cv::Mat &exempt)
    {
        if (reference.size() != other.size() || reference.type() != other.type())
            return "different image sizes or types";
        const cv::Mat differ = (reference != other) & ~exempt;
        if (const int n = cv::countNonZero(differ)) {
            std::vector<cv::Point> where;
            cv::findNonZero(differ, where);
            return QString("%1 pixels differ, e.g. column %2, row %3").arg(n).arg(where[0].x).arg(where[0].y);
        }
        return QString();
    }

    void compareAll(const std::vector<SliceObject> &objects, const std::vector<Cut> &cuts,
                    const SliceParameters &p = params50())
    {
        for (const Cut &cut : cuts) {
            const QString where = QString("height %1 mm, mode %2, split %3, full supports %4")
                                      .arg(cut.heightMm)
                                      .arg(cut.mode)
                                      .arg(cut.flags.splitSupportExposure)
                                      .arg(cut.flags.fullSupportView);
            const cv::Mat ref = render(*m_reference, objects, p, cut);
            const cv::Mat gpu = render(*m_gpu, objects, p, cut);
            const cv::Mat headless = render(*m_gpuHeadless, objects, p, cut);
            const cv::Mat cpu = render(*m_cpu, objects, p, cut);
            // 1e-6 in the normalised units the cut is placed in.
            const cv::Mat exempt = nearOutline(objects, p, cut, ref.size(), 1e-6 * p.framebufferEdge() / 2.0);
            QString why = disagreement(ref, gpu, exempt);
            QVERIFY2(why.isEmpty(), qPrintable("GPU fill, " + where + ": " + why));
            why = disagreement(ref, headless, exempt);
            QVERIFY2(why.isEmpty(), qPrintable("GPU fill without view textures, " + where + ": " + why));
            why = disagreement(ref, cpu, exempt);
            QVERIFY2(why.isEmpty(), qPrintable("processor fill, " + where + ": " + why));
        }
    }

    static std::shared_ptr<Mesh> joined(const std::shared_ptr<Mesh> &a, const std::shared_ptr<Mesh> &b)
    {
        std::vector<float> v = a->vertices;
        v.insert(v.end(), b->vertices.begin(), b->vertices.end());
        std::vector<uint32_t> i = a->indices;
        for (uint32_t k : b->indices)
            i.push_back(k + uint32_t(a->vertexCount()));
        std::vector<uint32_t> r = reverseWinding(i);
        return std::make_shared<Mesh>(std::move(v), std::move(i), std::move(r));
    }

    static SliceObject hidden(SliceObject o)
    {
        o.isShow = false;
        return o;
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
        m_reference = std::make_unique<GlCrossSectionRenderer>();
        m_gpu = std::make_unique<GpuFillRenderer>();
        m_gpuHeadless = std::make_unique<GpuFillRenderer>();
        m_gpuHeadless->setViewTextures(false);
        m_cpu = std::make_unique<CpuFillRenderer>();
    }

    void cleanupTestCase()
    {
        m_reference.reset();
        m_gpu.reset();
        m_gpuHeadless.reset();
        m_cpu.reset();
    }

    void plainShapes()
    {
        const RenderFlags f;
        // Heights out of order: the sweep must start again when a cut lies below the last one.
        compareAll({placed(boxMesh(10, 20, 5))}, {{2.5f, 0, f}, {0.01f, 0, f}, {4.99f, 0, f}, {5.01f, 0, f}});
        compareAll({placed(cylinderMesh(10, 4, 256), {3.3f, -7.1f, 0})}, {{2.0f, 0, f}, {3.99f, 0, f}});
        compareAll({placed(torusMesh(10, 3, 128, 48))}, {{3.0f, 0, f}, {0.4f, 0, f}, {5.7f, 0, f}, {1.7f, 0, f}});

        // Above the scene: black.
        const cv::Mat above = render(*m_cpu, {placed(boxMesh(10, 20, 5))}, params50(), {6.0f, 0, f});
        QCOMPARE(cv::countNonZero(above), 0);

        // A cut for the 3D view only (no read-back) fills the view's texture; read-back cuts
        // after it still agree.
        RenderFlags view;
        view.readBack = false;
        cv::Mat none;
        QString error;
        QVERIFY(m_gpu->render({placed(boxMesh(10, 20, 5))}, 2.0f * params50().sceneScale(), 0, view, &none, &error));
        QVERIFY(none.empty());
        QVERIFY(m_gpu->textureId(0) != 0);
        compareAll({placed(boxMesh(10, 20, 5), {1, 1, 0})}, {{2.0f, 0, f}});
    }

    void pointedAndRoundShapes()
    {
        // Walls meeting pixel centres at many heights: a pyramid whose sides move half a pixel
        // per layer, a cone and a sphere.
        const RenderFlags f;
        std::vector<Cut> cuts;
        for (float z = 0.025f; z < 10.0f; z += 0.35f)
            cuts.push_back({z, 0, f});
        compareAll({placed(pyramidMesh(20, 10))}, cuts);
        compareAll({placed(coneMesh(8, 10, 96), {12, -3, 0})}, cuts);
        compareAll({placed(sphereMesh(6, 32, 64), {-15, 8, 0})}, cuts);
    }

    void placedParts()
    {
        const RenderFlags f;
        const auto wedge = wedgeMesh(10, 20, 5);
        compareAll({placed(wedge, {}, {}, true)}, {{2.0f, 0, f}});
        // Rotated about all three axes: sloped walls everywhere.
        compareAll({placed(boxMesh(10, 20, 5), {8, -4, 0}, {30, 20, 45})}, {{1.0f, 0, f}, {6.0f, 0, f}, {9.0f, 0, f}});
        compareAll({placed(torusMesh(10, 3, 64, 24), {-5, 5, 0}, {60, 0, 10}, true)}, {{4.0f, 0, f}, {12.0f, 0, f}});
        // Overlapping parts are their union; a hidden one is left out.
        const auto box = boxMesh(10, 20, 5);
        compareAll({placed(box, {-3, 0, 0}), placed(box, {3, 0, 0}), placed(cylinderMesh(6, 8, 96), {0, 9, 0}),
                    hidden(placed(box, {20, 0, 0}))},
                   {{2.0f, 0, f}, {6.0f, 0, f}});
    }

    void geometryOfTheProjector()
    {
        // Odd sizes put the plate centre on a pixel centre; the X/Y compensation stretches the
        // image and non-square pixels still use the X scale on both axes.
        SliceParameters p = params50();
        p.projectorWidthPx = 1001;
        p.projectorHeightPx = 601;
        p.pixelSizeYUm = 70.0f;
        p.sliceScaleXPct = 7.5;
        p.sliceScaleYPct = -4;
        p.sliceScaleZPct = 10;
        const RenderFlags f;
        compareAll({placed(torusMesh(10, 3, 96, 32), {4, 2, 0}, {20, 0, 0}), placed(boxMesh(30, 3, 2), {10, 12, 0})},
                   {{1.0f, 0, f}, {3.5f, 0, f}}, p);

        // A tall column cut far above its foot (a wide depth range for the stencil pass), and a
        // part reaching over the image's edges.
        SliceParameters fine;
        fine.pixelSizeXUm = fine.pixelSizeYUm = 33.0f;
        compareAll({placed(boxMesh(3.3f, 6.6f, 150)), placed(cylinderMesh(40, 3, 128), {25, 10, 0})},
                   {{1.5f, 0, f}, {140.0f, 0, f}}, fine);
    }

    void exposureGroupsAndSupportKinds()
    {
        const auto box = boxMesh(10, 20, 5);
        const SliceObject model = placed(box, {-20, 0, 0});
        const SliceObject second = placed(cylinderMesh(5, 5, 64), {0, 15, 0}, {}, false, TypeModel, 1);
        const SliceObject base = placed(boxMesh(30, 30, 1), {0, 0, 0}, {}, false, TypeBase);
        // Supports whose first 288 triangles (the contact part) are a closed piece of their own,
        // the rest a wider shaft.
        const auto supportMesh = joined(cylinderMesh(2, 3, 72), cylinderMesh(3, 10, 40));
        const SliceObject support = placed(supportMesh, {20, 0, 0}, {}, false, TypeSupport);
        SliceObject orphanSupport = placed(supportMesh, {25, -10, 0}, {}, false, TypeSupport);
        orphanSupport.supportOfModel = false;
        // A drain hole through a model, reaching out of it at the top.
        const SliceObject hollowBox = placed(boxMesh(16, 16, 6), {0, -15, 0});
        const SliceObject hole = placed(cylinderMesh(3, 9, 48), {0, -15, 0}, {}, false, TypeDrainHole);
        const std::vector<SliceObject> scene = {model, second, base, support, orphanSupport, hollowBox, hole};

        RenderFlags full, contact, split, splitContact;
        contact.fullSupportView = false;
        split.splitSupportExposure = true;
        splitContact.splitSupportExposure = true;
        splitContact.fullSupportView = false;
        std::vector<Cut> cuts;
        for (float z : {0.5f, 3.0f, 5.5f}) {
            for (const RenderFlags &f : {full, contact, split, splitContact}) {
                for (int mode = 0; mode < 3; ++mode)
                    cuts.push_back({z, mode, f});
            }
        }
        compareAll(scene, cuts);

        // The hole takes its volume out of the model, also where it reaches beyond the model,
        // in every renderer; the model around it stays.
        for (CrossSectionRenderer *r : {static_cast<CrossSectionRenderer *>(m_reference.get()),
                                        static_cast<CrossSectionRenderer *>(m_gpu.get()),
                                        static_cast<CrossSectionRenderer *>(m_cpu.get())}) {
            const cv::Mat layer = render(*r, scene, params50(), {3.0f, 0, full});
            QVERIFY(!litAt(layer, 0, -15, 50) && !litAt(layer, 2.5f, -15, 50));
            QVERIFY(litAt(layer, 3.5f, -15, 50) && litAt(layer, -7, -20, 50));
            const cv::Mat models = render(*r, scene, params50(), {3.0f, 0, split});
            QVERIFY(!litAt(models, 0, -15, 50) && litAt(models, 5, -15, 50));
            const cv::Mat top = render(*r, scene, params50(), {7.0f, 0, full});
            QVERIFY(!litAt(top, 0, -15, 50));
        }
    }

    void realSupports()
    {
        // Automatic supports under a box tilted 30°, a branch standing on one of them, and a
        // support from the box down onto a second model: the meshes the support builder makes.
        Scene scene;
        scene.setLoadPauseMs(0);
        SupportEditor editor(&scene);
        scene.load_mesh({*boxMesh(16, 10, 4)}, "/m/tilted.stl");
        const int tilted = scene.objectCount() - 1;
        scene.object(tilted)->rotation = QVector3D(30, 0, 0);
        scene.object(tilted)->move += QVector3D(0, 0, 12);
        scene.refreshAABB(tilted, 0);
        scene.load_mesh({*boxMesh(8, 8, 3)}, "/m/low.stl");
        const int low = scene.objectCount() - 1;
        scene.object(low)->move += QVector3D(-20, 0, 0);
        scene.refreshAABB(low, 0);
        scene.changeSelObj({tilted}, tilted);
        SupportParameters p;
        p.sp = 2.5f;
        editor.setParameters(p);
        QVERIFY(editor.onAutoSupport() > 10);

        editor.branchMode = true;
        const QVector3D under = scene.supportRecord(3)->points.first() + QVector3D(1.5f, 0.5f, 0);
        editor.pick = {under, QVector3D(0, 0.5f, -0.866f), under, QVector3D(0, 0, 1), tilted, tilted};
        QCOMPARE(editor.addSupportManual(2, false), 1);
        QVERIFY(scene.object(scene.objectCount() - 1)->support.footObjectId >= 1);
        editor.branchMode = false;
        editor.pick = {QVector3D(-8, 0, 9), QVector3D(0, 0, -1), QVector3D(-20, 0, 3), QVector3D(0, 0, 1), tilted, low};
        scene.object(tilted)->move.setX(-12);   // reach over the low model
        scene.refreshAABB(tilted, 0);
        QCOMPARE(editor.addSupportManual(6, false), 1);

        const std::vector<SliceObject> objects = sliceObjectsOf(scene);
        RenderFlags full, contact, split;
        contact.fullSupportView = false;
        split.splitSupportExposure = true;
        std::vector<Cut> cuts;
        for (float z : {0.05f, 0.7f, 4.0f, 8.5f, 12.0f})
            for (const RenderFlags &f : {full, contact, split})
                for (int mode : {0, 2})
                    cuts.push_back({z, mode, f});
        compareAll(objects, cuts);
        // The feet are in the lowest layer, the models are not.
        const cv::Mat feet = render(*m_cpu, objects, params50(), {0.05f, 0, full});
        const spUnit &first = *scene.supportRecord(0);
        QVERIFY(litAt(feet, first.points.last().x(), first.points.last().y(), 50));
    }

    void realDrainHoleThroughAHollowPart()
    {
        // A hollowed part: a 20 × 20 × 12 mm box around a 16 × 16 × 8 mm cavity (walls of
        // 2 mm), with a drain hole of 3 mm placed on its top face at (2, −1): the hole runs
        // from 1 mm above the top (13 mm) down to 6 mm, through the 2 mm roof into the cavity.
        const auto outer = boxMesh(20, 20, 12);
        auto cavity = boxMesh(16, 16, 8);
        std::vector<float> v = outer->vertices;
        for (std::size_t k = 0; k < cavity->vertices.size(); ++k)
            v.push_back(cavity->vertices[k] + 2.0f);   // 2 mm in from every side
        std::vector<uint32_t> idx = outer->indices;
        for (uint32_t i : cavity->reversedIndices)   // the cavity's faces point into it
            idx.push_back(i + uint32_t(outer->vertexCount()));
        std::vector<uint32_t> rev = reverseWinding(idx);
        Scene scene;
        scene.setLoadPauseMs(0);
        scene.load_mesh({Mesh(std::move(v), std::move(idx), std::move(rev))}, "/m/hollow.stl");
        const int part = scene.objectCount() - 1;
        scene.changeSelObj({part}, part);
        QVERIFY(placeDrainHole(scene, part, part, {2, -1, 12}, {0, 0, 1}, {3.0, 5.0}, false) > 0);
        const std::vector<SliceObject> objects = sliceObjectsOf(scene);

        const RenderFlags full;
        compareAll(objects, {{6.5f, 0, full}, {9.0f, 0, full}, {11.0f, 0, full}, {12.5f, 0, full}});
        // Every layer the hole crosses, in every renderer: dark inside the hole, lit roof and
        // walls around it where the part is.
        for (CrossSectionRenderer *r : {static_cast<CrossSectionRenderer *>(m_reference.get()),
                                        static_cast<CrossSectionRenderer *>(m_gpu.get()),
                                        static_cast<CrossSectionRenderer *>(m_cpu.get())}) {
            for (int k = 0; k < 70; ++k) {
                const float z = 6.05f + 0.1f * float(k);
                const cv::Mat layer = render(*r, objects, params50(), {z, 0, full});
                const QString where = QString("renderer %1, %2 mm").arg(r == m_cpu.get() ? "cpu" : "gl").arg(z);
                for (float a = 0; a < 6.28f; a += 0.5f)
                    for (float rad : {0.0f, 0.6f, 1.2f})
                        QVERIFY2(!litAt(layer, 2 + rad * std::cos(a), -1 + rad * std::sin(a), 50), qPrintable(where));
                // Layers right at the roof's faces may go either way.
                if (std::abs(z - 10) < 0.1f || std::abs(z - 12) < 0.1f)
                    continue;
                const bool roof = z > 10 && z < 12;
                QVERIFY2(litAt(layer, 2 + 2.5f, -1, 50) == roof && litAt(layer, 2, -1 - 2.5f, 50) == roof,
                         qPrintable(where));
                QVERIFY2(litAt(layer, 9, 0, 50) == (z < 12), qPrintable(where));
            }
        }
    }

    void outlineAndSurfaceSamples()
    {
        // The processor's outline and surface samples match the GPU passes of the stencil renderer.
        SliceParameters p = params50();
        p.sliceScaleXPct = 5;
        const std::vector<SliceObject> scene = {placed(torusMesh(10, 3, 48, 16), {}, {30, 0, 0}),
                                                placed(rampMesh(10, 10, 2, 6), {20, 0, 0}),
                                                placed(boxMesh(5, 5, 5), {-20, 0, 0}, {}, false, TypeSupport)};
        QString error;
        QVERIFY(m_reference->configure(p, &error));
        QVERIFY(m_cpu->configure(p, &error));
        for (float h : {1.0f, 4.0f, 0.2f, 9.0f}) {
            std::vector<float> gl = m_reference->outline(scene, h);
            std::vector<float> cpu = m_cpu->outline(scene, h);
            QCOMPARE(cpu.size(), gl.size());
            auto points = [](const std::vector<float> &v) {
                std::vector<std::array<float, 3>> pts;
                for (std::size_t k = 0; k + 2 < v.size(); k += 3)
                    pts.push_back({v[k], v[k + 1], v[k + 2]});
                std::sort(pts.begin(), pts.end());
                return pts;
            };
            const auto a = points(gl), b = points(cpu);
            for (std::size_t k = 0; k < a.size(); ++k) {
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(std::abs(a[k][c] - b[k][c]) < 2e-3f, qPrintable(QString("height %1").arg(h)));
            }
            const float cut = h * p.sceneScale();
            const NormalRange ng = m_reference->sampleNormals(scene, cut);
            const NormalRange nc = m_cpu->sampleNormals(scene, cut);
            QCOMPARE(nc.count, ng.count);
            QVERIFY(std::abs(nc.smallest - ng.smallest) < 1e-4f && std::abs(nc.largest - ng.largest) < 1e-4f);
        }
    }

    void fillFollowsThePixelCentres()
    {
        // A square from (2, 3) to (6.5, 5.5) in pixels, counter-clockwise, reaching past the
        // left edge in a second copy; the inside-out copy and a hole in it.
        auto square = [](float x0, float y0, float x1, float y1, bool ccw) {
            std::vector<CutSegment> s = {{x0, y0, x1, y0}, {x1, y0, x1, y1}, {x1, y1, x0, y1}, {x0, y1, x0, y0}};
            if (!ccw) {
                for (CutSegment &c : s)
                    c = {c.x1, c.y1, c.x0, c.y0};
            }
            return s;
        };
        cv::Mat img(8, 10, CV_8UC1, cv::Scalar(7));
        fillCutSegments(square(2, 3, 6.5f, 5.5f, true), img);
        QCOMPARE(cv::boundingRect(img), cv::Rect(2, 3, 4, 2));   // centres 2.5 … 5.5 and 3.5 … 4.5
        QCOMPARE(cv::countNonZero(img), 8);

        fillCutSegments(square(-100, -5, 3, 2, true), img);
        QCOMPARE(cv::boundingRect(img), cv::Rect(0, 0, 3, 2));
        QCOMPARE(cv::countNonZero(img), 6);

        fillCutSegments(square(1, 1, 9, 7, false), img);
        QCOMPARE(cv::countNonZero(img), 0);

        std::vector<CutSegment> ring = square(1, 1, 9, 7, true);
        const std::vector<CutSegment> hole = square(3, 3, 7, 5, false);
        ring.insert(ring.end(), hole.begin(), hole.end());
        fillCutSegments(ring, img);
        QCOMPARE(cv::countNonZero(img), 8 * 6 - 4 * 2);
        QCOMPARE(img.at<uchar>(4, 5), uchar(0));
        QCOMPARE(img.at<uchar>(2, 5), uchar(255));
    }
};

QTEST_GUILESS_MAIN(TestAgreement)
#include "tst_agreement.moc"

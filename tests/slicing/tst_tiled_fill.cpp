#include <QtTest>
#include <opencv2/imgproc.hpp>

#include "scene/Object.h"
#include "slicing/CpuFillRenderer.h"
#include "slicing/CutSegments.h"
#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/GpuFillRenderer.h"
#include "support_slicing.h"

// Panels larger than the graphics driver's framebuffer are filled on the GPU tile by tile. The
// processor fill is the truth: the tiled images must equal its images, apart from pixels whose
// centre the cut's outline passes within float rounding of.
class TestTiledFill : public QObject
{
    Q_OBJECT

    std::unique_ptr<GlContext> m_ctx;

    static cv::Mat render(CrossSectionRenderer &r, const std::vector<SliceObject> &objects, const SliceParameters &p,
                          float heightMm, int mode = 0)
    {
        QString error;
        if (!r.configure(p, &error))
            qFatal("configure: %s", qPrintable(error));
        cv::Mat image;
        if (!r.render(objects, heightMm * p.sceneScale(), mode, RenderFlags(), &image, &error))
            qFatal("render: %s", qPrintable(error));
        return image;
    }

    // Pixels differing between the two images whose centre lies farther than 1e-6 normalised
    // units from every segment of the cut.
    static int differingAwayFromOutline(const cv::Mat &truth, const cv::Mat &other,
                                        const std::vector<SliceObject> &objects, const SliceParameters &p,
                                        float heightMm)
    {
        if (truth.size() != other.size() || truth.type() != other.type())
            return -1;
        std::vector<cv::Point> where;
        cv::findNonZero(truth != other, where);
        if (where.empty())
            return 0;
        CutSweep sweep;
        sweep.prepare(objects, p);
        const LayerSegments layer = sweep.segments(heightMm * p.sceneScale(), 0, RenderFlags());
        const double tolerancePx = 1e-6 * p.framebufferEdge() / 2.0;
        int far = 0;
        for (const cv::Point &q : where) {
            bool near = false;
            for (const CutSegment &s : layer.segments) {
                const double dx = double(s.x1) - s.x0, dy = double(s.y1) - s.y0, len2 = dx * dx + dy * dy;
                const double px = q.x + 0.5 - s.x0, py = q.y + 0.5 - s.y0;
                const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
                if (std::hypot(px - t * dx, py - t * dy) <= tolerancePx) {
                    near = true;
                    break;
                }
            }
            far += near ? 0 : 1;
        }
        return far;
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_ctx = GlContext::createCurrent(&error);
        QVERIFY2(m_ctx, qPrintable(error));
    }

    void cleanupTestCase() { m_ctx.reset(); }

    // Tiles of 64 × 64 and 100 × 48 over a 640 × 400 panel (the last row and column of tiles
    // cut short), with and without the view's textures: the same images as the processor's.
    void smallTilesEqualTheProcessorFill()
    {
        SliceParameters p = smallProjector();
        p.pixelSizeXUm = p.pixelSizeYUm = 50;
        const std::vector<SliceObject> scene = {placed(boxMesh(10, 6, 5), {-6, 4, 0}),
                                                placed(cylinderMesh(5, 5, 96), {7.3f, -3.1f, 0}),
                                                placed(torusMesh(4, 1.5f, 64, 24), {-3, -5, 0}, {20, 10, 0}),
                                                placed(wedgeMesh(6, 4, 5), {9, 6, 0}, {}, true)};
        CpuFillRenderer cpu;
        for (int tile : {64, 100}) {
            for (bool viewTextures : {false, true}) {
                GpuFillRenderer gpu;
                gpu.setViewTextures(viewTextures);
                gpu.setMaxTilePx(tile);
                for (float z : {0.01f, 1.3f, 2.55f, 4.2f}) {
                    const cv::Mat truth = render(cpu, scene, p, z);
                    const cv::Mat tiled = render(gpu, scene, p, z);
                    QCOMPARE(gpu.tileWidthPx(), tile);
                    QCOMPARE(gpu.tileHeightPx(), std::min(tile, 400));
                    QVERIFY(cv::countNonZero(truth) > 1000);
                    const int far = differingAwayFromOutline(truth, tiled, scene, p, z);
                    QVERIFY2(far == 0, qPrintable(QString("tile %1, view textures %2, %3 mm: %4 pixels differ")
                                                      .arg(tile).arg(viewTextures).arg(z).arg(far)));
                }
                gpu.releaseGpuResources();
            }
        }
    }

    // A 12K panel (11520 × 5120 px of 19 µm): beyond any framebuffer a 1.5 × wider view would
    // need, the GPU fill still slices it, like the processor; the stencil pass over the whole
    // scene keeps refusing it.
    void twelveKPanel()
    {
        SliceParameters p;
        p.projectorWidthPx = 11520;
        p.projectorHeightPx = 5120;
        p.pixelSizeXUm = p.pixelSizeYUm = 19;
        const std::vector<SliceObject> scene = {placed(cylinderMesh(40, 3, 256), {50, -20, 0}),
                                                placed(boxMesh(30, 20, 3), {-80, 30, 0})};
        GpuFillRenderer gpu;
        gpu.setViewTextures(false);
        CpuFillRenderer cpu;
        const cv::Mat truth = render(cpu, scene, p, 1.5f);
        const cv::Mat image = render(gpu, scene, p, 1.5f);
        QCOMPARE(image.cols, 11520);
        QCOMPARE(image.rows, 5120);
        QCOMPARE(differingAwayFromOutline(truth, image, scene, p, 1.5f), 0);
        // 30 × 20 mm at 19 µm: 1578.9 × 1052.6 px, so 1578 or 1579 columns by 1052 or 1053 rows.
        const cv::Rect box = cv::boundingRect(image(cv::Rect(0, 0, 11520 / 2, 5120)));
        QVERIFY2(std::abs(box.width - 1578.9) < 1 && std::abs(box.height - 1052.6) < 1,
                 qPrintable(QString("%1 x %2").arg(box.width).arg(box.height)));
        gpu.releaseGpuResources();

        if (GlCrossSectionRenderer::maxFramebufferEdge() < p.framebufferEdge()) {
            GlCrossSectionRenderer reference;
            QString error;
            QVERIFY(!reference.configure(p, &error));
            QVERIFY2(error.contains("graphics driver allows at most"), qPrintable(error));
        }
    }
};

QTEST_GUILESS_MAIN(TestTiledFill)
#include "tst_tiled_fill.moc"

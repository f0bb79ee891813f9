#include <QtTest>

#include <cmath>

#include "slicing/CpuFillRenderer.h"
#include "slicing/RunLimits.h"
#include "slicing/Slicer.h"
#include "support_slicing.h"

// Values from damaged settings are refused before a run starts, naming the setting, instead
// of writing layers until the disk is full or reporting black layers as a success.
class RunLimitsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_out;

    SliceRunOptions options(float maxZ = 5.0f)
    {
        SliceRunOptions o;
        o.outputFolder = m_out.path();
        o.sliceThicknessUm = 100;
        o.maxZ = maxZ;
        return o;
    }

    // Why a run of `objects` does not start; empty when it does.
    QString refusal(const std::vector<SliceObject> &objects, const SliceParameters &params, const SliceRunOptions &o)
    {
        CpuFillRenderer renderer;
        Slicer s(&renderer);
        QString error;
        if (s.start(objects, params, o, &error)) {
            s.cancel();
            runToEnd(s);
            return QString();
        }
        return error;
    }

private slots:
    void parametersOutsideTheirRangesAreRefusedByName()
    {
        const std::vector<SliceObject> box = {placed(boxMesh(10, 20, 1))};
        struct Case { const char *name; void (*change)(SliceParameters &); const char *says; };
        const Case cases[] = {
            {"tiny pixels", [](SliceParameters &p) { p.pixelSizeXUm = 1e-45f; }, "PixelSizeX"},
            {"huge pixels", [](SliceParameters &p) { p.pixelSizeYUm = 1001; }, "PixelSizeY"},
            {"x scale", [](SliceParameters &p) { p.sliceScaleXPct = 1e308; }, "SliceScaleX"},
            {"y scale nan", [](SliceParameters &p) { p.sliceScaleYPct = std::nan(""); }, "SliceScaleY"},
            {"z scale", [](SliceParameters &p) { p.sliceScaleZPct = 1e30; }, "SliceScaleZ"},
            {"z scale shrinking to nothing", [](SliceParameters &p) { p.sliceScaleZPct = -95; }, "SliceScaleZ"},
            {"projector", [](SliceParameters &p) { p.projectorWidthPx = 20000; }, "DisplayOverrideX"},
        };
        for (const Case &c : cases) {
            SliceParameters p = smallProjector();
            c.change(p);
            const QString why = refusal(box, p, options());
            QVERIFY2(why.contains(c.says), qPrintable(QString("%1: %2").arg(c.name, why)));
        }
        // The bounds themselves are fine.
        SliceParameters edge = smallProjector();
        edge.pixelSizeXUm = 1;
        edge.pixelSizeYUm = 1000;
        edge.sliceScaleXPct = -90;
        edge.sliceScaleYPct = 100;
        edge.sliceScaleZPct = 100;
        QCOMPARE(checkSliceParameterRanges(edge), QString());
        edge.projectorWidthPx = edge.projectorHeightPx = 16384;
        QCOMPARE(checkSliceParameterRanges(edge), QString());
    }

    void runsThatCouldOnlyBeBlackAreRefused()
    {
        // The small projector's image is 64 × 40 mm around the plate centre.
        const SliceParameters p = smallProjector();
        QCOMPARE(refusal({placed(boxMesh(10, 20, 1))}, p, options()), QString());
        // Hanging over the edge still lights pixels.
        QCOMPARE(refusal({placed(boxMesh(10, 10, 1), {35, 0, 0})}, p, options()), QString());
        QVERIFY(refusal({placed(boxMesh(10, 10, 1), {45, 0, 0})}, p, options()).contains("outside the image"));
        QVERIFY(refusal({placed(boxMesh(10, 10, 1), {0, -30, 0})}, p, options()).contains("outside the image"));
        // Shrunk by the X compensation back into the image.
        SliceParameters shrunk = p;
        shrunk.sliceScaleXPct = -50;
        QCOMPARE(refusal({placed(boxMesh(10, 10, 1), {60, 0, 0})}, shrunk, options()), QString());

        // Above the slicing range, hidden, or no range at all.
        QVERIFY(refusal({placed(boxMesh(10, 10, 1), {0, 0, 6})}, p, options(5)).contains("slicing range"));
        SliceObject hidden = placed(boxMesh(10, 10, 1));
        hidden.isShow = false;
        QVERIFY(refusal({hidden}, p, options()).contains("no visible object"));
        QVERIFY(refusal({placed(boxMesh(10, 10, 1))}, p, options(2000)).contains("1000 mm"));
        QVERIFY(refusal({placed(boxMesh(10, 10, 1))}, p, options(std::nanf(""))).contains("slicing range"));

        SliceRunOptions thick = options();
        thick.sliceThicknessUm = 20000;
        QVERIFY(refusal({placed(boxMesh(10, 10, 1))}, p, thick).contains("SliceThickness"));
    }
};

QTEST_GUILESS_MAIN(RunLimitsTest)
#include "tst_run_limits.moc"

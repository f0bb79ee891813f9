#include <QtTest>
#include <cmath>

#include "slicing/GlContext.h"
#include "slicing/GlCrossSectionRenderer.h"
#include "slicing/LayerSchedule.h"
#include "support_slicing.h"

namespace {

// Runs a schedule to its end the way the slicer does; `flatness` stands in for the GPU sampler.
std::vector<float> runSchedule(LayerSchedule &s, const std::function<float(float cutMm)> &flatness = {},
                               std::vector<float> *cuts = nullptr)
{
    for (int n = 0; n < 100000; ++n) {
        s.cutLayer(n);
        s.chooseNextStep(flatness ? flatness(s.sampleZ() / s.settings().sceneScale) : 0.0f);
        if (cuts)
            cuts->push_back(s.cutMm());
        if (!s.hasNextLayer())
            break;
    }
    return s.heights();
}

ScheduleSettings settings(float thicknessUm, float maxZ)
{
    ScheduleSettings s;
    s.sliceThicknessUm = thicknessUm;
    s.maxZ = maxZ;
    s.sceneScale = 2.0f / (1920 * 0.05f) / 1.5f;
    return s;
}

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT
private slots:
    void regularSteps()
    {
        LayerSchedule s(settings(50, 10));
        std::vector<float> cuts;
        const std::vector<float> h = runSchedule(s, {}, &cuts);
        QCOMPARE(h.size(), std::size_t(200));
        QCOMPARE(h[0], 0.0f);
        QVERIFY(std::abs(h[1] - 0.05f) < 1e-6f);
        QVERIFY(std::abs(h.back() - 9.95f) < 1e-5f);
        // Each layer is cut in the middle of the slab it cures.
        QVERIFY(std::abs(cuts[0] - 0.025f) < 1e-6f);
        QVERIFY(std::abs(cuts[2] - 0.125f) < 1e-6f);
        QVERIFY(std::abs(cuts.back() - 9.975f) < 1e-5f);
        QVERIFY(!isVariableSchedule(h));

        // A next height equal to maxZ ends the run: 0, 0.1, 0.2 for maxZ 0.3.
        LayerSchedule exact(settings(100, 0.3f));
        QCOMPARE(runSchedule(exact).size(), std::size_t(3));
        // Nothing to slice still gives the first layer.
        LayerSchedule flat(settings(50, 0.0f));
        QCOMPARE(runSchedule(flat).size(), std::size_t(1));
    }

    void zCompensationDividesCutsNotHeights()
    {
        ScheduleSettings cfg = settings(100, 2.0f);
        cfg.zScaleFactor = 1.1f;
        LayerSchedule s(cfg);
        std::vector<float> cuts;
        const std::vector<float> h = runSchedule(s, {}, &cuts);
        QVERIFY(std::abs(h[5] - 0.5f) < 1e-6f);
        QVERIFY(std::abs(cuts[5] - 0.55f / 1.1f) < 1e-5f);
        QVERIFY(std::abs(cuts[0] - 0.05f / 1.1f) < 1e-6f);
        // The stop test works on cut heights: 2.0 × 1.1 mm of recorded height are reached.
        QVERIFY(std::abs(h.back() - 2.1f) < 1e-4f);
        QCOMPARE(h.size(), std::size_t(22));
    }

    void flexRangesChangeTheStepInside()
    {
        ScheduleSettings cfg = settings(50, 4.0f);
        cfg.flexSlices = {FlexSliceRange{2.0, 3.0, 25, 1.5}};
        LayerSchedule s(cfg);
        const std::vector<float> h = runSchedule(s);
        auto stepAfter = [&](float z) {
            for (std::size_t i = 0; i + 1 < h.size(); ++i)
                if (std::abs(h[i] - z) < 1e-4f)
                    return std::lround((h[i + 1] - h[i]) * 1000);
            return -1L;
        };
        QCOMPARE(stepAfter(1.95f), 50L);   // the step into the range is still regular
        QCOMPARE(stepAfter(2.0f), 50L);    // 2.0 is not strictly inside
        QCOMPARE(stepAfter(2.05f), 25L);
        QCOMPARE(stepAfter(2.975f), 25L);
        QCOMPARE(stepAfter(3.0f), 50L);
        QVERIFY(isVariableSchedule(h));
        // 0 … 2.0 regular (41 layers), 2.05 … 3.0 by 25 µm (39), 3.05 … 3.95 regular (19).
        QCOMPARE(h.size(), std::size_t(41 + 39 + 19));

        QCOMPARE(flexStepFor(2.5f, 50, {FlexSliceRange{3.0, 2.0, 25, 1}}), 50.0f);   // from above to never matches
        QCOMPARE(flexStepFor(2.9995f, 50, {FlexSliceRange{2.0, 3.0, 25, 1}}), 50.0f);

        // A flex layer is cut in the middle of its own slab.
        LayerSchedule again(cfg);
        std::vector<float> cuts;
        const std::vector<float> h2 = runSchedule(again, {}, &cuts);
        for (std::size_t i = 0; i + 1 < h2.size(); ++i)
            QVERIFY(std::abs(cuts[i] - (h2[i] + h2[i + 1]) / 2) < 1e-5f);
    }

    void flexBoundsAreExact()
    {
        // Heights summed from 50 µm steps reach 0.5 and 1.0 mm exactly, so a layer lying on a
        // bound is not inside the range: the step into the range is the regular one, and the
        // layer at the upper bound steps regularly again.
        ScheduleSettings cfg = settings(50, 1.5f);
        cfg.flexSlices = {FlexSliceRange{0.5, 1.0, 25, 1}};
        LayerSchedule s(cfg);
        const std::vector<float> h = runSchedule(s);
        std::vector<long> um;
        for (float v : h)
            um.push_back(std::lround(double(v) * 1000));
        auto stepAfterUm = [&](long z) {
            for (std::size_t i = 0; i + 1 < um.size(); ++i)
                if (um[i] == z)
                    return um[i + 1] - z;
            return -1L;
        };
        QCOMPARE(stepAfterUm(450), 50L);
        QCOMPARE(stepAfterUm(500), 50L);   // on the lower bound: outside
        QCOMPARE(stepAfterUm(550), 25L);
        QCOMPARE(stepAfterUm(975), 25L);
        QCOMPARE(stepAfterUm(1000), 50L);  // on the upper bound: outside
        QCOMPARE(h[10], 0.5f);             // 10 × 50 µm, not a float sum
        QCOMPARE(h[11], 0.55f);
        // 0 … 0.5 (11 layers), 0.55 … 0.975 by 25 µm (18), 1.0 … 1.45 (10).
        QCOMPARE(h.size(), std::size_t(11 + 18 + 10));
    }

    void variableStepsFollowTheTable()
    {
        // The table's end points: the flattest faces get the finest step, nothing sampled the coarsest.
        const VariableStepTable t = VariableStepTable::defaults();
        QCOMPARE(variableStepFor(std::cos(5 * M_PI / 180), t), 10.0f);
        QCOMPARE(variableStepFor(0.0f, t), 100.0f);
        // Zero steps would never reach the top: such a table is refused before the run.
        ScheduleSettings cfg = settings(0, 5);
        QVERIFY(cfg.variableMode());
        QVERIFY(cfg.check().isEmpty());
        cfg.variableSteps.maxStep = 0;
        QVERIFY(!cfg.check().isEmpty());
        ScheduleSettings flex = settings(50, 5);
        flex.flexSlices = {FlexSliceRange{1, 2, 0, 1}};
        QVERIFY(!flex.check().isEmpty());
    }

    void regularOrVariable()
    {
        QVERIFY(!isVariableSchedule({0, 0.05f, 0.10f, 0.15f}));
        QVERIFY(isVariableSchedule({0, 0.05f, 0.10f, 0.20f}));
        QVERIFY(!isVariableSchedule({0, 0.5f, 0.55f, 0.60f}));   // the first step is not compared
        QVERIFY(!isVariableSchedule({0, 0.05f, 0.5f}));           // too short to tell
    }

    // Variable steps with the GPU normal sampler.
    void variableStepsFromTheSurfaces()
    {
        QString error;
        auto ctx = GlContext::createCurrent(&error);
        QVERIFY2(ctx, qPrintable(error));
        GlCrossSectionRenderer renderer;
        SliceParameters p;
        p.pixelSizeXUm = p.pixelSizeYUm = 50;
        QVERIFY(renderer.configure(p, &error));
        const float scale = p.sceneScale();

        // Vertical walls only: nothing passes the 70° filter, every step is the maximum.
        const std::vector<SliceObject> box = {placed(boxMesh(10, 10, 3))};
        ScheduleSettings cfg = settings(0, 3);
        cfg.sceneScale = scale;
        LayerSchedule walls(cfg);
        const std::vector<float> hw =
            runSchedule(walls, [&](float cutMm) { return flatnessOf(renderer.sampleNormals(box, cutMm * scale)); });
        QCOMPARE(hw.size(), std::size_t(30));
        QVERIFY(std::abs(hw[1] - 0.1f) < 1e-5f && std::abs(hw[29] - 2.9f) < 1e-4f);

        // A roof rising 10° (cos 0.985): 25 µm steps while the cut crosses it, from 2 mm up.
        const float rise = 20 * std::tan(10 * float(M_PI) / 180);
        const std::vector<SliceObject> ramp = {placed(rampMesh(20, 10, 2, 2 + rise))};
        const NormalRange r = renderer.sampleNormals(ramp, 3.0f * scale);
        QCOMPARE(r.count, 2);
        QVERIFY(std::abs(r.smallest + std::cos(10 * float(M_PI) / 180)) < 1e-3f);   // faces up: negative
        ScheduleSettings rc = settings(0, 2 + rise);
        rc.sceneScale = scale;
        LayerSchedule roof(rc);
        const std::vector<float> hr =
            runSchedule(roof, [&](float cutMm) { return flatnessOf(renderer.sampleNormals(ramp, cutMm * scale)); });
        QVERIFY(std::abs(hr[1] - 0.1f) < 1e-5f);
        for (std::size_t i = 1; i + 1 < hr.size(); ++i) {
            const long step = std::lround((hr[i + 1] - hr[i]) * 1000);
            QCOMPARE(step, hr[i] < 1.95f ? 100L : 25L);
        }

        // Flattest wins: a steep face below a nearly flat one at the same height.
        const NormalRange mixed{-0.5f, 0.995f, 2};
        QCOMPARE(variableStepFor(flatnessOf(mixed), VariableStepTable::defaults()), 10.0f);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"

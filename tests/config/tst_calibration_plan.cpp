#include <QtTest>

#include "config/CalibrationImages.h"
#include "config/CalibrationPlan.h"

namespace {

CalibrationSettings linearRow()
{
    CalibrationSettings s;
    s.fill = CalibrationFill::Linear;
    s.initialExposureS = 5;
    s.incrementS = 2;
    s.rows = 1;
    s.columns = 4;
    s.baseLayers = 2;
    s.normalLayers = 3;
    s.baseExposureS = 30;
    s.thicknessUm = 50;
    return s;
}

// Total exposure of each patch over one normal layer, from the schedule and the light order:
// a patch is lit in image j while j ≤ its position in the order.
QList<double> receivedPerPatch(const CalibrationSettings &s)
{
    const std::vector<CalibrationImage> images = calibrationSchedule(s);
    const std::vector<int> order = calibrationLightOrder(s);
    QList<double> out;
    for (int k = 0; k < s.rows * s.columns; ++k) {
        const int item = s.grayscale ? k % s.columns : k;
        const int last = int(std::find(order.begin(), order.end(), item) - order.begin());
        double sum = 0;
        for (int j = 0; j <= last; ++j)
            sum += images[std::size_t(s.baseLayers + j)].exposureS;
        out << sum;
    }
    return out;
}

} // namespace

// The calibration table, its schedule and buildscript.ini, against hand-computed values.
class CalibrationPlanTest : public QObject
{
    Q_OBJECT
private slots:
    void tableFormulas()
    {
        QCOMPARE(calibrationRow(CalibrationFill::Linear, 5, 2, 4), (QList<double>{5, 7, 9, 11}));
        QCOMPARE(calibrationRow(CalibrationFill::Exponential, 2, 1.5, 3), (QList<double>{2, 3, 4.5}));
        CalibrationSettings s = linearRow();
        s.rows = 2;
        QCOMPARE(calibrationExposures(s), (QList<double>{5, 7, 9, 11, 5, 7, 9, 11}));
        s.exposuresS = {1, 2, 3, 4, 5, 6, 7, 8};   // a table of the user's own wins
        QCOMPARE(calibrationExposures(s), s.exposuresS);
    }

    void scheduleOfBaseAndNormalLayers()
    {
        const CalibrationSettings s = linearRow();
        QCOMPARE(calibrationImagesPerLayer(s), 4);
        QCOMPARE(calibrationImageCount(s), 14);
        const std::vector<CalibrationImage> images = calibrationSchedule(s);
        QCOMPARE(int(images.size()), 14);
        const double zs[14] = {0, 0.05, 0.1, 0.1, 0.1, 0.1, 0.15, 0.15, 0.15, 0.15, 0.2, 0.2, 0.2, 0.2};
        const double exposures[14] = {30, 30, 5, 2, 2, 2, 5, 2, 2, 2, 5, 2, 2, 2};
        const double lifts[14] = {4, 4, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 4};
        for (int i = 0; i < 14; ++i) {
            QVERIFY2(qAbs(images[i].zMm - zs[i]) < 1e-9, qPrintable(QString::number(i)));
            QCOMPARE(images[i].exposureS, exposures[i]);
            QCOMPARE(images[i].lift, lifts[i]);
            QCOMPARE(images[i].pattern, i < 2 ? -1 : (i - 2) % 4);
        }

        const QByteArray expected = "Machine = 0\r\n"
                                    "Slice thickness = 50\r\n"
                                    "number of slices = 14\r\n"
                                    "illumination time = 11\r\n"
                                    "number of override slices = -1\r\n"
                                    "override illumination time = 30\r\n"
                                    "0.0000, S000001_P1, 30.0, 4.0\r\n"
                                    "0.0500, S000002_P1, 30.0, 4.0\r\n"
                                    "0.1000, S000003_P1, 5.0, 0.0\r\n"
                                    "0.1000, S000004_P1, 2.0, 0.0\r\n";
        const QByteArray text = calibrationBuildscriptText(s, 0);
        QVERIFY(text.startsWith(expected));
        QVERIFY(text.endsWith("0.2000, S000014_P1, 2.0, 4.0\r\n"));
        QCOMPARE(text.count("\r\n"), 6 + 14);
        QCOMPARE(text.count('\n'), 6 + 14);
    }

    void eachPatchReceivesItsOwnTime()
    {
        // One row: the patches finish in table order.
        CalibrationSettings s = linearRow();
        QCOMPARE(calibrationLightOrder(s), (std::vector<int>{0, 1, 2, 3}));
        QCOMPARE(receivedPerPatch(s), calibrationExposures(s));

        // Two rows without the grey switch repeat the row; the second row must not be
        // reached by negative image times (5 − 11) but get 5, 7, 9, 11 as the first.
        s.rows = 2;
        QCOMPARE(calibrationImagesPerLayer(s), 8);
        QCOMPARE(calibrationLightOrder(s), (std::vector<int>{0, 4, 1, 5, 2, 6, 3, 7}));
        for (const CalibrationImage &image : calibrationSchedule(s))
            QVERIFY(image.exposureS >= 0);
        QCOMPARE(receivedPerPatch(s), calibrationExposures(s));

        // A row edited by hand into any order.
        s.rows = 1;
        s.exposuresS = {9, 3, 12, 6};
        QCOMPARE(receivedPerPatch(s), s.exposuresS);
        QCOMPARE(calibrationSchedule(s)[2].exposureS, 3.0);

        // Grey rows: one image per column, every row exposed like row 0.
        s = linearRow();
        s.rows = 3;
        s.grayscale = true;
        s.grayPercent = {100, 50, 20};
        QCOMPARE(calibrationImagesPerLayer(s), 4);
        QCOMPARE(calibrationImageCount(s), 14);
        QCOMPARE(receivedPerPatch(s), (QList<double>{5, 7, 9, 11, 5, 7, 9, 11, 5, 7, 9, 11}));
    }

    void unusableFieldsAreNamed()
    {
        CalibrationSettings s = linearRow();
        QVERIFY(s.check().isEmpty());
        s.columns = 9;
        QVERIFY(s.check().contains("horizontal"));
        s = linearRow();
        s.rows = 0;
        QVERIFY(s.check().contains("vertical"));
        s = linearRow();
        s.incrementS = -2;   // 5, 3, 1, -1
        QVERIFY(s.check().contains("pattern 4 (row 1, column 4)"));
        s = linearRow();
        s.normalLayers = 0;
        QVERIFY(!s.check().isEmpty());
        s = linearRow();
        s.widthPx = 0;
        QVERIFY(!s.check().isEmpty());
    }

    void patchAndBaseGeometry()
    {
        CalibrationSettings s = linearRow();   // 1920 × 1080, one row of four
        QCOMPARE(calibrationPatchRect(s, 0, 0), QRect(500, 440, 200, 200));
        QCOMPARE(calibrationPatchRect(s, 0, 3), QRect(1220, 440, 200, 200));
        QCOMPARE(calibrationBaseRect(s), QRect(480, 420, 960, 240));
        s.columns = 8;
        QCOMPARE(calibrationBaseRect(s), QRect(0, 420, 1920, 240));
        QCOMPARE(calibrationPatchRect(s, 0, 0).left(), 20);
        s.rows = 4;
        s.columns = 3;
        s.widthPx = 1001;   // odd sizes truncate after the half
        s.heightPx = 999;
        QCOMPARE(calibrationPatchRect(s, 0, 0), QRect(int(-240 - 100 + 500.5), int(-360 - 100 + 499.5), 200, 200));
        QCOMPARE(calibrationBaseRect(s), QRect((1001 - 720) / 2, (999 - 960) / 2, 720, 960));

        const QImage base = calibrationBaseImage(s);
        QCOMPARE(base.format(), QImage::Format_Grayscale8);
        QCOMPARE(qGray(base.pixel(140, 19)), 255);
        QCOMPARE(qGray(base.pixel(139, 19)), 0);
        QCOMPARE(qGray(base.pixel(140, 18)), 0);
        QCOMPARE(qGray(base.pixel(859, 978)), 255);
        QCOMPARE(qGray(base.pixel(860, 978)), 0);
    }

    void patternImagesDarkenOnePatchAtATime()
    {
        CalibrationSettings s = linearRow();
        s.rows = 2;
        s.columns = 2;
        s.widthPx = 800;
        s.heightPx = 600;
        const QList<QImage> images = calibrationPatternImages(s);
        QCOMPARE(images.size(), 4);
        // Light order 0, 2, 1, 3 (equal rows): image j lights the patches of order ≥ j.
        const int order[4] = {0, 2, 1, 3};
        for (int j = 0; j < 4; ++j) {
            for (int pos = 0; pos < 4; ++pos) {
                const int k = order[pos];
                const QRect r = calibrationPatchRect(s, k / 2, k % 2);
                const int expected = pos >= j ? 255 : 0;
                // A corner of the upper half and one of the lower half, clear of text and bars.
                QCOMPARE(qGray(images[j].pixel(r.left() + 3, r.top() + 3)), expected);
                QCOMPARE(qGray(images[j].pixel(r.right() - 3, r.bottom() - 3)), expected);
            }
            QCOMPARE(qGray(images[j].pixel(0, 0)), 0);
        }
    }

    void linePatternsAndGreyRows()
    {
        CalibrationSettings s = linearRow();
        s.rows = 2;
        s.columns = 1;
        s.widthPx = 400;
        s.heightPx = 600;
        s.labels = false;
        s.grayscale = true;
        s.grayPercent = {100, 50};
        const QImage image = calibrationPatternImages(s).first();
        const QRect r0 = calibrationPatchRect(s, 0, 0);
        const QRect r1 = calibrationPatchRect(s, 1, 0);
        QCOMPARE(qGray(image.pixel(r0.center())), 255);
        QCOMPARE(qGray(image.pixel(r1.left() + 5, r1.top() + 5)), 127);   // trunc(50 · 255 / 100)
        // Bars 2, 4, 8, 16, 32, 64 px wide from x = 10 with 10 px gaps, y = 10 … 89 of the lower half.
        const int starts[6] = {10, 22, 36, 54, 80, 122};
        const int widths[6] = {2, 4, 8, 16, 32, 64};
        const int top = r1.top() + 100;
        for (int b = 0; b < 6; ++b) {
            const int x = r1.left() + starts[b];
            QCOMPARE(qGray(image.pixel(x - 1, top + 50)), 127);
            QCOMPARE(qGray(image.pixel(x, top + 50)), 0);
            QCOMPARE(qGray(image.pixel(x + widths[b] - 1, top + 50)), 0);
            QCOMPARE(qGray(image.pixel(x + widths[b], top + 50)), 127);
            QCOMPARE(qGray(image.pixel(x, top + 10)), 0);
            QCOMPARE(qGray(image.pixel(x, top + 89)), 0);
            QCOMPARE(qGray(image.pixel(x, top + 9)), 127);
            QCOMPARE(qGray(image.pixel(x, top + 90)), 127);
        }
        // The label is cut out of the upper half in black.
        s.labels = true;
        const QImage labelled = calibrationPatternImages(s).first();
        int dark = 0;
        for (int y = r0.top(); y < r0.top() + 100; ++y)
            for (int x = r0.left(); x <= r0.right(); ++x)
                dark += qGray(labelled.pixel(x, y)) < 128;
        QVERIFY2(dark > 500 && dark < 15000, qPrintable(QString::number(dark)));
    }
};

QTEST_MAIN(CalibrationPlanTest)
#include "tst_calibration_plan.moc"

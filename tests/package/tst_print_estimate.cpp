#include <QtTest>

#include "package/PrintEstimate.h"

// The print time of a package: exposures of the schedule plus the platform's lift and return
// after each layer, against a hand computation.
class TestPrintEstimate : public QObject
{
    Q_OBJECT

private slots:
    void timeOfASchedule()
    {
        PackageDescription run;
        run.firstLayerCount = 2;
        run.firstLayerExposureS = 30;
        run.normalExposureS = 5;
        run.supportExposureS = 2;
        // Six images; the fourth layer is split for the support exposure (kinds 2 and 3): its
        // first image has no lift, the platform stays for the support image.
        run.images = {{0.0, 0}, {0.05, 0}, {0.1, 0}, {0.15, 2}, {0.15, 3}, {0.2, 0}};
        MotionSettings m;
        m.liftSpeedMmPerMin = 60;      // 4 mm in 4 s
        m.retractSpeedMmPerMin = 120;  // 4 mm in 2 s
        m.holdBeforeLiftS = 0.5;
        m.holdBeforeRetractS = 0.25;
        m.holdBeforeExposureS = 1.0;
        // Exposures 30 + 30 + 5 + 5 + 2 + 5 = 77 s; six waits before exposing, 6 s; five lifts of
        // 0.5 + 4 + 0.25 + 2 = 6.75 s, 33.75 s.
        QCOMPARE(printTimeSeconds(run, m), 116.75);

        // Flex ranges scale the exposure of the images inside them.
        run.flexEnabled = true;
        run.flexRanges = {FlexSliceRange{0.17, 0.3, 50, 2.0}};
        QCOMPARE(printTimeSeconds(run, m), 121.75);

        // A machine that cannot move (speed 0) gets no motion time rather than an endless one.
        m.liftSpeedMmPerMin = 0;
        QCOMPARE(printTimeSeconds(run, m), 121.75 - 5 * 4.0);
        QCOMPARE(printTimeSeconds(PackageDescription(), MotionSettings()), 0.0);
    }

    void texts()
    {
        QCOMPARE(durationText(42.4), QString("42 s"));
        QCOMPARE(durationText(725), QString("12 min 05 s"));
        QCOMPARE(durationText(3 * 3600 + 7 * 60 + 10), QString("3 h 07 min"));
        QCOMPARE(durationText(3599.6), QString("1 h 00 min"));
        QCOMPARE(durationText(-3), QString("0 s"));
        QCOMPARE(resinVolumeText(1.234), QString("1.23 ml"));
        QCOMPARE(resinVolumeText(123.456), QString("123.5 ml"));
    }
};

QTEST_GUILESS_MAIN(TestPrintEstimate)
#include "tst_print_estimate.moc"

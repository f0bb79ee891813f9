#include <QtTest>

#ifdef ORVELL_HAVE_SLICING_UI
#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>

#include "slicing/ui/UnitFlexSlice.h"
#endif

// A flex-slice row: boxes and sliders stay in step, and the row reports what changed.
class TestFlexSlice : public QObject
{
    Q_OBJECT
private slots:
    void rowKeepsBoxesAndSlidersInStep()
    {
#ifndef ORVELL_HAVE_SLICING_UI
        QSKIP("built without widgets");
#else
        UnitFlexSlice row;
        auto *inpFrom = row.findChild<QDoubleSpinBox *>("inpFrom");
        auto *inpTo = row.findChild<QDoubleSpinBox *>("inpTo");
        auto *sliderFrom = row.findChild<QSlider *>("sliderFrom");
        auto *sliderTo = row.findChild<QSlider *>("sliderTo");
        QVERIFY(inpFrom && inpTo && sliderFrom && sliderTo);
        QCOMPARE(row.thickness(), 50);
        QCOMPARE(row.exposureRatio(), 100);
        QVERIFY(!row.isOn());
        QVERIFY(!inpFrom->isEnabled());

        QSignalSpy enabled(&row, &UnitFlexSlice::signalEnableFlexSlice);
        row.on_pbEnable_clicked();
        QVERIFY(row.isOn() && inpFrom->isEnabled());
        QCOMPARE(enabled.takeFirst().at(0).toBool(), true);

        QSignalSpy range(&row, &UnitFlexSlice::signalUpdateRange);
        inpTo->setValue(3.0);
        QCOMPARE(sliderTo->value(), 3000);
        QCOMPARE(sliderFrom->maximum(), 3000);
        inpFrom->setValue(2.0);
        QCOMPARE(sliderFrom->value(), 2000);
        QCOMPARE(sliderTo->minimum(), 2000);
        QCOMPARE(range.size(), 2);   // once per change, not echoed by the sliders
        QCOMPARE(range.last().at(0).toDouble(), 2.0);
        QCOMPARE(range.last().at(1).toDouble(), 3.0);

        sliderTo->setValue(2500);
        QCOMPARE(inpTo->value(), 2.5);
        QCOMPARE(sliderFrom->maximum(), 2500);
        QCOMPARE(range.size(), 3);

        row.updateMaxZ(2.2);
        QCOMPARE(inpTo->maximum(), 2.2);
        QCOMPARE(sliderTo->maximum(), 2200);

        QSignalSpy removed(&row, &UnitFlexSlice::signalDeleteFlexSlice);
        row.on_pbRemove_clicked();
        QCOMPARE(removed.size(), 1);
#endif
    }
};

QTEST_MAIN(TestFlexSlice)
#include "tst_flexslice.moc"

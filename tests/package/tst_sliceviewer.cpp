#include <QtTest>

#include "package/SliceViewer.h"

// The slice viewer's rules: where the buttons lead, packed layers, zoom limits, preview states.
class SliceViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void buttonsStopAtTheEnds()
    {
        // Ten layers: forward from the last and back from the first do nothing.
        QCOMPARE(forwardLayer(8, 10), 9);
        QCOMPARE(forwardLayer(9, 10), -1);
        QCOMPARE(previousLayer(1), 0);
        QCOMPARE(previousLayer(0), -1);
        QCOMPARE(forwardLayer(0, 1), -1);
    }

    void packedLayersAreShownThreeTimesAsWide()
    {
        QImage packed(1280, 1080, QImage::Format_RGB888);
        packed.fill(Qt::black);
        packed.setPixelColor(0, 0, QColor(10, 20, 30));
        packed.setPixelColor(1279, 1079, QColor(200, 0, 255));
        const QImage grey = expandPackedLayer(packed);
        QCOMPARE(grey.size(), QSize(3840, 1080));
        QCOMPARE(sliceSizeText(grey), QString("3840 x 1080"));
        QCOMPARE(grey.format(), QImage::Format_Grayscale8);
        const uchar *top = grey.constScanLine(0);
        QCOMPARE((QList<int>{top[0], top[1], top[2], top[3]}), (QList<int>{10, 20, 30, 0}));
        const uchar *bottom = grey.constScanLine(1079);
        QCOMPARE((QList<int>{bottom[3837], bottom[3838], bottom[3839]}), (QList<int>{200, 0, 255}));

        // Any other width is shown as it is.
        const QImage plain(1920, 1080, QImage::Format_Grayscale8);
        QCOMPARE(expandPackedLayer(plain).size(), QSize(1920, 1080));
    }

    void wheelZoomsWithinLimits()
    {
        // Towards the user: larger until the scale has passed 2.5, then nothing.
        double scale = initialSliceViewScale;
        int steps = 0;
        for (; steps < 1000; ++steps) {
            const double next = zoomedSliceViewScale(scale, -120);
            if (next == scale)
                break;
            QVERIFY(next > scale);
            scale = next;
        }
        QVERIFY(scale >= 2.5 && scale < 2.5 * std::pow(1.001, 120));
        // One notch is 1.001^120, about 12.7 %: from 0.5 it takes 14 notches to pass 2.5.
        QCOMPARE(steps, 14);
        // Away from the user: smaller until the scale is at or below 0.3.
        for (steps = 0; steps < 1000; ++steps) {
            const double next = zoomedSliceViewScale(scale, 120);
            if (next == scale)
                break;
            scale = next;
        }
        QVERIFY(scale <= 0.3 && scale > 0.3 / std::pow(1.001, 120));
        QCOMPARE(zoomedSliceViewScale(1.0, 0), 1.0);
    }

    void previewButtonCyclesAndTheSliderFollowsARun()
    {
        int state = 0;
        QStringList texts;
        for (int i = 0; i < 3; ++i) {
            state = nextPreviewState(state);
            texts << previewStateText(state);
        }
        QCOMPARE(texts, (QStringList{"S1", "S2", "S0"}));
        // 12.34 mm scene, run at 25 %: 3085 µm (3.085 mm, the integer part of µm).
        QCOMPARE(previewSliderValueUm(12.34, 0.25), 3085);
        QCOMPARE(previewSliderValueUm(10.0, 0.3), 3000);
    }
};

QTEST_GUILESS_MAIN(SliceViewerTest)
#include "tst_sliceviewer.moc"

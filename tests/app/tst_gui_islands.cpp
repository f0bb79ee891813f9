#include <QAction>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>
#include <memory>

#include "app/Window.h"
#include "imaging/LayerPng.h"
#include "package/Archiver.h"
#include "package/PackageFiles.h"
#include "support_window.h"
#include "view/ui/Canvas.h"

// After "Make Slices" the window tells what the run found: the islands in the log and the
// status bar, marked on the slice tab's picture with a button to the next one, and as markers
// in the 3D view; and the resin the layers take.
class TestGuiIslands : public WindowTest
{
    Q_OBJECT
public:
    TestGuiIslands() : WindowTest(SmallPrinterSettings, ShownWindow) {}

private:
    // A 20 × 16 × 1 mm plate and a 4 × 4 × 2 mm block floating over it at (3, −2) mm from
    // 3.07 mm up, as one model (the window keeps its parts where they are).
    void writeFloatingBlock(const QString &path)
    {
        QByteArray obj;
        int n = 0;
        auto box = [&](double cx, double cy, double z0, double sx, double sy, double sz) {
            for (int k = 0; k < 8; ++k)
                obj += QString("v %1 %2 %3\n")
                           .arg(cx + ((k & 1) ? sx : -sx) / 2)
                           .arg(cy + ((k >> 1 & 1) ? sy : -sy) / 2)
                           .arg(z0 + ((k >> 2 & 1) ? sz : 0))
                           .toUtf8();
            for (const char *f : {"1 3 4 2", "5 6 8 7", "1 2 6 5", "3 7 8 4", "1 5 7 3", "2 4 8 6"}) {
                QByteArray line = "f";
                for (const QByteArray &i : QByteArray(f).split(' '))
                    line += " " + QByteArray::number(i.toInt() + n);
                obj += line + "\n";
            }
            n += 8;
        };
        box(0, 0, 0, 20, 16, 1);
        box(3, -2, 3.07, 4, 4, 2);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(obj);
    }

    void makeSlices(Window &w)
    {
        QSignalSpy handed(w.canvas, &Canvas::signalSlicingEnded);
        w.findChild<QDoubleSpinBox *>("inpSliceThickness")->setValue(100);
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 60000);
    }

private slots:

    void islandIsReportedMarkedAndReachable()
    {
        writeFloatingBlock(m_data->filePath("floating.obj"));
        Window &w = *m_window;
        loadModel(w, m_data->filePath("floating.obj"));
        makeSlices(w);

        // Layers of 0.1 mm cut through their middles: layer 31 (3.1 to 3.2 mm) is the block's first.
        QCOMPARE(int(w.sliceIslands.size()), 1);
        const QString summary = QString("1 island: layer 31 at (3.0, \u22122.0) mm");
        QVERIFY2(logText(w).contains(summary), qPrintable(logText(w)));
        // 20 × 16 × 1 + 4 × 4 × 2 mm³.
        QVERIFY2(logText(w).contains("Resin: 0.35 ml"), qPrintable(logText(w)));
        QVERIFY(w.statusBar()->currentMessage().contains(summary));
        const std::vector<float> marker = {3.0f, -2.0f, 3.1f};
        QCOMPARE(w.canvas->islandMarkersMm.size(), std::size_t(3));
        for (int k = 0; k < 3; ++k)
            QVERIFY(std::abs(w.canvas->islandMarkersMm[std::size_t(k)] - marker[std::size_t(k)]) < 1e-4f);

        // The button leads to the island's layer, whose picture carries the red frame.
        auto *next = w.findChild<QPushButton *>("pbSViewNextIsland");
        QVERIFY(next && next->isEnabled());
        auto *number = w.findChild<QSpinBox *>("inpSliceNumber");
        QCOMPARE(number->value(), 0);
        next->click();
        QCOMPARE(number->value(), 31);
        auto redPixels = [&w] {
            const QImage shown = w.currentSlice.toImage();
            int red = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    red += shown.pixel(x, y) == qRgb(255, 40, 40);
            return red;
        };
        QVERIFY(redPixels() > 4 * 40);
        next->click();   // the only island: it stays there
        QCOMPARE(number->value(), 31);
        number->setValue(30);
        QCOMPARE(redPixels(), 0);

        // A run without islands says so and leaves the button off; the markers go.
        w.canvas->removeObj(1);
        writeBox(m_data->filePath("box.obj"), 10, 10, 2);
        loadModel(w, m_data->filePath("box.obj"));
        onNextModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        makeSlices(w);
        QVERIFY(w.sliceIslands.empty());
        QVERIFY(logText(w).contains("no islands"));
        QVERIFY(!next->isEnabled());
        QVERIFY(w.canvas->islandMarkersMm.empty());
    }

    // A loaded package tells how long it prints: 60 + 8 + 8 s of light and three lifts of 4 mm
    // (4 s up at 60 mm/min, 1 1/3 s down at 180 mm/min).
    void loadedPackageTellsItsPrintTime()
    {
        PackageDescription run;
        run.widthPx = 30;
        run.heightPx = 20;
        run.firstLayerCount = 1;
        run.firstLayerExposureS = 60;
        run.normalExposureS = 8;
        run.images = {{0.05, 0}, {0.1, 0}, {0.15, 0}};
        PackageJob job;
        QString error;
        QVERIFY2(beginPackage(packagePathFor(m_data->filePath("part.lpk"), 50), &job, &error), qPrintable(error));
        for (int i = 0; i < 3; ++i)
            QVERIFY(writeLayerPng(cv::Mat(20, 30, CV_8UC1, cv::Scalar(255)), job.workFolder + "/" + layerFileName(i + 1), &error));
        QVERIFY2(finishPackage(job, run, {}, Archiver(), &error), qPrintable(error));

        Window &w = *m_window;
        QVERIFY(w.importPackage(job.packagePath));
        QVERIFY2(logText(w).contains("Print time: 1 min 32 s"), qPrintable(logText(w)));
        QCOMPARE(w.statusBar()->currentMessage(), QString("Print time: 1 min 32 s"));
    }
};

QTEST_MAIN(TestGuiIslands)
#include "tst_gui_islands.moc"

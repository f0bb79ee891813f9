#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "support_window.h"
#include "config/SettingsFile.h"
#include "scene/Scene.h"
#include "slicing/ui/ProgressWindow.h"
#include "slicing/ui/UnitFlexSlice.h"
#include "view/ui/Canvas.h"

namespace {

int litPixels(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    int n = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            n += row[x] > 127;
    }
    return n;
}

} // namespace

class TestSlicing : public WindowTest
{
    Q_OBJECT
public:
    TestSlicing() : WindowTest(SmallPrinterSettings, ShownWindow) {}

private:
    // A box of 10 × 10 × heightMm mm in the window, to be sliced at `thicknessUm`.
    Window &windowWithBox(float heightMm, double thicknessUm)
    {
        writeBox(dataPath("box.obj"), 10, 10, heightMm);
        loadModel(*m_window, dataPath("box.obj"));
        m_window->findChild<QDoubleSpinBox *>("inpSliceThickness")->setValue(thicknessUm);
        return *m_window;
    }

private slots:
    void makeSlicesWritesTheLayersAndHandsThemToTheWindow()
    {
        Window &w = *m_window;
        QSignalSpy handed(w.canvas, &Canvas::signalUpdateSliceFilename);

        // Only the build plate: a notice, no run.
        const auto notices = watchNotices();
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE(notices->value(0).trimmed(), QStringLiteral("There is no model to proceed."));
        QVERIFY(!w.canvas->isSlicing());
        QCOMPARE(handed.count(), 0);

        windowWithBox(1, 100);
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 60000);

        const QStringList names = handed.at(0).at(0).value<QList<QString>>();
        QCOMPARE(names.size(), 10);   // 1 mm at 100 µm
        const QString temp = QDir(dataPath("temp")).absolutePath();
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(QFileInfo(names[i]).absolutePath(), temp);
            QCOMPARE(QFileInfo(names[i]).fileName(), QString::asprintf("S%06d_P1.png", i + 1));
            QVERIFY(QFileInfo(names[i]).isFile());
        }
        QCOMPARE(w.sliceFileNames, names);
        QCOMPARE(w.sliceHeights.size(), std::size_t(10));
        QCOMPARE(w.sliceHeights[1], 0.1f);
        QCOMPARE(w.layerCodes, QVector<int>(10, 0).toList());
        QVERIFY(!w.variableSteps);
        QCOMPARE(w.findChild<QTabWidget *>("tabWidget")->currentIndex(), 1);
        QCOMPARE(w.findChild<QPushButton *>("pbSlicePreview")->text(), QStringLiteral("S0"));
        QVERIFY(!w.findChild<QLabel *>("labelSliceView")->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(!w.canvas->progressWindow());
        QVERIFY(logText(w).contains("]   Slicing started"));
        QVERIFY(logText(w).contains(QRegularExpression("\\]   Slicing time: \\d+\\.\\d seconds\\.")));

        // The layers show the square in the middle of the 300 × 200 image.
        const QImage layer(names[5]);
        QCOMPARE(layer.size(), QSize(300, 200));
        QVERIFY(qGray(layer.pixel(150, 100)) > 127 && qGray(layer.pixel(20, 20)) == 0);

        // Existing slices: Cancel keeps them, Yes slices again.
        onNextModal<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Slice images exist"));
            box->button(QMessageBox::Cancel)->click();
        });
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QVERIFY(!w.canvas->isSlicing());
        QCOMPARE(w.sliceFileNames, names);
        onNextModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 2, 60000);
        QCOMPARE(w.sliceFileNames, names);
    }

    void inMemoryRunHandsOverPictures()
    {
        Window &w = windowWithBox(1, 100);
        w.findChild<QCheckBox *>("cbSliceOnDisk")->setChecked(false);
        QSignalSpy handed(w.canvas, &Canvas::signalUpdateSlice);
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 60000);
        QCOMPARE(w.sliceImages.size(), 10);
        QVERIFY(w.sliceFileNames.isEmpty());
        QCOMPARE(w.sliceImages[3].size(), QSize(300, 200));
        QVERIFY(litPixels(w.sliceImages[3].toImage()) > 98 * 98);
        QVERIFY(!QDir(dataPath("temp")).exists() || QDir(dataPath("temp")).entryList({"S*.png"}).isEmpty());

        // One cross-section on request: the square inside the box, nothing above it.
        w.canvas->getSliceAt(0.5f);
        QCOMPARE(handed.count(), 2);
        QCOMPARE(w.sliceImages.size(), 1);
        QVERIFY(litPixels(w.sliceImages[0].toImage()) > 98 * 98);
        w.canvas->getSliceAt(3.0f);
        QCOMPARE(w.sliceImages.size(), 1);
        QCOMPARE(litPixels(w.sliceImages[0].toImage()), 0);
    }

    void cancelKeepsTheFinishedLayers()
    {
        Window &w = windowWithBox(10, 25);   // 400 layers; the run is cancelled long before

        // The run reports after each slice of time it worked (several layers); Cancel at the first.
        int reports = 0;
        connect(w.canvas, &Canvas::signalPreviewSliderChange, dialogWatchers(), [&] {
            if (++reports == 1) {
                ProgressWindow *progress = w.canvas->progressWindow();
                QVERIFY(progress && progress->isVisible());
                QCOMPARE(progress->titleText(), QStringLiteral("Slicing the scene"));
                progress->findChild<QPushButton *>("pbCancel")->click();
            }
        });
        QSignalSpy handed(w.canvas, &Canvas::signalUpdateSliceFilename);
        w.findChild<QAction *>("actionMake_Slices")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(handed.count(), 1, 60000);

        // Layers already in the works when Cancel came are finished and kept too.
        const QStringList names = handed.at(0).at(0).value<QList<QString>>();
        QVERIFY2(names.size() >= 1 && names.size() < 400, qPrintable(QString::number(names.size())));
        QCOMPARE(QDir(dataPath("temp")).entryList({"S*_P1.png"}).size(), names.size());
        for (const QString &name : names)
            QVERIFY(QFileInfo(name).isFile());
        QCOMPARE(w.sliceFileNames, names);
        QCOMPARE(w.canvas->lastSliceResult(), Slicer::Cancelled);
        QVERIFY(!w.canvas->isSlicing());
        QTRY_VERIFY(!w.canvas->progressWindow());
        QVERIFY(logText(w).contains("]   Slicing is canceled."));
        QVERIFY(!logText(w).contains("Slicing time:"));
    }

    void flexRowsRoundTripThroughTheSettingsFile()
    {
        m_window.reset();
        writeSmallPrinterSettings(dataPath("settings.ini"), [](EnvironmentSettings &s) {
            // More decimals than the row shows: kept as long as nobody edits the list.
            s.slice.flexSlices = {FlexSliceEntry{"Stored", 1.234, 4.0, 30, 120, true}};
        });
        {
            Window w;
            QCOMPARE(w.flexSliceRows().size(), 1);
            QCOMPARE(w.flexSliceRows().first()->title(), QStringLiteral("Stored"));
            QVERIFY(w.flexSliceRows().first()->isOn());
            QVERIFY(w.writeSettingsFile());
            EnvironmentSettings back = defaultEnvironmentSettings();
            QVERIFY(readSettingsFile(dataPath("settings.ini"), back));
            QCOMPARE(back.slice.flexSlices.size(), 1);
            QCOMPARE(back.slice.flexSlices.first().fromMm, 1.234);
        }
        {
            Window w;
            w.addFlexSlice("Thin walls", 2.0, 3.5, 20, 150, true);
            w.addFlexSlice();
            // A smaller scene does not cut a range that reaches above it.
            w.updateFlexSliceMaxZ(2.0);
            QCOMPARE(w.flexSliceRows().at(1)->to(), 3.5);
            // The Remove button of a row deletes that row.
            w.flexSliceRows().first()->findChild<QPushButton *>("pbRemove")->click();
            QVERIFY(w.writeSettingsFile());
        }
        const QList<FlexSliceEntry> expected{FlexSliceEntry{"Thin walls", 2.0, 3.5, 20, 150, true},
                                             FlexSliceEntry{QString(), 0.0, 0.0, 50, 100, false}};
        EnvironmentSettings back = defaultEnvironmentSettings();
        QVERIFY(readSettingsFile(dataPath("settings.ini"), back));
        QCOMPARE(back.slice.flexSlices.size(), 2);
        for (int i = 0; i < 2; ++i)
            QVERIFY2(back.slice.flexSlices[i] == expected[i], qPrintable(back.slice.flexSlices[i].title));
        Window again;
        QVERIFY(again.flexSliceEntries() == expected);
    }
};

QTEST_MAIN(TestSlicing)
#include "tst_gui_slicing.moc"

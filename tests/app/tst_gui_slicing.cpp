#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "support_window.h"
#include "app/Window.h"
#include "config/EnvironmentSettings.h"
#include "config/SettingsFile.h"
#include "scene/Scene.h"
#include "slicing/ui/ProgressWindow.h"
#include "slicing/ui/UnitFlexSlice.h"
#include "view/ui/Canvas.h"

namespace {

// The text of the transient notice shown while `action` runs.
QString noticeDuring(const std::function<void()> &action)
{
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&seen] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == "timedMessage" && box->isVisible())
                seen = box->text().trimmed();
    });
    poll.start(20);
    action();
    return seen;
}

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

class TestSlicing : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowTestData> m_data;

    QString dataPath(const QString &name) const { return m_data->filePath(name); }

    void writeSettings(const std::function<void(EnvironmentSettings &)> &edit = {})
    {
        writeSmallPrinterSettings(dataPath("settings.ini"), edit);
    }

private slots:
    void initTestCase() { qputenv("ORVELL3D_STARTUP_WAIT_MS", "0"); }

    void init()
    {
        m_data = std::make_unique<WindowTestData>();
        QVERIFY(m_data->isValid());
    }

    void cleanup()
    {
        m_data.reset();
    }

    void makeSlicesWritesTheLayersAndHandsThemToTheWindow()
    {
        writeSettings();
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy handed(w.canvas, &Canvas::signalUpdateSliceFilename);

        // Only the build plate: a notice, no run.
        QTRY_VERIFY_WITH_TIMEOUT(w.canvas->scene()->object(0)->mesh != nullptr, 10000);
        QCOMPARE(noticeDuring([&] { w.findChild<QAction *>("actionMake_Slices")->trigger(); }),
                 QStringLiteral("There is no model to proceed."));
        QVERIFY(!w.canvas->isSlicing());
        QCOMPARE(handed.count(), 0);

        writeBox(dataPath("box.obj"), 10, 10, 1);
        loadModel(w, dataPath("box.obj"));
        w.findChild<QDoubleSpinBox *>("inpSliceThickness")->setValue(100);
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
        writeSettings([](EnvironmentSettings &s) { s.slice.sliceOnDisk = false; });
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.findChild<QCheckBox *>("cbSliceOnDisk")->isChecked());
        writeBox(dataPath("box.obj"), 10, 10, 1);
        loadModel(w, dataPath("box.obj"));
        w.findChild<QDoubleSpinBox *>("inpSliceThickness")->setValue(100);
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
        writeSettings();
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        writeBox(dataPath("tall.obj"), 10, 10, 10);
        loadModel(w, dataPath("tall.obj"));
        w.findChild<QDoubleSpinBox *>("inpSliceThickness")->setValue(25);   // 400 layers; the run is cancelled long before

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
        writeSettings([](EnvironmentSettings &s) {
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

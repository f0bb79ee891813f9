#include <QAction>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest>
#include <opencv2/core.hpp>

#include "support_window.h"
#include "imaging/LayerPng.h"
#include "package/Archiver.h"
#include "package/PackageFiles.h"
#include "view/ui/Canvas.h"

namespace {

// A package written by our own export: layer i (1-based) is grey 20·i.
QString writePackage(const QString &chosenPath, int widthPx, int heightPx, int layers, bool packed = false)
{
    PackageDescription run;
    run.widthPx = packed ? widthPx * 3 : widthPx;
    run.heightPx = heightPx;
    run.firstLayerCount = 1;
    run.firstLayerExposureS = 60;
    run.normalExposureS = 8;
    for (int i = 0; i < layers; ++i)
        run.images.push_back({0.05 * (i + 1), 0});
    PackageJob job;
    QString error;
    if (!beginPackage(packagePathFor(chosenPath, 50), &job, &error))
        qFatal("beginPackage: %s", qPrintable(error));
    for (int i = 0; i < layers; ++i) {
        cv::Mat layer(heightPx, widthPx, packed ? CV_8UC3 : CV_8UC1, cv::Scalar::all(20 * (i + 1)));
        if (!writeLayerPng(layer, job.workFolder + "/" + layerFileName(i + 1), &error))
            qFatal("writeLayerPng: %s", qPrintable(error));
    }
    if (!finishPackage(job, run, {}, Archiver(), &error))
        qFatal("finishPackage: %s", qPrintable(error));
    return job.packagePath;
}

QByteArray unzipMember(const QString &package, const QString &member)
{
    QProcess p;
    p.start("unzip", {"-p", "-P", packagePassword(), package, member});
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

} // namespace

// The slice tab with a loaded package: the layer fields, the buttons, zoom, replace, and the
// preview cut of the 3D view.
class TestSliceView : public WindowTest
{
    Q_OBJECT
public:
    TestSliceView() : WindowTest(SmallPrinterSettings, ShownWindow) {}

private slots:
    void loadedPackageIsShownAndBrowsed()
    {
        QVERIFY(QDir().mkpath(m_data->filePath("packages")));
        const QString package = writePackage(m_data->filePath("packages/part.lpk"), 30, 20, 10);
        Window &w = *m_window;
        QVERIFY(!widget<QPushButton>(w, "pbReplaceSlice")->isEnabled());

        // Through the menu action and its open dialog.
        QString title;
        answerFileDialog(package, &title);
        widget<QAction>(w, "actionLoad_LBF_file")->trigger();
        QTRY_COMPARE(w.sliceFileNames.size(), 10);
        QCOMPARE(title, QString("Load LPK format file"));

        QCOMPARE(widget<QTabWidget>(w, "tabWidget")->currentIndex(), 1);
        QCOMPARE(w.packagePath, QFileInfo(package).absoluteFilePath());
        QCOMPARE(widget<QSpinBox>(w, "inpSliceNumber")->value(), 0);
        QCOMPARE(widget<QLabel>(w, "lblSliceSize")->text(), QString("30 x 20"));
        QCOMPARE(widget<QLineEdit>(w, "inpSliceHeight")->text(), QString("0.050"));
        QCOMPARE(widget<QLineEdit>(w, "inpSliceExposure")->text(), QString("60"));
        QCOMPARE(widget<QLineEdit>(w, "inpSliceLift")->text(), QString("4"));
        QCOMPARE(widget<QSlider>(w, "sliderSliceView")->maximum(), 9);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 20);
        QVERIFY(logText(w).contains(QRegularExpression("\\]   Loading LPK file completed in \\d+\\.\\d\\d sec\\.")));
        QVERIFY(widget<QPushButton>(w, "pbReplaceSlice")->isEnabled());
        // Nothing was unpacked beside the package.
        QCOMPARE(QDir(m_data->filePath("packages")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"part_z50.lpk"});

        // The buttons stop at both ends of the package, whatever slicing range the scene has.
        w.findChild<QDoubleSpinBox *>("inpMaxZ")->setValue(0.2);
        auto *number = widget<QSpinBox>(w, "inpSliceNumber");
        widget<QPushButton>(w, "pbSViewEnd")->click();
        QCOMPARE(number->value(), 9);
        QCOMPARE(widget<QLineEdit>(w, "inpSliceExposure")->text(), QString("8"));
        widget<QPushButton>(w, "pbSViewForward")->click();
        QCOMPARE(number->value(), 9);
        widget<QPushButton>(w, "pbSViewPrevious")->click();
        QCOMPARE(number->value(), 8);
        QCOMPARE(widget<QLineEdit>(w, "inpSliceHeight")->text(), QString("0.450"));
        widget<QPushButton>(w, "pbSViewStart")->click();
        widget<QPushButton>(w, "pbSViewPrevious")->click();
        QCOMPARE(number->value(), 0);
        widget<QSlider>(w, "sliderSliceView")->setValue(2);
        QCOMPARE(number->value(), 2);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 60);

        // The wheel zooms the picture while the slice tab is shown.
        const int widthBefore = widget<QLabel>(w, "labelSliceView")->pixmap(Qt::ReturnByValue).width();
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &wheel);
        QVERIFY(w.sliceViewScale > 0.5);
        QVERIFY(widget<QLabel>(w, "labelSliceView")->pixmap(Qt::ReturnByValue).width() >= widthBefore);

        // Slice 3 takes a copy of slice 7: the answer 6 in the number dialog.
        onNextModal<QInputDialog>([](QInputDialog *ask) {
            QCOMPARE(ask->windowTitle(), QString("Replace a slice"));
            QCOMPARE(ask->labelText(), QString("Enter the copied slice number: "));
            QCOMPARE(ask->intMaximum(), 9);
            ask->setIntValue(6);
            ask->accept();
        });
        const QByteArray seventh = unzipMember(package, "S000007_P1.png");
        widget<QPushButton>(w, "pbReplaceSlice")->click();
        QCOMPARE(unzipMember(package, "S000003_P1.png"), seventh);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 140);

        // A damaged package is refused with a message; the loaded one stays.
        const QString broken = m_data->filePath("broken.lpk");
        writeFile(broken, "not a zip");
        answerNextBox(QMessageBox::Ok, nullptr, &title);
        QVERIFY(!w.importPackage(broken));
        QCOMPARE(title, QString("Unable to open file"));
        QCOMPARE(w.packagePath, QFileInfo(package).absoluteFilePath());
        QCOMPARE(w.sliceFileNames.size(), 10);
    }

    void packedLayersAndThePreviewCut()
    {
        const QString package = writePackage(m_data->filePath("packed.lpk"), 1280, 12, 3, true);
        Window &w = *m_window;
        QVERIFY(w.importPackage(package));
        QCOMPARE(widget<QLabel>(w, "lblSliceSize")->text(), QString("3840 x 12"));
        QCOMPARE(w.currentSlice.width(), 3840);

        // The preview button cycles S1, S2, S0 and cuts the 3D view accordingly; S0 gives the
        // slider the slicing range in µm.
        w.findChild<QDoubleSpinBox *>("inpMaxZ")->setValue(10);
        auto *preview = widget<QPushButton>(w, "pbSlicePreview");
        QStringList texts;
        QList<int> states;
        for (int i = 0; i < 3; ++i) {
            preview->click();
            texts << preview->text();
            states << w.canvas->slicePreviewState();
        }
        QCOMPARE(texts, (QStringList{"S1", "S2", "S0"}));
        QCOMPARE(states, (QList<int>{1, 2, 0}));
        auto *slider = widget<QSlider>(w, "sliderSlicePreview");
        QCOMPARE(slider->maximum(), 10000);
        preview->click();
        slider->setValue(2500);
        QCOMPARE(widget<QLabel>(w, "lblSliceHeight")->text(), QString("2.50"));
        QCOMPARE(w.canvas->slicePreviewPosition(), 0.25f);
    }
};

QTEST_MAIN(TestSliceView)
#include "tst_gui_sliceview.moc"

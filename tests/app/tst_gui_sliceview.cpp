#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <memory>
#include <opencv2/core.hpp>

#include "support_window.h"
#include "app/Window.h"
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

template <typename T>
T *child(Window &w, const char *name)
{
    T *widget = w.findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

} // namespace

// The slice tab with a loaded package: the layer fields, the buttons, zoom, replace, and the
// preview cut of the 3D view.
class TestSliceView : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowTestData> m_data;

private slots:
    void initTestCase() { qputenv("ORVELL3D_STARTUP_WAIT_MS", "0"); }
    void init()
    {
        m_data = std::make_unique<WindowTestData>();
        writeSmallPrinterSettings(m_data->filePath("settings.ini"));
    }
    void cleanup() { m_data.reset(); }

    void loadedPackageIsShownAndBrowsed()
    {
        QVERIFY(QDir().mkpath(m_data->filePath("packages")));
        const QString package = writePackage(m_data->filePath("packages/part.lpk"), 30, 20, 10);
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        waitForBuildPlate(w);
        QVERIFY(!child<QPushButton>(w, "pbReplaceSlice")->isEnabled());

        // Through the menu action and its open dialog.
        onNextModal<QFileDialog>([package](QFileDialog *open) {
            QCOMPARE(open->windowTitle(), QString("Load LPK format file"));
            if (auto *name = open->findChild<QLineEdit *>("fileNameEdit"))
                name->setText(package);
            else
                open->selectFile(package);
            QMetaObject::invokeMethod(open, "accept");
        });
        child<QAction>(w, "actionLoad_LBF_file")->trigger();
        QTRY_COMPARE(w.sliceFileNames.size(), 10);

        QCOMPARE(child<QTabWidget>(w, "tabWidget")->currentIndex(), 1);
        QCOMPARE(w.packagePath, QFileInfo(package).absoluteFilePath());
        QCOMPARE(child<QSpinBox>(w, "inpSliceNumber")->value(), 0);
        QCOMPARE(child<QLabel>(w, "lblSliceSize")->text(), QString("30 x 20"));
        QCOMPARE(child<QLineEdit>(w, "inpSliceHeight")->text(), QString("0.050"));
        QCOMPARE(child<QLineEdit>(w, "inpSliceExposure")->text(), QString("60"));
        QCOMPARE(child<QLineEdit>(w, "inpSliceLift")->text(), QString("4"));
        QCOMPARE(child<QSlider>(w, "sliderSliceView")->maximum(), 9);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 20);
        QVERIFY(logText(w).contains(QRegularExpression("\\]   Loading LPK file completed in \\d+\\.\\d\\d sec\\.")));
        QVERIFY(child<QPushButton>(w, "pbReplaceSlice")->isEnabled());
        // Nothing was unpacked beside the package.
        QCOMPARE(QDir(m_data->filePath("packages")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"part_z50.lpk"});

        // The buttons stop at both ends of the package, whatever slicing range the scene has.
        w.findChild<QDoubleSpinBox *>("inpMaxZ")->setValue(0.2);
        auto *number = child<QSpinBox>(w, "inpSliceNumber");
        child<QPushButton>(w, "pbSViewEnd")->click();
        QCOMPARE(number->value(), 9);
        QCOMPARE(child<QLineEdit>(w, "inpSliceExposure")->text(), QString("8"));
        child<QPushButton>(w, "pbSViewForward")->click();
        QCOMPARE(number->value(), 9);
        child<QPushButton>(w, "pbSViewPrevious")->click();
        QCOMPARE(number->value(), 8);
        QCOMPARE(child<QLineEdit>(w, "inpSliceHeight")->text(), QString("0.450"));
        child<QPushButton>(w, "pbSViewStart")->click();
        child<QPushButton>(w, "pbSViewPrevious")->click();
        QCOMPARE(number->value(), 0);
        child<QSlider>(w, "sliderSliceView")->setValue(2);
        QCOMPARE(number->value(), 2);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 60);

        // The wheel zooms the picture while the slice tab is shown.
        const int widthBefore = child<QLabel>(w, "labelSliceView")->pixmap(Qt::ReturnByValue).width();
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &wheel);
        QVERIFY(w.sliceViewScale > 0.5);
        QVERIFY(child<QLabel>(w, "labelSliceView")->pixmap(Qt::ReturnByValue).width() >= widthBefore);

        // Slice 3 takes a copy of slice 7: the answer 6 in the number dialog.
        onNextModal<QInputDialog>([](QInputDialog *ask) {
            QCOMPARE(ask->windowTitle(), QString("Replace a slice"));
            QCOMPARE(ask->labelText(), QString("Enter the copied slice number: "));
            QCOMPARE(ask->intMaximum(), 9);
            ask->setIntValue(6);
            ask->accept();
        });
        const QByteArray seventh = unzipMember(package, "S000007_P1.png");
        child<QPushButton>(w, "pbReplaceSlice")->click();
        QCOMPARE(unzipMember(package, "S000003_P1.png"), seventh);
        QCOMPARE(qGray(w.currentSlice.toImage().pixel(3, 3)), 140);

        // A damaged package is refused with a message; the loaded one stays.
        const QString broken = m_data->filePath("broken.lpk");
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a zip");
        f.close();
        QString title;
        onNextModal<QMessageBox>([&title](QMessageBox *box) {
            title = box->windowTitle();
            box->accept();
        });
        QVERIFY(!w.importPackage(broken));
        QCOMPARE(title, QString("Unable to open file"));
        QCOMPARE(w.packagePath, QFileInfo(package).absoluteFilePath());
        QCOMPARE(w.sliceFileNames.size(), 10);
    }

    void packedLayersAndThePreviewCut()
    {
        const QString package = writePackage(m_data->filePath("packed.lpk"), 1280, 12, 3, true);
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        waitForBuildPlate(w);
        QVERIFY(w.importPackage(package));
        QCOMPARE(child<QLabel>(w, "lblSliceSize")->text(), QString("3840 x 12"));
        QCOMPARE(w.currentSlice.width(), 3840);

        // The preview button cycles S1, S2, S0 and cuts the 3D view accordingly; S0 gives the
        // slider the slicing range in µm.
        w.findChild<QDoubleSpinBox *>("inpMaxZ")->setValue(10);
        auto *preview = child<QPushButton>(w, "pbSlicePreview");
        QStringList texts;
        QList<int> states;
        for (int i = 0; i < 3; ++i) {
            preview->click();
            texts << preview->text();
            states << w.canvas->slicePreviewState();
        }
        QCOMPARE(texts, (QStringList{"S1", "S2", "S0"}));
        QCOMPARE(states, (QList<int>{1, 2, 0}));
        auto *slider = child<QSlider>(w, "sliderSlicePreview");
        QCOMPARE(slider->maximum(), 10000);
        preview->click();
        slider->setValue(2500);
        QCOMPARE(child<QLabel>(w, "lblSliceHeight")->text(), QString("2.50"));
        QCOMPARE(w.canvas->slicePreviewPosition(), 0.25f);
    }
};

QTEST_MAIN(TestSliceView)
#include "tst_gui_sliceview.moc"

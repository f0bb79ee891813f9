#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "support_window.h"
#include "config/CalibrationPlan.h"
#include "config/ui/AdminSetting.h"
#include "config/ui/ExposureCalibration.h"
#include "config/ui/printerSetting.h"
#include "view/ui/Canvas.h"

namespace {

void clickButton(QDialog *d, QDialogButtonBox::StandardButton which)
{
    d->findChild<QDialogButtonBox *>("buttonBox")->button(which)->click();
}

} // namespace

// The window's configuration commands: settings dialogs, Alt+A, the calibration package and
// the update command's state.
class ConfigCommandsTest : public WindowTest
{
    Q_OBJECT
public:
    ConfigCommandsTest() : WindowTest(SmallPrinterSettings, NoWindow) {}

private slots:
    void altAOpensTheAdministratorDialog()
    {
        Window w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_A, Qt::AltModifier | Qt::ShiftModifier);
        QTest::qWait(50);
        QVERIFY(!w.findChild<AdminSetting *>());
        QTest::keyClick(&w, Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(w.findChild<AdminSetting *>());
        AdminSetting *d = w.findChild<AdminSetting *>();
        const bool before = w.settings.misc.pixelGrayscaleUpdate;
        d->findChild<QCheckBox *>("cbPixelGrayscaleUpdate")->setChecked(!before);
        clickButton(d, QDialogButtonBox::Ok);
        QCOMPARE(w.settings.misc.pixelGrayscaleUpdate, !before);
        QCOMPARE(w.canvas->postProcess.contrastCurve, !before);
    }

    void printerSettingAppliesOnOkOnly()
    {
        Window w;
        w.canvas->camera().response = 0.37f;
        QVERIFY(!w.canvas->camera().orthographic);
        widget<QAction>(w, "actionPrinter_Setting")->trigger();
        printerSetting *d = w.findChild<printerSetting *>();
        QVERIFY(d);
        QCOMPARE(d->findChild<QSpinBox *>("inpMouseResponse")->value(), 37);
        d->findChild<QCheckBox *>("cbOrthographic")->setChecked(true);
        clickButton(d, QDialogButtonBox::Cancel);
        QVERIFY(!w.canvas->camera().orthographic);
        QVERIFY(!w.settings.misc.orthographicalProjection);

        QTRY_VERIFY(!w.findChild<printerSetting *>());
        widget<QAction>(w, "actionPrinter_Setting")->trigger();
        d = w.findChild<printerSetting *>();
        QVERIFY(d);
        d->findChild<QCheckBox *>("cbOrthographic")->setChecked(true);
        d->findChild<QCheckBox *>("cbWheelZoomDir")->setChecked(true);
        d->findChild<QSpinBox *>("inpMouseResponse")->setValue(12);
        clickButton(d, QDialogButtonBox::Ok);
        QVERIFY(w.canvas->camera().orthographic);
        QVERIFY(w.canvas->camera().wheelZoomDir);
        QCOMPARE(w.canvas->camera().response, 0.12f);
        QVERIFY(w.settings.misc.orthographicalProjection);
        QCOMPARE(w.settings.misc.modelViewResponse, 0.12f);
    }

    void calibrationDialogDrivesTheProjectorFields()
    {
        Window w;
        widget<QCheckBox>(w, "cbDispOverride")->setChecked(false);
        onNextModal<ExposureCalibration>([](ExposureCalibration *d) {
            d->findChild<QSpinBox *>("inpProjWidth")->setValue(640);
            d->findChild<QDoubleSpinBox *>("inpPixelSize")->setValue(80);
            clickButton(d, QDialogButtonBox::Cancel);
        });
        widget<QAction>(w, "actionExposure_Calibration")->trigger();
        QVERIFY(widget<QCheckBox>(w, "cbDispOverride")->isChecked());
        QCOMPARE(widget<QSpinBox>(w, "inpDispOverrideX")->value(), 640);
        QCOMPARE(widget<QDoubleSpinBox>(w, "inpProjPixelX")->value(), 80.0);
        QCOMPARE(widget<QDoubleSpinBox>(w, "inpProjPixelY")->value(), 80.0);
    }

    void calibrationPackageIsWrittenAndReported()
    {
        Window w;
        CalibrationSettings s;
        s.widthPx = 600;
        s.heightPx = 400;
        s.columns = 2;
        s.normalLayers = 2;
        s.baseLayers = 1;
        const QString path = m_data->filePath("resin.lpk");
        QVERIFY(w.writeExposureCalibration(s, path));
        QVERIFY(logText(w).contains("Saving LPK file completed in "));
        QCOMPARE(w.lastFolder, m_data->path());
        QProcess unzip;
        unzip.start("unzip", {"-Z1", path});
        QVERIFY(unzip.waitForFinished(30000));
        const QStringList names = QString::fromUtf8(unzip.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.size(), 5 + 5 + 2);   // 2 · 2 + 1 images, previews, the text files

        // A failure is shown and logged; nothing is left behind.
        QString boxText;
        answerNextBox(QMessageBox::Ok, &boxText);
        QVERIFY(!w.writeExposureCalibration(s, m_data->filePath("no/such/folder/x.lpk")));
        QVERIFY2(boxText.contains("does not exist"), qPrintable(boxText));
        QVERIFY(logText(w).contains("The package was not written"));
    }

    void updateCommandNeedsAFeed()
    {
        {
            Window w;
            QVERIFY(!widget<QAction>(w, "actionCheck_for_Updates")->isEnabled());
            QVERIFY(widget<QAction>(w, "actionCheck_for_Updates")->toolTip().contains("UpdateFeedUrl"));
        }
        writeSmallPrinterSettings(m_data->filePath("settings.ini"), [](EnvironmentSettings &s) {
            s.misc.updateFeedUrl = QStringLiteral("http://127.0.0.1:9/appcast.xml");
        });
        Window w;
        QVERIFY(widget<QAction>(w, "actionCheck_for_Updates")->isEnabled());
        QVERIFY(widget<QAction>(w, "actionExposure_Calibration")->isEnabled());
        QVERIFY(widget<QAction>(w, "actionPrinter_Setting")->isEnabled());
    }
};

QTEST_MAIN(ConfigCommandsTest)
#include "tst_gui_config_commands.moc"

#include <QtTest>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "config/ui/AdminSetting.h"
#include "config/ui/ExposureCalibration.h"
#include "config/ui/printerSetting.h"
#include "support_config.h"

namespace {

QStringList rowTexts(QTableWidget *t, int row)
{
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << t->item(row, c)->text();
    return out;
}

void clickOk(QDialog *d)
{
    child<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Ok)->click();
}

} // namespace

// The printer settings, administrator and exposure calibration dialogs without a window.
class SettingsDialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void printerSettingCopiesInAndOut()
    {
        EnvironmentSettings machine = defaultEnvironmentSettings();
        machine.misc.modelViewResponse = 0.37f;
        machine.misc.wheelZoomDir = true;
        machine.misc.orthographicalProjection = false;
        machine.printer.stepperLimitZMm = 155;
        machine.print.grayScale = 200;
        printerSetting d(machine);
        QCOMPARE(d.windowTitle(), QString("Orvell3D Settings"));
        QCOMPARE(d.size(), QSize(426, 587));
        auto *tabs = child<QTabWidget>(&d, "tabWidget");
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QString("Options"));
        QCOMPARE(child<QSpinBox>(&d, "inpMouseResponse")->value(), 37);
        QVERIFY(child<QCheckBox>(&d, "cbWheelZoomDir")->isChecked());
        QVERIFY(!child<QCheckBox>(&d, "cbOrthographic")->isChecked());
        QCOMPARE(child<QCheckBox>(&d, "cbWheelZoomDir")->text(), QString("Inverse of zoom in/out (mouse wheel)"));
        QCOMPARE(child<QCheckBox>(&d, "cbZoomCenterMoving")->text(), QString("Zooming around mouse position"));

        child<QCheckBox>(&d, "cbOrthographic")->setChecked(true);
        child<QCheckBox>(&d, "cbZoomCenterMoving")->setChecked(true);
        clickOk(&d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.values.misc.modelViewResponse, 0.37f);
        QVERIFY(d.values.misc.orthographicalProjection);
        QVERIFY(d.values.misc.zoomCenterMoving);
        // The machine values come back as they went in.
        QCOMPARE(d.values.printer, machine.printer);
        QCOMPARE(d.values.print, machine.print);

        // Shown to the nearest percent: 0.29f is 0.28999… in binary.
        QCOMPARE(responsivenessPercent(0.29f), 29);
        QCOMPARE(responsivenessFromPercent(29), 0.29f);
    }

    void adminSettingKeepsTheFlagUntilOk()
    {
        AdminSetting d(true);
        QCOMPARE(d.windowTitle(), QString("Orvell3D"));
        auto *box = child<QCheckBox>(&d, "cbPixelGrayscaleUpdate");
        QCOMPARE(box->text(), QString("Pixel Grayscale Update"));
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QVERIFY(d.pixelGrayscaleUpdate());
        clickOk(&d);
        QVERIFY(!d.pixelGrayscaleUpdate());
    }

    void calibrationTableFollowsTheFormula()
    {
        ExposureCalibration d(1920, 1080, 33.5);
        QCOMPARE(d.windowTitle(), QString("Exposure Calibration"));
        QCOMPARE(child<QDialogButtonBox>(&d, "buttonBox")->button(QDialogButtonBox::Ok)->text(), QString("Create File"));
        auto *table = child<QTableWidget>(&d, "tableExposure");
        child<QDoubleSpinBox>(&d, "inpExpInitial")->setValue(5);
        child<QDoubleSpinBox>(&d, "inpIncrement")->setValue(2);
        child<QSpinBox>(&d, "inpNumWidth")->setValue(4);
        child<QSpinBox>(&d, "inpNumHeight")->setValue(2);
        QCOMPARE(rowTexts(table, 0), (QStringList{"5.0", "7.0", "9.0", "11.0"}));
        QCOMPARE(rowTexts(table, 1), rowTexts(table, 0));
        QVERIFY(table->item(0, 1)->flags() & Qt::ItemIsEditable);
        QVERIFY(!(table->item(1, 1)->flags() & Qt::ItemIsEditable));   // grey rows follow row 0

        child<QRadioButton>(&d, "rbExponential")->click();
        QCOMPARE(child<QLabel>(&d, "lblIncrement")->text(), QString("Multiplication factor"));
        QCOMPARE(child<QDoubleSpinBox>(&d, "inpIncrement")->singleStep(), 0.1);
        child<QDoubleSpinBox>(&d, "inpExpInitial")->setValue(2);
        child<QDoubleSpinBox>(&d, "inpIncrement")->setValue(1.5);
        child<QSpinBox>(&d, "inpNumWidth")->setValue(3);
        QCOMPARE(rowTexts(table, 0), (QStringList{"2.0", "3.0", "4.5"}));
        child<QRadioButton>(&d, "rbLinear")->click();   // the increment comes back
        QCOMPARE(child<QDoubleSpinBox>(&d, "inpIncrement")->value(), 2.0);
        QCOMPARE(rowTexts(table, 0), (QStringList{"2.0", "4.0", "6.0"}));

        // A hand edit of row 0 is copied into the grey rows.
        table->item(0, 2)->setText("6.25");
        QCOMPARE(table->item(0, 2)->text(), QString("6.3"));
        QCOMPARE(table->item(1, 2)->text(), QString("6.3"));
    }

    void calibrationResultsAndProjectorSignals()
    {
        ExposureCalibration d(2560, 1440, 47.25);
        QSignalSpy width(&d, &ExposureCalibration::projWidthChanged);
        QSignalSpy height(&d, &ExposureCalibration::projHeightChanged);
        QSignalSpy pixel(&d, &ExposureCalibration::pixelSizeChanged);
        QCOMPARE(width.count(), 0);   // presetting is no change of the user's
        child<QSpinBox>(&d, "inpProjWidth")->setValue(1920);
        child<QSpinBox>(&d, "inpProjHeight")->setValue(1080);
        child<QDoubleSpinBox>(&d, "inpPixelSize")->setValue(50);
        QCOMPARE(width.takeFirst().value(0).toInt(), 1920);
        QCOMPARE(height.takeFirst().value(0).toInt(), 1080);
        QCOMPARE(pixel.takeFirst().value(0).toDouble(), 50.0);

        child<QSpinBox>(&d, "inpNumHeight")->setValue(3);
        child<QSpinBox>(&d, "inpNumWidth")->setValue(2);
        child<QCheckBox>(&d, "cbEnableGrayscale")->click();
        auto *gray = child<QTableWidget>(&d, "tableGrayscale");
        QVERIFY(gray->isEnabled());
        QCOMPARE(gray->rowCount(), 3);
        gray->item(2, 0)->setText("40");
        child<QCheckBox>(&d, "cbShowExpTime")->click();
        child<QSpinBox>(&d, "inpSliceThickness")->setValue(35);
        child<QSpinBox>(&d, "inpNumNormalLayers")->setValue(7);
        child<QSpinBox>(&d, "inpNumBaseLayers")->setValue(3);
        child<QSpinBox>(&d, "inpBaseExposure")->setValue(25);
        const CalibrationSettings s = d.settings();
        QCOMPARE(s.rows, 3);
        QCOMPARE(s.columns, 2);
        QCOMPARE(s.exposuresS, (QList<double>{5, 7, 5, 7, 5, 7}));
        QVERIFY(s.grayscale);
        QCOMPARE(s.grayPercent.value(2), 40.0);
        QVERIFY(!s.labels);
        QVERIFY(s.linePatterns);
        QCOMPARE(QSize(s.widthPx, s.heightPx), QSize(1920, 1080));
        QCOMPARE(s.pixelSizeUm, 50.0);
        QCOMPARE(s.thicknessUm, 35);
        QCOMPARE(s.normalLayers, 7);
        QCOMPARE(s.baseLayers, 3);
        QCOMPARE(s.baseExposureS, 25);
        QVERIFY(s.check().isEmpty());
        clickOk(&d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "tst_settings_dialogs.moc"

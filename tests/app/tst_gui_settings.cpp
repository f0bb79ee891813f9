#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPointer>
#include <QSpinBox>
#include <QtTest>

#include "support_window.h"
#include "config/SettingsFile.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

namespace {

// Answers the next message boxes in turn, one button each.
void answerBoxes(QList<QMessageBox::StandardButton> buttons)
{
    auto *timer = new QTimer(dialogWatchers());
    auto last = std::make_shared<QPointer<QWidget>>();
    QObject::connect(timer, &QTimer::timeout, [timer, buttons, last]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || (!last->isNull() && modal == last->data()))
            return;
        *last = modal;
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        box->button(buttons.takeFirst())->click();
        if (buttons.isEmpty())
            timer->stop();
    });
    timer->start(20);
}

// A settings file as this program writes it, with values away from every default and from
// the form's own start values.
EnvironmentSettings sampleSettings()
{
    EnvironmentSettings s = defaultEnvironmentSettings();
    s.misc.windowWidth = 1100;
    s.misc.windowHeight = 760;
    s.misc.language = QStringLiteral("en");
    s.misc.lastFileLocation = QStringLiteral("/models/plates");
    s.misc.gpuIdleTime = 20000;
    s.misc.slicingQualityFactor = 1.5f;
    s.models.modelScaleLock = false;
    s.models.drainHoleDiameterMm = 3.0;
    s.models.drainHoleHeightMm = 5.5;
    s.support.supportPreview = false;
    s.slice.sliceThicknessUm = 75;
    s.slice.sliceOnDisk = false;
    s.slice.variStepAngleDeg = {5, 10, 25, 35, 60};
    s.slice.variStepRelExp = {0.3f, 0.5f, 0.6f, 0.7f, 0.95f};
    s.slice.variStepMaxUm = 90;
    s.slice.lastUsedMaterial = QStringLiteral("Grey, tough");
    s.slice.flexSlices = {FlexSliceEntry{QStringLiteral("fine top"), 10.0, 12.5, 25, 80, true}};
    s.printer.printers = {PrinterEntry{QStringLiteral("Bench"), QStringLiteral("192.168.1.20")}};
    s.printer.displayOverride = true;
    s.printer.displayOverrideXPx = 2560;
    s.printer.displayOverrideYPx = 1440;
    s.printer.pixelSizeXUm = 47.25f;
    s.printer.pixelSizeYUm = 46.5f;
    s.print.grayScale = 200;
    s.print.dimmingEnable = true;
    s.print.verticalMirror = true;
    return s;
}

} // namespace

class TestSettingsWiring : public WindowTest
{
    Q_OBJECT
public:
    TestSettingsWiring() : WindowTest(NoSettingsFile, NoWindow) {}

private:
    // Closes the window, answering the question with Yes.
    static void closeWithYes(Window &w)
    {
        answerNextBox(QMessageBox::Yes);
        QVERIFY(w.close());
    }

private slots:
    void valuesReachInputsAndUntouchedFileComesBackUnchanged()
    {
        const QByteArray original = settingsFileText(sampleSettings());
        writeFile(dataPath("settings.ini"), original);
        {
            Window w;
            QCOMPARE(w.size(), QSize(1100, 760));
            QCOMPARE(w.lastFolder, QStringLiteral("/models/plates"));
            QVERIFY(!widget<QCheckBox>(w, "cbScaleLock")->isChecked());
            QVERIFY(!widget<QCheckBox>(w, "cbSupportPreview")->isChecked());
            QVERIFY(!widget<QCheckBox>(w, "cbSliceOnDisk")->isChecked());
            const QList<QPair<const char *, double>> values{
                {"inpDrainDia", 3.0},      {"inpDrainHeight", 5.5},    {"inpSliceThickness", 75.0},
                {"inpVsAngle4", 60},       {"inpVsRelExp4", 0.95},     {"inpVsZStepMax", 90},
                {"inpSliceQuality", 1.5},  {"inpDispOverrideX", 2560}, {"inpDispOverrideY", 1440},
                {"inpProjPixelX", 47.25},  {"inpProjPixelY", 46.5}};
            for (const auto &[name, value] : values)
                QVERIFY2(widget<QWidget>(w, name)->property("value").toDouble() == value, name);
            // The projector fields set the printable area of the scene.
            QCOMPARE(w.canvas->scene()->halfWidthXMm(), 2560 * 47.25f / 2000.0f);
            QCOMPARE(w.canvas->scene()->halfWidthYMm(), 1440 * 46.5f / 2000.0f);
            QCOMPARE(w.canvas->frameIntervalMs(), 20);

            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            closeWithYes(w);
        }
        QCOMPARE(readFile(dataPath("settings.ini")), original);

        // A maximised window opens maximised and stays so in the file.
        EnvironmentSettings maximised = sampleSettings();
        maximised.misc.windowFullScreen = true;
        const QByteArray maximisedText = settingsFileText(maximised);
        writeFile(dataPath("settings.ini"), maximisedText);
        {
            Window w;
            QVERIFY(w.windowState() & Qt::WindowMaximized);
            closeWithYes(w);
        }
        QCOMPARE(readFile(dataPath("settings.ini")), maximisedText);
    }

    void changedInputsAreWrittenBackWithTheRestUnchanged()
    {
        writeFile(dataPath("setting_printer.ini"), settingsFileText(sampleSettings()));
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        widget<QDoubleSpinBox>(w, "inpSliceThickness")->setValue(100);
        widget<QDoubleSpinBox>(w, "inpProjPixelY")->setValue(40.0);
        widget<QCheckBox>(w, "cbScaleLock")->setChecked(true);
        widget<QSpinBox>(w, "inpVsZStep1")->setValue(30);
        w.lastFolder = QStringLiteral("/models/new");
        w.resize(1300, 800);
        // A changed pixel size is the view's at once, not only at the next start.
        QCOMPARE(w.canvas->scene()->halfWidthYMm(), 1440 * 40.0f / 2000.0f);

        closeWithYes(w);
        EnvironmentSettings expected = sampleSettings();
        expected.slice.sliceThicknessUm = 100;
        expected.printer.pixelSizeYUm = 40.0f;
        expected.models.modelScaleLock = true;
        expected.slice.variStepUm[1] = 30;
        expected.misc.lastFileLocation = QStringLiteral("/models/new");
        expected.misc.windowWidth = 1300;
        expected.misc.windowHeight = 800;
        QCOMPARE(QString::fromUtf8(readFile(dataPath("setting_printer.ini"))),
                 QString::fromUtf8(settingsFileText(expected)));
    }

    void valuesAnInputCannotShowAreKept()
    {
        // Absent keys read as 0: the inputs keep usable values, the view keeps a real printable
        // area, and the file is not rewritten with values nobody chose.
        writeFile(dataPath("settings.ini"), "[Slice]\nSliceThickness=0\n[Printer]\nPixelSizeX=0\n"
                                             "DisplayOverrideX=0\n[Support]\n");
        Window w;
        QCOMPARE(widget<QDoubleSpinBox>(w, "inpSliceThickness")->value(), 50.0);
        QCOMPARE(widget<QDoubleSpinBox>(w, "inpProjPixelX")->value(), 33.5);
        QCOMPARE(widget<QSpinBox>(w, "inpDispOverrideX")->value(), 1920);
        QVERIFY(w.canvas->scene()->halfWidthXMm() > 30.0f);
        closeWithYes(w);

        EnvironmentSettings reread;
        QVERIFY(readSettingsFile(dataPath("settings.ini"), reread));
        QCOMPARE(reread.slice.sliceThicknessUm, 0);
        QCOMPARE(reread.printer.pixelSizeXUm, 0.0f);
        QCOMPARE(reread.printer.displayOverrideXPx, 0);

        // Too large for the input: the file keeps its value until the user picks another one.
        EnvironmentSettings thick = sampleSettings();
        thick.slice.sliceThicknessUm = 150;
        writeFile(dataPath("settings.ini"), settingsFileText(thick));
        Window second;
        QCOMPARE(widget<QDoubleSpinBox>(second, "inpSliceThickness")->value(), 100.0);
        closeWithYes(second);
        QVERIFY(readSettingsFile(dataPath("settings.ini"), reread));
        QCOMPARE(reread.slice.sliceThicknessUm, 150);
    }

    void saveSettingCommandWritesAndLogs()
    {
        writeFile(dataPath("settings.ini"), settingsFileText(sampleSettings()));
        Window w;
        QAction *save = w.findChild<QAction *>("actionSaveSetting");
        QVERIFY(save && save->isVisible());
        widget<QSpinBox>(w, "inpDispOverrideX")->setValue(3840);
        save->trigger();
        QVERIFY(logText(w).endsWith("]   Saved settings and recipes."));
        EnvironmentSettings reread;
        QVERIFY(readSettingsFile(dataPath("settings.ini"), reread));
        QCOMPARE(reread.printer.displayOverrideXPx, 3840);
        QCOMPARE(reread.slice.flexSlices, sampleSettings().slice.flexSlices);
        QCOMPARE(reread.print.grayScale, 200);
    }

    // Values QSettings would decode as broken variants used to end the program at every start.
    void brokenTypedValuesDoNotStopTheStart()
    {
        const QByteArray crasher = "@Variant(\\0\\0\\0\\t?\\0?)";
        writeFile(dataPath("settings.ini"), settingsFileText(sampleSettings()) + "\n[Misc]\nLanguage=" + crasher + "\n");
        writeFile(dataPath("profiles.ini"), "[0]\nMachineId=0\nResinName=Grey\nSliceThickness=50\nNormalExp=" + crasher
                                                 + "\n[1]\nMachineId=0\nResinName=Clear\nSliceThickness=50\n");
        Window w;
        QCOMPARE(w.size(), QSize(1100, 760));   // the rest of the file is read
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        closeWithYes(w);
        // Written back clean.
        QVERIFY(!readFile(dataPath("settings.ini")).contains("@Variant"));
    }

    void failedWriteIsReported()
    {
        writeFile(dataPath("settings.ini"), settingsFileText(sampleSettings()));
        writeFile(dataPath("blocker"), "a file where a folder is needed");
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.settingFilePath = dataPath("blocker/settings.ini");

        QString boxText;
        answerNextBox(QMessageBox::Ok, &boxText);
        w.findChild<QAction *>("actionSaveSetting")->trigger();
        QVERIFY2(boxText.startsWith("The settings could not be saved:\n"), qPrintable(boxText));
        QVERIFY(boxText.contains("blocker"));
        const QString log = logText(w);
        QVERIFY(log.contains("The settings could not be saved: "));
        QVERIFY(!log.contains("Saved settings and recipes."));

        // Closing asks first whether to close without the settings; No keeps the program open.
        answerBoxes({QMessageBox::Yes, QMessageBox::No});   // close? then: close without settings?
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QTRY_VERIFY(!QApplication::activeModalWidget());

        answerBoxes({QMessageBox::Yes, QMessageBox::Yes});
        QVERIFY(w.close());
    }
};

QTEST_MAIN(TestSettingsWiring)
#include "tst_gui_settings.moc"

#include <QtTest>

#include "config/SettingsFile.h"
#include "support_config.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

// The environment settings file: the text written is pinned byte for byte, every key reads
// back unchanged (also through plain QSettings), and hand-written or broken files load with
// the fixed corrections.

// A file in the written form in which every key has a value of its own (none zero, none a
// correction's), strings included that need quoting and escaping.
static const QByteArray fullText =
    "[Models]\nPlatformStlFileName=@@plates/\\x5e73\\x53f0 0a.stl\nListOnlyModels=true\n"
    "ModelScaleLock=false\nDrainHoleDiameter=3.25\nDrainHoleHeight=5.5\n"
    "\n[Support]\nCriticalAngle=31\nThresholdAngle=46\nPitch=2300\nContactDia=0.55\n"
    "TipAngleTop=41\nTipAngleBot=38\nTipLength=2.8\nInter2Dia=1.3\nInter1Dia=1.45\n"
    "BaseThickness=0.7\nBaseMargin=1.9\nThinTip=true\nSupportPreview=false\nLinkerDistance=12\n"
    "PenetrationDistance=0.15\nSupportSurfaceNormal=33\n"
    "\n[Slice]\nSliceThickness=75\nVariStepAngle0=9\nVariStepAngle1=16\nVariStepAngle2=21\n"
    "VariStepAngle3=31\nVariStepAngle4=47\nVariStep0=11\nVariStep1=26\nVariStep2=36\nVariStep3=51\n"
    "VariStep4=76\nVariStepMax=95\nVariStepRelExp0=0.41\nVariStepRelExp1=0.56\n"
    "VariStepRelExp2=0.66\nVariStepRelExp3=0.76\nVariStepRelExp4=0.89\nSliceOnDisk=true\n"
    "SubPixelSlicingIntensity=200\nBottomSliceThickness=110\nBottomSliceHeight=2600\n"
    "SliceScaleX=0.1\nSliceScaleY=-0.2\nSliceScaleZ=1e-05\nLastUsedMaterial=\" Grey resin; v2 \"\n"
    "LastUsedSliceThickness=25\nNumberOfFlexSlices=2\nFlexSlice0Title=Top\nFlexSlice0From=1.5\n"
    "FlexSlice0To=3\nFlexSlice0Thickness=20\nFlexSlice0ExpRatio=120\nFlexSlice0Enable=true\n"
    "FlexSlice1Title=\"a=b\"\nFlexSlice1From=10.1\nFlexSlice1To=12.2\nFlexSlice1Thickness=30\n"
    "FlexSlice1ExpRatio=90\nFlexSlice1Enable=false\n"
    "\n[Printer]\nStepperLimitX=66\nStepperLimitY=39\nStepperLimitZ=131\nPrinterId=2\n"
    "NumberOfPrinters=3\nPrinter0Name=Left\nPrinter0Address=192.168.0.11\n"
    "Printer1Name=Right\\nside\nPrinter1Address=printer.local\nPrinter2Name=\nPrinter2Address=\n"
    "DisplayOverride=true\nDisplayOverrideX=2560\nDisplayOverrideY=1440\nPixelSizeX=33.5\n"
    "PixelSizeY=34.25\nPiexlSizeLinkCheck=false\n"
    "\n[Print]\nExposureMultiplier=1.05\nHoldTimePreLift=0.5\nHoldTimePreDown=1.75\n"
    "HoldTimePreExp=2.5\nHoriAntiAliasing=1\nGrayScale=200\nDimmingEnable=true\n"
    "DimmingWidth=1.2\nDimmingRatio=30\nDimmingStart=4\nVerticalMirror=false\nHorizontalMirror=true\n"
    "\n[Misc]\nModelViewResponse=37\nSlicingQualityFactor=1.25\n"
    "LastFileLocation=\"/home/j\\xfcrgen/prints, 2024/\\\"a\\\\b\\\"\\t\"\nWindowWidth=1601\n"
    "WindowHeight=1002\nWindowFullScreen=true\nLanguage=fr\nGPUIdleTime=8000\nWheelZoomDir=false\n"
    "ZoomCenterMoving=true\nOrthographicalProjection=true\nPixelGrayscaleUpdate=false\n";

class SettingsFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    // Each call writes a new file: a path is never reused with other content.
    QString fileWith(const QByteArray &text)
    {
        return writeTestFile(dir.filePath(QStringLiteral("f%1.ini").arg(++files)), text);
    }

    EnvironmentSettings readText(const QByteArray &text)
    {
        EnvironmentSettings s;
        QString error;
        if (!readSettingsFile(fileWith(text), s, &error))
            qWarning() << error;
        return s;
    }

private slots:
    void everyKeyReadsBackAndIsWrittenAgainByteForByte()
    {
        const EnvironmentSettings s = readText(fullText);
        QCOMPARE(settingsFileText(s), fullText);

        // Spot checks that values land in the fields they name.
        QCOMPARE(s.models.platformStlFileName, QString::fromUtf8("@plates/平台 0a.stl"));
        QCOMPARE(s.misc.lastFileLocation, QString::fromUtf8("/home/jürgen/prints, 2024/\"a\\b\"\t"));
        QCOMPARE(s.misc.modelViewResponse, 0.37f);
        QCOMPARE(s.support.pitchMm, 2.3f);
        QCOMPARE(s.support.inter1DiaMm, 1.45f);
        QCOMPARE(s.support.tipAngleBotDeg, 38);
        QCOMPARE(s.slice.variStepAngleDeg[4], 47);
        QCOMPARE(s.slice.variStepRelExp[0], 0.41f);
        QCOMPARE(s.slice.bottomSliceHeightMm, 2.6f);
        QCOMPARE(s.slice.flexSlices.value(1),
                 (FlexSliceEntry{QStringLiteral("a=b"), 10.1, 12.2, 30, 90, false}));
        QCOMPARE(s.printer.printers.value(1),
                 (PrinterEntry{QStringLiteral("Right\nside"), QStringLiteral("printer.local")}));
        QCOMPARE(s.printer.stepperLimitYMm, 39);
        QCOMPARE(s.printer.pixelSizeYUm, 34.25f);
        QCOMPARE(s.print.holdTimePreDown, 1.75);
        QVERIFY(s.print.channelRed && s.print.channelGreen && s.print.channelBlue);

        // Through the file and back: equal in every field, defaults included.
        for (const EnvironmentSettings &original : {s, defaultEnvironmentSettings()}) {
            const QString path = dir.filePath(QStringLiteral("written%1.ini").arg(++files));
            QString error;
            QVERIFY2(writeSettingsFile(path, original, &error), qPrintable(error));
            EnvironmentSettings back;
            QVERIFY2(readSettingsFile(path, back, &error), qPrintable(error));
            QVERIFY(back == original);
        }
    }

    void plainQSettingsReadsEveryValue()
    {
        QSettings q(fileWith(fullText), QSettings::IniFormat);
        QCOMPARE(q.status(), QSettings::NoError);
        QCOMPARE(q.allKeys().size(), fullText.count('=') - 1); // one value holds a literal "="
        QCOMPARE(q.value("Misc/LastFileLocation").toString(),
                 QString::fromUtf8("/home/jürgen/prints, 2024/\"a\\b\"\t"));
        QCOMPARE(q.value("Models/PlatformStlFileName").toString(),
                 QString::fromUtf8("@plates/平台 0a.stl"));
        QCOMPARE(q.value("Slice/LastUsedMaterial").toString(), QStringLiteral(" Grey resin; v2 "));
        QCOMPARE(q.value("Slice/FlexSlice1Title").toString(), QStringLiteral("a=b"));
        QCOMPARE(q.value("Printer/Printer1Name").toString(), QStringLiteral("Right\nside"));
        QCOMPARE(q.value("Slice/SliceScaleZ").toDouble(), 1e-5);
        QCOMPARE(q.value("Print/HorizontalMirror").toBool(), true);
    }

    // Another program's or a person's file: any order, spaces, comments, unknown keys and
    // groups, values that need correcting. It is written back in the fixed form.
    void handWrittenFileIsWrittenBackInFixedForm()
    {
        QList<QByteArray> groups = fullText.split('[');
        groups.removeFirst();
        std::reverse(groups.begin(), groups.end());
        QByteArray input = "; kept by hand\n[Vendor]\nAnything=1\n[" + groups.join('[');
        input.replace("WindowWidth=1601", "WindowWidth = 800")
            .replace("GrayScale=200", "GrayScale=100")
            .replace("TipAngleTop=41", "TipAngleTop=41.9")
            .replace("GPUIdleTime=8000\n", "")
            .replace("DrainHoleDiameter=3.25", "DrainHoleDiameter=0.5")
            .replace("[Misc]\n", "[Misc]\nDrainHoleDiameter=9\nUnknownKey=5\n")
            .replace("LastUsedSliceThickness=25", "LastUsedSliceThickness=25.0")
            .replace("NumberOfPrinters=3", "NumberOfPrinters=2");
        QByteArray expected = fullText;
        expected.replace("WindowWidth=1601", "WindowWidth=960")
            .replace("GrayScale=200", "GrayScale=255")
            .replace("GPUIdleTime=8000", "GPUIdleTime=16667")
            .replace("DrainHoleDiameter=3.25", "DrainHoleDiameter=2")
            .replace("NumberOfPrinters=3", "NumberOfPrinters=2")
            .replace("Printer2Name=\nPrinter2Address=\n", "");

        const QString path = fileWith(input);
        EnvironmentSettings s;
        QString error;
        QVERIFY2(readSettingsFile(path, s, &error), qPrintable(error));
        QVERIFY2(writeSettingsFile(path, s, &error), qPrintable(error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);

        // Hand-edited text in UTF-8 is understood too.
        QCOMPARE(readText("[Misc]\nLastFileLocation=/home/j\xc3\xbcrgen\n").misc.lastFileLocation,
                 QString::fromUtf8("/home/jürgen"));
    }

    // No key at all, missing groups and broken values all read as zero / false / empty, plus
    // exactly the corrections.
    void absentAndBrokenValuesGiveZerosAndCorrections()
    {
        EnvironmentSettings expected;
        expected.misc.windowWidth = 960;
        expected.misc.windowHeight = 600;
        expected.misc.gpuIdleTime = 16667;
        expected.models.drainHoleDiameterMm = 2.0;
        expected.models.drainHoleHeightMm = 4.0;
        expected.support.baseThicknessMm = 0.6f;
        expected.support.baseMarginMm = 1.0f;
        expected.print.grayScale = 255;
        expected.print.channelRed = expected.print.channelGreen = expected.print.channelBlue = true;

        QVERIFY(readText(QByteArray()) == expected);
        QVERIFY(readText("[Unrelated]\nWindowWidth=2000\n") == expected);
        QVERIFY(readText("[Misc]\nWindowWidth=abc\nGPUIdleTime=\nWheelZoomDir=perhaps\n"
                         "[Support]\nPitch=nan\nContactDia=inf\nBaseThickness=1e999\n"
                         "CriticalAngle=99999999999\nThinTip=yes\n"
                         "[Slice]\nNumberOfFlexSlices=-4\n[Printer]\nPixelSizeX=1e300\n")
                == expected);
    }

    void correctionsApplyAtTheirBounds()
    {
        const QList<QPair<QByteArray, QByteArray>> cases = {
            {"[Misc]\nWindowWidth=959\nWindowHeight=599", "WindowWidth=960\nWindowHeight=600\n"},
            {"[Misc]\nWindowWidth=961\nWindowHeight=601", "WindowWidth=961\nWindowHeight=601\n"},
            {"[Misc]\nGPUIdleTime=-5", "GPUIdleTime=16667\n"},
            {"[Misc]\nGPUIdleTime=1", "GPUIdleTime=1\n"},
            {"[Models]\nDrainHoleDiameter=0.5\nDrainHoleHeight=1.0",
             "DrainHoleDiameter=2\nDrainHoleHeight=4\n"},
            {"[Models]\nDrainHoleDiameter=0.51\nDrainHoleHeight=1.01",
             "DrainHoleDiameter=0.51\nDrainHoleHeight=1.01\n"},
            {"[Support]\nBaseThickness=0.3\nBaseMargin=-1", "BaseThickness=0.3\nBaseMargin=-1\n"},
            {"[Print]\nGrayScale=126", "GrayScale=255\n"},
            {"[Print]\nGrayScale=127", "GrayScale=127\n"},
            // Integers stored as doubles lose their fraction towards zero.
            {"[Support]\nTipAngleTop=45.5\nTipAngleBot=-3.7", "TipAngleTop=45\nTipAngleBot=-3\n"},
            {"[Slice]\nSliceThickness=37.9", "SliceThickness=37\n"},
            {"[Support]\nPitch=1500.9", "Pitch=1500\n"},
            {"[Misc]\nWheelZoomDir=TRUE\nZoomCenterMoving=1\nWindowFullScreen=0",
             "WindowFullScreen=false\nLanguage=\nGPUIdleTime=16667\nWheelZoomDir=true\n"
             "ZoomCenterMoving=true\n"},
        };
        for (const auto &c : cases)
            QVERIFY2(settingsFileText(readText(c.first + '\n')).contains(c.second), c.first.constData());
    }

    void listsFollowTheirStoredCounts()
    {
        const EnvironmentSettings s = readText(
            "[Printer]\nNumberOfPrinters=3\nPrinter0Name=A\nPrinter0Address=1.2.3.4\n"
            "Printer1Name=B\nPrinter5Name=Stray\n");
        // Entries up to the count in index order; missing keys read as empty.
        QCOMPARE(s.printer.printers,
                 (QList<PrinterEntry>{{"A", "1.2.3.4"}, {"B", ""}, {"", ""}}));

        // An absurd count is bounded by what the group holds instead of looping for ages.
        const EnvironmentSettings huge =
            readText("[Printer]\nNumberOfPrinters=2000000000\nPrinter0Name=A\n");
        QVERIFY(huge.printer.printers.size() <= 2);
        QCOMPARE(huge.printer.printers.value(0).name, QStringLiteral("A"));
    }

    void brokenFilesLoadAndAreWrittenBackWellFormed()
    {
        // Duplicate keys and groups, junk lines, NUL bytes, a typed value where text belongs.
        QByteArray messy = "[Misc]\nWindowWidth=1300\nWindowWidth=1400\n[Misc]\nLanguage=it\n"
                           "garbage line without equals\n\x01\x02[[[]]\n=novalue\n"
                           "[Support]\nCriticalAngle=\"12\"\nPitch=@Variant(\\0\\0\\0\\x2\\0\\0\\x3\\xe8)\n";
        messy.append('\0').append("\n[Print]\nGrayScale=150\n");
        const EnvironmentSettings m = readText(messy);
        QVERIFY(m.misc.windowWidth == 1300 || m.misc.windowWidth == 1400);
        QCOMPARE(m.misc.language, QStringLiteral("it"));
        QCOMPARE(m.support.criticalAngleDeg, 12);
        QCOMPARE(m.print.grayScale, 150);

        // Random bytes with valid-looking fragments; a fixed seed keeps it repeatable.
        QByteArray junk;
        QRandomGenerator rng(20240611);
        for (int i = 0; i < 64 * 1024; ++i) {
            junk.append(char(rng.bounded(256)));
            if (i % 4096 == 0)
                junk.append("\n[Misc]\nWindowWidth=1234\n[Printer]\nNumberOfPrinters=99999\n");
        }

        for (const QByteArray &text : {messy, junk}) {
            EnvironmentSettings s;
            QVERIFY(readSettingsFile(fileWith(text), s));
            // What is written back is clean and reads back to the same values.
            const QString out = dir.filePath(QStringLiteral("clean%1.ini").arg(++files));
            QVERIFY(writeSettingsFile(out, s));
            QCOMPARE(QSettings(out, QSettings::IniFormat).status(), QSettings::NoError);
            EnvironmentSettings again;
            QVERIFY(readSettingsFile(out, again));
            QVERIFY(again == s);
        }
    }

    // The update feed address is written only when set (the full text above has none), so the
    // files of users who never set one keep their keys.
    void feedAddressIsReadAndWrittenWhenSet()
    {
        const EnvironmentSettings s = readText("[Misc]\r\nUpdateFeedUrl= http://127.0.0.1:8080/appcast.xml \r\n");
        QCOMPARE(s.misc.updateFeedUrl, QString("http://127.0.0.1:8080/appcast.xml"));
        QVERIFY(settingsFileText(s).contains("\nUpdateFeedUrl=http://127.0.0.1:8080/appcast.xml\n"));
    }

    // A file replaced by one of the same size and time stamp is still read anew.
    void rewrittenFileIsReadAfresh()
    {
        const QString path = fileWith("[Misc]\nLanguage=de\n");
        EnvironmentSettings s;
        QVERIFY(readSettingsFile(path, s));
        QCOMPARE(s.misc.language, QStringLiteral("de"));

        const QDateTime stamp = QFileInfo(path).lastModified();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite | QIODevice::Truncate));
        f.write("[Misc]\nLanguage=fr\n");
        QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(readSettingsFile(path, s));
        QCOMPARE(s.misc.language, QStringLiteral("fr"));
    }

    void missingOrUnreadableFileChangesNothing()
    {
        EnvironmentSettings s = defaultEnvironmentSettings();
        s.misc.language = QStringLiteral("untouched");
        const EnvironmentSettings before = s;
        QString error;
        QVERIFY(!readSettingsFile(dir.filePath(QStringLiteral("absent.ini")), s, &error));
        QVERIFY(error.contains(QStringLiteral("absent.ini")));
        QVERIFY(!readSettingsFile(QString(), s, &error));
        QVERIFY(!readSettingsFile(dir.path(), s, &error));
        QVERIFY(s == before);
    }
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settings_file.moc"

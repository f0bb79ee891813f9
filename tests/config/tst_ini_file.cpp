#include <QtTest>

#include <QTemporaryDir>

#include "config/IniFile.h"
#include "config/ResinProfile.h"
#include "config/SettingsFile.h"
#include "support_config.h"

// Settings and profile files are read as text. Qt's own INI reader decodes "@Variant(…)"
// values with a data stream while it parses, and a broken count in one makes it allocate
// without bound (std::bad_alloc ends the program before any value is seen). These files
// must load, the typed value reading as absent.

namespace {

// Each of these stops a program that reads the file with QSettings: the element count of a
// variant list (type 9) or a string list (type 11) is cut short, the list reserves room for
// whatever the count reads as, and std::bad_alloc ends the process. Quotes do not help, nor
// does being one item of a comma-separated list.
const QByteArray variantListCrasher = "@Variant(\\0\\0\\0\\t?\\0?)";
const QByteArray quotedCrasher = "\"@Variant(\\0\\0\\0\\t?\\0?)\"";
const QByteArray listItemCrasher = "x, @Variant(\\0\\0\\0\\v?\\0?)";

} // namespace

class IniFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString fileWith(const QByteArray &text)
    {
        return writeTestFile(m_dir.filePath(QStringLiteral("f%1.ini").arg(++m_files)), text);
    }

private slots:
    void settingsWithBrokenTypedValuesLoad()
    {
        const QByteArray text = "[Misc]\nWindowWidth=1300\nLanguage=" + variantListCrasher
                                + "\n[Slice]\nSomebodyElses=" + variantListCrasher + "\nLastUsedMaterial=" + listItemCrasher
                                + "\nSliceThickness=25\n[Printer]\nPixelSizeX=" + quotedCrasher
                                + "\nPixelSizeY=40\n";
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("line 3: the value of Misc/Language is a typed"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("line 5: the value of Slice/SomebodyElses is a typed"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("line 9: the value of Printer/PixelSizeX is a typed"));
        EnvironmentSettings s = defaultEnvironmentSettings();
        QString error;
        QVERIFY2(readSettingsFile(fileWith(text), s, &error), qPrintable(error));
        // The refused values read as absent, everything else as written.
        QCOMPARE(s.misc.language, QString());
        QCOMPARE(s.printer.pixelSizeXUm, 0.0f);
        QCOMPARE(s.misc.windowWidth, 1300);
        // Not a typed value as a whole, so it is plain text here.
        QCOMPARE(s.slice.lastUsedMaterial, QStringLiteral("x, @Variant(") + QChar(0) + QChar(0) + QChar(0)
                                               + QChar('\v') + "?" + QChar(0) + "?)");
        QCOMPARE(s.slice.sliceThicknessUm, 25);
        QCOMPARE(s.printer.pixelSizeYUm, 40.0f);
    }

    void profileWithBrokenTypedValueLoads()
    {
        const QString path = fileWith("[0]\nResinName=Grey\nNormalExp=" + variantListCrasher
                                      + "\nFirstLayerExp=30000\n[1]\nResinName=Clear\nNormalExp=9000\n");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the value of 0/NormalExp is a typed"));
        QList<ResinProfile> profiles;
        QString error;
        QVERIFY2(readResinProfiles(path, &profiles, &error), qPrintable(error));
        QCOMPARE(profiles.size(), 2);
        QCOMPARE(profiles[0].ResinName, QStringLiteral("Grey"));
        QCOMPARE(profiles[0].NormalExp, 0.0);
        QCOMPARE(profiles[0].FirstLayerExp, 30.0);
        QCOMPARE(profiles[1].NormalExp, 9.0);
    }

    // The text rules of the format, with the values worked out by hand.
    void valuesReadAsTheFormatDefines()
    {
        const IniFile ini(
            "top=1\n"
            "[General]\nalso_top = 2 \n"
            "[%General]\nk=general group\n"
            "[a%20b]\nk=escaped group name\n"
            "[v]\n"
            "spaces =   x y  \n"
            "quoted=\" x, y \"  \n"
            "comma=PLA, grey\n"
            "escapes=\\x41\\102\\t\\\"\\\\\n"
            "continued=one\\\ntwo\n"
            "comment=1 ; not part of it\n"
            "; a whole comment line\n"
            "at=@@home\n"
            "string=@String(plain)\n"
            "bytes=@ByteArray(raw)\n"
            "odd=@Other(kept)\n"
            "utf8=J\xc3\xbcrgen\n"
            "latin1=J\xfcrgen\n"
            "dup=first\ndup=second\n"
            "rect=@Rect(1 2 3 4)\n"
            "no equals sign\n"
            "[x]\nk=1\n[10]\nk=1\n[2]\nk=1\n[empty]\n");
        QCOMPARE(ini.value(QString(), "top"), QStringLiteral("1"));
        QCOMPARE(ini.value(QString(), "also_top"), QStringLiteral("2"));
        QCOMPARE(ini.value("General", "k"), QStringLiteral("general group"));
        QCOMPARE(ini.value("a b", "k"), QStringLiteral("escaped group name"));
        QCOMPARE(ini.value("v", "spaces"), QStringLiteral("x y"));
        QCOMPARE(ini.value("v", "quoted"), QStringLiteral(" x, y "));
        QCOMPARE(ini.value("v", "comma"), QStringLiteral("PLA, grey"));
        QCOMPARE(ini.value("v", "escapes"), QStringLiteral("AB\t\"\\"));
        QCOMPARE(ini.value("v", "continued"), QStringLiteral("onetwo"));
        QCOMPARE(ini.value("v", "comment"), QStringLiteral("1"));
        QCOMPARE(ini.value("v", "at"), QStringLiteral("@home"));
        QCOMPARE(ini.value("v", "string"), QStringLiteral("plain"));
        QCOMPARE(ini.value("v", "bytes"), QStringLiteral("raw"));
        QCOMPARE(ini.value("v", "odd"), QStringLiteral("@Other(kept)"));
        QCOMPARE(ini.value("v", "utf8"), QString::fromUtf8("Jürgen"));
        QCOMPARE(ini.value("v", "latin1"), QString("J") + QChar(0xFFFD) + "rgen");
        QCOMPARE(ini.value("v", "dup"), QStringLiteral("second"));
        QVERIFY(!ini.contains("v", "rect"));
        QVERIFY(ini.contains("v", "dup"));
        // Groups sort as text; a group without keys is not one.
        QCOMPARE(ini.childGroups(), (QStringList{"10", "2", "General", "a b", "v", "x"}));
        QCOMPARE(ini.childKeys("x"), QStringList{"k"});
        QCOMPARE(ini.problems().size(), 2);
        QVERIFY(ini.problems().at(0).contains("v/rect"));
        QVERIFY(ini.problems().at(1).startsWith("line 26: neither a group nor a key"));
    }
};

QTEST_GUILESS_MAIN(IniFileTest)
#include "tst_ini_file.moc"

#include <QtTest>

#include "config/DataFolder.h"
#include "config/LanguageFolder.h"
#include "config/SettingsFile.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

// Where the settings file lives and how it is replaced: a failed save never costs the user
// the settings they had, and a first start finds a settings file to read. Where the
// translations are found.
class SettingsStorageTest : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

    static QByteArray contentOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void put(const QString &path, const QByteArray &bytes = QByteArray())
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }

    void pointDataFolderAt(const QString &path)
    {
        qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(path));
        QCOMPARE(dataFolder(), QDir::cleanPath(path));
    }

private slots:
    void initTestCase() { QVERIFY(root.isValid()); }

    void failedSaveKeepsThePreviousFile()
    {
        const QString folder = root.filePath(QStringLiteral("keep"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/settings.ini");
        QVERIFY(writeSettingsFile(path, defaultEnvironmentSettings()));
        const QByteArray before = contentOf(path);
        QVERIFY(before.size() > 1000);

        EnvironmentSettings changed = defaultEnvironmentSettings();
        changed.misc.language = QStringLiteral("de");

        // A full disk: the file-size limit makes every write past 256 bytes fail.
        struct rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit small = saved;
        small.rlim_cur = 256;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool written = writeSettingsFile(path, changed, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QVERIFY(error.contains(path));
        QCOMPARE(contentOf(path), before);
        // No half-written temporary file is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.ini"});

        // A folder that refuses new files (permissions do not bind the superuser).
        if (geteuid() != 0) {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(!writeSettingsFile(path, changed, &error));
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(contentOf(path), before);
        }

        // With room again the same save succeeds and replaces the file.
        QVERIFY2(writeSettingsFile(path, changed, &error), qPrintable(error));
        QVERIFY(contentOf(path).contains("Language=de\n"));
    }

    void impossibleTargetsAreReported()
    {
        const QString asFolder = root.filePath(QStringLiteral("settings_dir.ini"));
        QVERIFY(QDir().mkpath(asFolder));
        QString error;
        QVERIFY(!writeSettingsFile(asFolder, defaultEnvironmentSettings(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(asFolder).isDir());

        const QString plainFile = root.filePath(QStringLiteral("plain"));
        put(plainFile, "not a folder");
        error.clear();
        QVERIFY(!writeSettingsFile(plainFile + QStringLiteral("/settings.ini"),
                                   defaultEnvironmentSettings(), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentOf(plainFile), QByteArray("not a folder"));
    }

    void newDataFolderIsSeededExistingOneIsNot()
    {
        const QString fresh = root.filePath(QStringLiteral("fresh/Orvell3D"));
        pointDataFolderAt(fresh);
        QString error;
        QVERIFY2(prepareDataFolder(&error), qPrintable(error));
        QCOMPARE(settingsFileCandidates(fresh), QStringList{"settings.ini"});
        EnvironmentSettings seeded;
        QVERIFY(readSettingsFile(fresh + QStringLiteral("/settings.ini"), seeded, &error));
        QVERIFY(seeded == defaultEnvironmentSettings());

        // The second start finds the folder and leaves the user's file alone.
        put(fresh + QStringLiteral("/settings.ini"), "[Misc]\nLanguage=de\n");
        QVERIFY(prepareDataFolder(&error));
        QCOMPARE(contentOf(fresh + QStringLiteral("/settings.ini")), QByteArray("[Misc]\nLanguage=de\n"));

        // A folder that exists without settings stays without: the user removed them. A save
        // with no file chosen then creates the default one.
        const QString existing = root.filePath(QStringLiteral("existing"));
        QVERIFY(QDir().mkpath(existing));
        pointDataFolderAt(existing);
        QVERIFY(prepareDataFolder(&error));
        QVERIFY(settingsFileCandidates(existing).isEmpty());
        QVERIFY(writeSettingsFile(QString(), defaultEnvironmentSettings(), &error));
        QCOMPARE(settingsFileCandidates(existing), QStringList{"settings.ini"});

        // A file where the folder should be cannot become the data folder.
        const QString blocked = root.filePath(QStringLiteral("blocked"));
        put(blocked, "x");
        pointDataFolderAt(blocked);
        error.clear();
        QVERIFY(!prepareDataFolder(&error));
        QVERIFY(error.contains(blocked));
    }

    void candidatesAreSettingFilesInNameOrder()
    {
        const QString folder = root.filePath(QStringLiteral("candidates"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/setting_dir.ini")));
        for (const char *name : {"settings.ini", "setting_b.ini", "setting_a.ini", "other.ini",
                                 "setting_c.txt", "profiles.ini"})
            put(folder + '/' + QLatin1String(name), "[Misc]\n");
        QCOMPARE(settingsFileCandidates(folder),
                 (QStringList{"setting_a.ini", "setting_b.ini", "settings.ini"}));
        QVERIFY(settingsFileCandidates(QString()).isEmpty());
    }

    void buildPlateFallsBackToTheBuiltInModel()
    {
        ModelSettings m;
        QCOMPARE(buildPlateModelPath(m), QStringLiteral(":/BuildPlate_SAv1.STL"));
        m.platformStlFileName = root.filePath(QStringLiteral("no_such_plate.stl"));
        QCOMPARE(buildPlateModelPath(m), QStringLiteral(":/BuildPlate_SAv1.STL"));
        const QString plate = root.filePath(QStringLiteral("plate.stl"));
        put(plate, "solid plate\nendsolid plate\n");
        m.platformStlFileName = plate;
        QCOMPARE(buildPlateModelPath(m), plate);
    }

    // Beside the program in the build tree, under share/ once installed wherever the installation
    // was unpacked, and beside the program when neither is there.
    void languageFolderOfBuildTreeAndInstallation()
    {
        const QString build = root.filePath("build/src/app");
        put(build + "/languages/orvell3d_de.qm");
        QCOMPARE(languageFolderFor(build), root.filePath("build/src/app/languages"));

        // An unpacked package: PREFIX/bin and PREFIX/share/orvell3d/languages.
        const QString bin = root.filePath("scratch/usr/bin");
        put(root.filePath("scratch/usr/share/orvell3d/languages/orvell3d_en.qm"));
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(languageFolderFor(bin), root.filePath("scratch/usr/share/orvell3d/languages"));

        // A "languages" folder without translations (flags only) does not hide the installed one.
        put(bin + "/languages/de.png");
        QCOMPARE(languageFolderFor(bin), root.filePath("scratch/usr/share/orvell3d/languages"));

        const QString bare = root.filePath("bare");
        QVERIFY(QDir().mkpath(bare));
        QCOMPARE(languageFolderFor(bare), QDir(bare + "/languages").absolutePath());
    }
};

QTEST_GUILESS_MAIN(SettingsStorageTest)
#include "tst_settings_storage.moc"

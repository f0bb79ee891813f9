#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "config/LanguageFolder.h"

// The translations are found beside the program in the build tree and under share/ once
// installed, wherever the installation was unpacked.
class LanguageFolderTest : public QObject
{
    Q_OBJECT

    static void touch(const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void findsBuildTreeAndInstalledLayouts()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString build = root.filePath("build/src/app");
        touch(build + "/languages/orvell3d_de.qm");
        QCOMPARE(languageFolderFor(build), root.filePath("build/src/app/languages"));

        // An unpacked package: PREFIX/bin and PREFIX/share/orvell3d/languages.
        const QString bin = root.filePath("scratch/usr/bin");
        touch(root.filePath("scratch/usr/share/orvell3d/languages/orvell3d_en.qm"));
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(languageFolderFor(bin), root.filePath("scratch/usr/share/orvell3d/languages"));

        // A "languages" folder without translations (flags only) does not hide the installed one.
        touch(bin + "/languages/de.png");
        QCOMPARE(languageFolderFor(bin), root.filePath("scratch/usr/share/orvell3d/languages"));
    }

    void fallsBackBesideTheProgram()
    {
        QTemporaryDir root;
        QCOMPARE(languageFolderFor(root.path()), QDir(root.filePath("languages")).absolutePath());
    }
};

QTEST_GUILESS_MAIN(LanguageFolderTest)
#include "tst_language_folder.moc"

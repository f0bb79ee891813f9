#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "app/Language.h"
#include "app/LogFile.h"

class TestLogFile : public QObject
{
    Q_OBJECT

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void fileNameCarriesTheStartTime()
    {
        QCOMPARE(logFileName(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))), QStringLiteral("debug_20240102_030405.log"));
        QCOMPARE(logFileName(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58))), QStringLiteral("debug_20231231_235958.log"));
    }

    void linesHaveTimeStampLevelAndMessage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("debug_test.log");
        {
            QFile stale(path);
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("left over from an earlier run\n");
        }
        QVERIFY(openLogFile(path));
        const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);

        qDebug() << "Orvell3D" << " is initializing...";
        qWarning("disk %d full", 2);
        qCritical("bad thing");
        qInfo() << "info" << 7;
        qDebug().noquote() << QStringLiteral("Grüße aus der Datei Maß.stl");

        qInstallMessageHandler(previous);
        setLogStream(nullptr);
        const QStringList lines = QString::fromLocal8Bit(readAll(path)).split('\n');
        QCOMPARE(lines.size(), 6);          // five lines and the empty rest after the last "\n"
        QVERIFY(lines.last().isEmpty());

        const QString stamp = QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ");
        const QStringList expected{
            "Debug: Orvell3D  is initializing\\.\\.\\.$",
            "Warning: disk 2 full$",
            "Critical: bad thing$",
            "Info: info 7$",
            QStringLiteral("Debug: Grüße aus der Datei Maß\\.stl$"),
        };
        for (int i = 0; i < expected.size(); ++i) {
            const QRegularExpression re(stamp + expected[i]);
            QVERIFY2(re.match(lines[i]).hasMatch(), qPrintable(lines[i]));
        }
    }

    void unopenableLogDiscardsMessages()
    {
        QTemporaryDir dir;
        QVERIFY(!openLogFile(dir.filePath("missing/folder/debug_x.log")));
        setLogStream(nullptr);
        const QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
        qDebug() << "nobody reads this";
        qWarning() << "nor this";
        qInstallMessageHandler(previous);
        QVERIFY(!QFile::exists(dir.filePath("missing/folder/debug_x.log")));
    }

    void retentionKeepsTheFiveNewestLogs()
    {
        QTemporaryDir dir;
        const QStringList old{"debug_20240101_100000.log", "debug_20240102_100000.log", "debug_20240103_100000.log",
                              "debug_20240104_100000.log", "debug_20240105_100000.log", "debug_20240106_100000.log"};
        const QString current = "debug_20240107_090000.log";
        const QStringList others{"settings.ini", "debug_notes.txt", "profiles.ini"};
        for (const QString &name : old + QStringList{current} + others) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QDir(dir.path()).mkdir("debug_folder.log");   // not a file: neither counted nor removed

        QCOMPARE(pruneLogFiles(dir.path(), 5), 2);
        const QStringList logs = QDir(dir.path()).entryList({"debug*.log"}, QDir::Files, QDir::Name);
        QCOMPARE(logs, (QStringList{"debug_20240103_100000.log", "debug_20240104_100000.log", "debug_20240105_100000.log",
                                    "debug_20240106_100000.log", current}));
        for (const QString &name : others)
            QVERIFY(QFile::exists(dir.filePath(name)));
        QVERIFY(QDir(dir.filePath("debug_folder.log")).exists());

        // Already at the limit: nothing more goes.
        QCOMPARE(pruneLogFiles(dir.path(), 5), 0);
        QCOMPARE(QDir(dir.path()).entryList({"debug*.log"}, QDir::Files).size(), 5);
    }

    void languageCodes()
    {
        QCOMPARE(languageCodeFromFileName("orvell3d_de.qm"), QStringLiteral("de"));
        QCOMPARE(languageCodeFromFileName("orvell3d_pt_BR.qm"), QStringLiteral("pt_BR"));
        QCOMPARE(languageCodeFromFileName("orvell3d_fr.v2.qm"), QStringLiteral("fr.v2"));
        QCOMPARE(languageCodeFromLocaleName("de_DE"), QStringLiteral("de"));
        QCOMPARE(languageCodeFromLocaleName("zh_Hant_TW"), QStringLiteral("zh_Hant"));
        QCOMPARE(languageCodeFromLocaleName("C"), QStringLiteral("C"));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"

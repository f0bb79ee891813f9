#include <QtTest>
#include <QTemporaryDir>

#include "config/SettingsFile.h"

// The update feed address in the setting file: read when present, written only when set, so
// the files of users who never set one keep their keys.
class SettingsFeedTest : public QObject
{
    Q_OBJECT
private slots:
    void feedAddressIsOptional()
    {
        QTemporaryDir dir;
        EnvironmentSettings s = defaultEnvironmentSettings();
        QVERIFY(s.misc.updateFeedUrl.isEmpty());
        QVERIFY(!settingsFileText(s).contains("UpdateFeedUrl"));

        const QString path = dir.filePath("settings.ini");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Misc]\r\nUpdateFeedUrl= http://127.0.0.1:8080/appcast.xml \r\n");
        f.close();
        EnvironmentSettings read;
        QVERIFY(readSettingsFile(path, read));
        QCOMPARE(read.misc.updateFeedUrl, QString("http://127.0.0.1:8080/appcast.xml"));
        QVERIFY(settingsFileText(read).contains("\nUpdateFeedUrl=http://127.0.0.1:8080/appcast.xml\n"));
    }
};

QTEST_GUILESS_MAIN(SettingsFeedTest)
#include "tst_settings_feed.moc"

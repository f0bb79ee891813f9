#include <QtTest>

#include "update/AppcastFeed.h"
#include "update/FvVersionComparator.h"

namespace {

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"\n"
           "     xmlns:fervor=\"http://github.com/pypt/fervor\">\n"
           "<channel><title>Orvell3D updates</title><link>https://example.invalid/</link>\n" +
           items + "</channel></rss>\n";
}

QByteArray item(const QByteArray &version, const QByteArray &platform = "Q_OS_LINUX",
                const QByteArray &notes = "<sparkle:releaseNotesLink>https://example.invalid/notes.html</sparkle:releaseNotesLink>")
{
    return "<item><title>Version " + version + "</title>\n" + notes +
           "\n<pubDate>Sun, 06 Dec 2026 10:00:00 +0000</pubDate>\n"
           "<enclosure url=\" https://example.invalid/orvell3d-" + version + ".deb \" sparkle:version=\"0.1\" "
           "fervor:version=\"" + version + "\" fervor:platform=\" " + platform + " \" length=\"123456\" "
           "type=\"application/octet-stream\"/>\n</item>\n";
}

AppcastVerdict read(const QByteArray &bytes, const QString &skipped = QString())
{
    return readAppcast(bytes, fvPlatformToken(), "0.78", skipped);
}

} // namespace

// Version comparison and the feed reader, as pure functions.
class FeedTest : public QObject
{
    Q_OBJECT
private slots:
    void versionComparison_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("pre-release is older") << "1.0b" << "1.0" << -1;
        QTest::newRow("more numbers are newer") << "1.0.1" << "1.0" << 1;
        QTest::newRow("numbers by value") << "1.10" << "1.9" << 1;
        QTest::newRow("same") << "0.78" << "0.78" << 0;
        QTest::newRow("older") << "0.78" << "0.79" << -1;
        QTest::newRow("strings byte-wise") << "1.0a" << "1.0b" << -1;
        QTest::newRow("string before separator") << "1a" << "1.0" << -1;
        QTest::newRow("separator before number") << "1.0" << "1 0" << 0;
        QTest::newRow("first number decides") << "1.0" << "10" << -1;
        QTest::newRow("string older than number") << "1.a" << "1.0" << -1;
        QTest::newRow("leading zeros") << "1.010" << "1.9" << 1;
        QTest::newRow("huge numbers") << "1.123456789012345678901" << "1.123456789012345678900" << 1;
        QTest::newRow("empty") << "" << "0.1" << -1;
    }

    void versionComparison()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(compareVersions(a, b), expected);
        QCOMPARE(compareVersions(b, a), -expected);
    }

    void newerVersionIsOffered()
    {
        QCOMPARE(fvPlatformToken(), QString("Q_OS_LINUX"));
        const AppcastVerdict v = read(feed(item("0.80") + item("0.90")));
        QCOMPARE(v.kind, AppcastVerdict::Update);
        QCOMPARE(v.update.enclosureVersion, QString("0.80"));   // the first item only
        QCOMPARE(v.update.title, QString("Version 0.80"));
        QCOMPARE(v.update.enclosureUrl, QUrl("https://example.invalid/orvell3d-0.80.deb"));
        QCOMPARE(v.update.enclosurePlatform, QString("Q_OS_LINUX"));
        QCOMPARE(v.update.enclosureLength, 123456);
        QCOMPARE(v.update.enclosureType, QString("application/octet-stream"));
        QCOMPARE(v.update.releaseNotesLink, QUrl("https://example.invalid/notes.html"));
        QCOMPARE(v.update.pubDate, QString("Sun, 06 Dec 2026 10:00:00 +0000"));

        // The plain link serves when there is no release-notes link; lower case platforms count.
        const AppcastVerdict plain = read(feed(item("0.80", "q_os_linux", "<link>http://example.invalid/n</link>")));
        QCOMPARE(plain.kind, AppcastVerdict::Update);
        QCOMPARE(plain.update.releaseNotesLink, QUrl("http://example.invalid/n"));
    }

    void versionsLeftAlone()
    {
        AppcastVerdict v = read(feed(item("0.78")));
        QCOMPARE(v.kind, AppcastVerdict::NoUpdate);
        QCOMPARE(v.message, QString("No updates were found."));
        QCOMPARE(v.ignoredVersion, QString("0.78"));
        v = read(feed(item("0.80")), "0.80");
        QCOMPARE(v.kind, AppcastVerdict::NoUpdate);
        QCOMPARE(v.ignoredVersion, QString("0.80"));
        QCOMPARE(read(feed(item("0.77"))).kind, AppcastVerdict::NoUpdate);
        QCOMPARE(read(feed(item("0.78b"))).kind, AppcastVerdict::NoUpdate);
        QCOMPARE(read(feed(item("0.81")), "0.80").kind, AppcastVerdict::Update);
    }

    void feedErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("other platform, later items not read")
            << feed(item("0.80", "Q_OS_WIN32") + item("0.90")) << "Feed error: invalid \"enclosure\" with the download link";
        QTest::newRow("no enclosure") << feed("<item><link>https://x.invalid/</link></item>")
                                      << "Feed error: invalid \"enclosure\" with the download link";
        QTest::newRow("no release notes") << feed(item("0.80", "Q_OS_LINUX", ""))
                                          << "Feed error: \"release notes\" link is empty";
        QTest::newRow("ftp release notes")
            << feed(item("0.80", "Q_OS_LINUX", "<sparkle:releaseNotesLink>ftp://x.invalid/n</sparkle:releaseNotesLink>"))
            << "Feed error: invalid \"release notes\" link";
        QTest::newRow("upper-case scheme") << feed(item("0.80", "Q_OS_LINUX", "<link>HTTP://x.invalid/n</link>"))
                                           << "Feed error: invalid \"release notes\" link";
        QTest::newRow("no item") << feed("") << "No updates were found.";
        QTest::newRow("cut off") << feed(item("0.80")).left(300) << "No updates were found.";
        QTest::newRow("empty") << QByteArray() << "No updates were found.";
        QTest::newRow("broken xml") << QByteArray("<rss>\n<channel>\n<item></channel>")
                                    << "Feed parsing failed: 3 Opening and ending tag mismatch..";
        QTest::newRow("not xml") << QByteArray("\x00\xff garbage", 10) << "Feed parsing failed: 1 ";
    }

    void feedErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const AppcastVerdict v = read(bytes);
        QVERIFY2(v.message.startsWith(message), qPrintable(v.message));
        QCOMPARE(v.kind, message.startsWith("No updates") ? AppcastVerdict::NoUpdate : AppcastVerdict::Error);
    }

    void entityFloodIsRefused()
    {
        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n";
        char prev = 'a';
        for (char e = 'b'; e <= 'k'; ++e) {
            bomb += QByteArray("<!ENTITY ") + e + " \"";
            for (int i = 0; i < 10; ++i)
                bomb += QByteArray("&") + prev + ";";
            bomb += "\">\n";
            prev = e;
        }
        bomb += "]>\n<rss><channel><item><title>&k;</title></item></channel></rss>";
        const AppcastVerdict v = read(bomb);
        QCOMPARE(v.kind, AppcastVerdict::Error);
        QVERIFY2(v.message.startsWith("Feed parsing failed"), qPrintable(v.message));
    }
};

QTEST_GUILESS_MAIN(FeedTest)
#include "tst_feed.moc"

#include <QtTest>
#include <QTemporaryDir>
#include <optional>

#include "support_http.h"
#include "update/FvUpdater.h"

namespace {

QByteArray feedWith(const QByteArray &version, const QByteArray &download = "https://example.invalid/o.deb")
{
    return "<?xml version=\"1.0\"?>\n<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\" "
           "xmlns:fervor=\"http://github.com/pypt/fervor\"><channel><item><title>New</title>"
           "<link>https://example.invalid/notes</link>"
           "<enclosure url=\"" + download + "\" fervor:version=\"" + version +
           "\" fervor:platform=\"Q_OS_LINUX\" length=\"10\"/></item></channel></rss>";
}

// Records what the check would show.
struct Recorder : FvUpdatePresenter
{
    QStringList errors, informations, opened;
    QStringList shownVersions;
    int updateWindowCloses = 0, confirmShows = 0, confirmCloses = 0;
    bool openSucceeds = true;

    void showErrorMessage(const QString &m) override { errors << m; }
    void showInformationMessage(const QString &m) override { informations << m; }
    void showUpdateWindow(const FvAvailableUpdate &u) override { shownVersions << u.enclosureVersion; }
    void closeUpdateWindow() override { ++updateWindowCloses; }
    void showConfirmDialog(const FvAvailableUpdate &) override { ++confirmShows; }
    void closeConfirmDialog() override { ++confirmCloses; }
    bool openUrl(const QUrl &url) override
    {
        opened << url.toString();
        return openSucceeds;
    }
    int shown() const { return errors.size() + informations.size() + shownVersions.size(); }
};

} // namespace

// The update check against a server of the test's own on 127.0.0.1.
class UpdaterTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config;
    TinyHttpServer *m_server = nullptr;
    Recorder m_ui;

    FvUpdater *updater() { return FvUpdater::sharedUpdater(); }

    // Runs one check of the feed at `path` and waits for its end.
    bool check(const QByteArray &path, bool silent)
    {
        m_ui = Recorder();
        updater()->setFeedURL(m_server->url(path));
        QSignalSpy done(updater(), &FvUpdater::checkFinished);
        if (!updater()->CheckForUpdates(silent))
            return false;
        return done.count() > 0 || done.wait(15000);
    }

    // Fetches `url` as the release notes are fetched: the body, or why there is none.
    using Fetched = std::pair<QByteArray, QString>;
    Fetched fetchNotes(const QString &url)
    {
        QObject context;
        std::optional<Fetched> got;
        updater()->fetchBounded(QUrl(url), &context, [&](const QByteArray &b, const QString &e) { got = {b, e}; });
        QTest::qWaitFor([&] { return got.has_value(); }, 5000);
        return got.value_or(Fetched{"", "no answer"});
    }

private slots:
    void initTestCase()
    {
        useTestIdentity(m_config.path());
        m_server = new TinyHttpServer;
        m_server->ok("/feed", feedWith("0.80"));
        m_server->ok("/current", feedWith("0.78"));
        m_server->ok("/other", feedWith("0.81"));
        m_server->ok("/broken", "<rss><item></rss>");
        m_server->ok("/local", feedWith("0.80", "file:///bin/sh"));
        TinyHttpServer::Route slow;   // the head of a feed, then nothing
        slow.response = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<rss>";
        slow.stall = true;
        m_server->setRoute("/slow", slow);
    }

    void init()
    {
        FvUpdater::drop();
        updater()->setPresenter(&m_ui);
        QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName()).clear();
    }

    void cleanupTestCase()
    {
        FvUpdater::drop();
        delete m_server;
    }

    void noFeedNoCheck()
    {
        updater()->setFeedURL(QString());
        QVERIFY(!updater()->CheckForUpdates(false));
        QVERIFY(!updater()->isDownloading());
    }

    void newerVersionIsShownEvenInASilentCheck()
    {
        QVERIFY(check("/feed", true));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        QVERIFY(updater()->proposedUpdate().has_value());
        const QByteArray head = m_server->requests.last();
        QVERIFY2(head.startsWith("GET /feed HTTP/1.1\r\n"), head.constData());
        QVERIFY(head.contains("User-Agent: Orvell3D\r\n"));
        QVERIFY(head.contains("Content-Type: application/xml\r\n"));

        // Install asks first; confirming opens the download link and closes both windows.
        updater()->InstallUpdate();
        QCOMPARE(m_ui.confirmShows, 1);
        updater()->UpdateInstallationNotConfirmed();
        QCOMPARE(m_ui.confirmCloses, 2);
        QCOMPARE(m_ui.opened, QStringList());
        updater()->UpdateInstallationConfirmed();
        QCOMPARE(m_ui.opened, QStringList{"https://example.invalid/o.deb"});
        QCOMPARE(m_ui.updateWindowCloses, 1);
        // A browser that cannot be started is reported even in a silent check.
        m_ui.openSucceeds = false;
        updater()->UpdateInstallationConfirmed();
        QCOMPARE(m_ui.errors, QStringList{"Unable to open this link in a browser. Please do it manually."});
    }

    void onlyWebLinksGoToTheBrowser()
    {
        QVERIFY(check("/local", true));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        updater()->UpdateInstallationConfirmed();
        QCOMPARE(m_ui.opened, QStringList());
        QCOMPARE(m_ui.errors, QStringList{"Unable to open this link in a browser. Please do it manually."});
    }

    void currentAndSkippedVersions()
    {
        QVERIFY(check("/current", true));
        QCOMPARE(m_ui.shown(), 0);
        QVERIFY(check("/current", false));
        QCOMPARE(m_ui.informations, QStringList{"No updates were found."});

        QVERIFY(check("/feed", false));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        updater()->SkipUpdate();
        QCOMPARE(m_ui.updateWindowCloses, 1);
        QCOMPARE(FvUpdater::skippedVersion(), QString("0.80"));
        QCOMPARE(QSettings("Orvell3D", "Orvell3D").value("FVLatestSkippedVersion").toString(), QString("0.80"));
        QVERIFY(check("/feed", false));
        QCOMPARE(m_ui.informations, QStringList{"No updates were found."});
        QVERIFY(check("/feed", true));
        QCOMPARE(m_ui.shown(), 0);
        QVERIFY(check("/other", true));   // a still newer one is offered again
        QCOMPARE(m_ui.shownVersions, QStringList{"0.81"});
        updater()->RemindMeLater();
        QCOMPARE(FvUpdater::skippedVersion(), QString("0.80"));   // nothing stored
    }

    void errorsAreShownOnlyWhenAsked()
    {
        QVERIFY(check("/broken", true));
        QCOMPARE(m_ui.shown(), 0);
        QVERIFY(check("/broken", false));
        QCOMPARE(m_ui.errors.size(), 1);
        QVERIFY2(m_ui.errors.first().startsWith("Feed parsing failed: 1 "), qPrintable(m_ui.errors.first()));
        QVERIFY(check("/missing", false));
        QCOMPARE(m_ui.errors.size(), 1);
        QVERIFY2(m_ui.errors.first().startsWith("Feed download failed: "), qPrintable(m_ui.errors.first()));
        QVERIFY(m_ui.errors.first().endsWith("."));
    }

    void redirectsAreFollowedAndKept()
    {
        m_server->redirect("/moved", "/feed", 301);
        QVERIFY(check("/moved", false));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        QCOMPARE(updater()->getFeedURL(), m_server->url("/feed"));   // later checks start there

        // Five hops are followed, a sixth is not.
        for (int i = 1; i <= 6; ++i)
            m_server->redirect("/hop" + QByteArray::number(i), i == 6 ? m_server->url("/feed").toLatin1()
                                                                       : "/hop" + QByteArray::number(i + 1));
        QVERIFY(check("/hop2", false));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        QVERIFY(check("/hop1", false));
        QCOMPARE(m_ui.errors, QStringList{"Feed download failed: more than 5 redirections."});
        QCOMPARE(m_ui.shownVersions, QStringList());
    }

    void redirectLoopsAndOtherSchemesEndTheCheck()
    {
        m_server->redirect("/a", "/b");
        m_server->redirect("/b", "/a");
        QVERIFY(check("/a", false));
        QCOMPARE(m_ui.errors.size(), 1);
        QVERIFY2(m_ui.errors.first().startsWith("Feed download failed: redirection loop at "),
                 qPrintable(m_ui.errors.first()));
        m_server->redirect("/file", "file:///etc/passwd");
        QVERIFY(check("/file", false));
        QVERIFY2(m_ui.errors.value(0).contains("not an http or https address"), qPrintable(m_ui.errors.value(0)));
    }

    void oversizedAndEndlessFeedsAreCutOff()
    {
        updater()->setMaxFeedBytes(100000);
        // A declared length beyond the limit, and an answer that never ends.
        m_server->ok("/big", QByteArray(200000, ' '));
        TinyHttpServer::Route endless;
        endless.response = "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nConnection: close\r\n\r\n<rss>";
        endless.floodBytes = qint64(1) << 40;
        m_server->setRoute("/endless", endless);
        for (const QByteArray &path : {QByteArray("/big"), QByteArray("/endless")}) {
            QVERIFY(check(path, false));
            QCOMPARE(m_ui.errors, QStringList{"Feed download failed: the feed is larger than 100000 bytes."});
        }
        m_server->ok("/fits", feedWith("0.80") + QByteArray(90000, ' '));
        QVERIFY(check("/fits", false));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
    }

    void aFeedThatNeverFinishesTimesOut()
    {
        updater()->setTimeoutMs(500);
        QVERIFY(check("/slow", false));
        QCOMPARE(m_ui.errors, QStringList{"Feed download failed: no answer within 0.5 seconds."});
        QVERIFY(!updater()->isDownloading());
    }

    void aNewCheckReplacesTheOneUnderWay()
    {
        updater()->setFeedURL(m_server->url("/slow"));
        QVERIFY(updater()->CheckForUpdates(false));
        QTRY_COMPARE(m_server->requests.last().split(' ').value(1), QByteArray("/slow"));
        QVERIFY(check("/feed", false));
        QCOMPARE(m_ui.shownVersions, QStringList{"0.80"});
        QCOMPARE(m_ui.errors, QStringList());   // the abandoned download reports nothing
    }

    void releaseNotesAreBounded()
    {
        m_server->ok("/notes", "<p>Better <b>supports</b></p>", "text/html");
        updater()->setMaxFeedBytes(1000);
        m_server->ok("/hugenotes", QByteArray(5000, 'x'), "text/html");
        QCOMPARE(fetchNotes(m_server->url("/notes")), (Fetched{"<p>Better <b>supports</b></p>", QString()}));
        const Fetched huge = fetchNotes(m_server->url("/hugenotes"));
        QVERIFY(huge.first.isEmpty());
        QVERIFY2(huge.second.contains("larger than 1000 bytes"), qPrintable(huge.second));
        QVERIFY(!fetchNotes("ftp://127.0.0.1/notes").second.isEmpty());
    }
};

QTEST_MAIN(UpdaterTest)
#include "tst_updater.moc"

#include <QtTest>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "support_http.h"
#include "update/FvUpdater.h"
#include "update/ui/FvUpdateWindows.h"

// The update window and the confirmation dialog driven by a check against a local server.
class UpdateWindowTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config;
    TinyHttpServer m_server;

    static QStringList labelTexts(QWidget *w)
    {
        QStringList out;
        for (const QLabel *l : w->findChildren<QLabel *>())
            out << l->text();
        return out;
    }

private slots:
    void initTestCase()
    {
        useTestIdentity(m_config.path());
        const QByteArray notes = m_server.url("/notes").toLatin1();
        m_server.ok("/feed", "<rss xmlns:fervor=\"http://github.com/pypt/fervor\"><channel><item><title>0.80</title>"
                             "<link>" + notes + "</link><enclosure url=\"https://example.invalid/o.deb\" "
                             "fervor:version=\"0.80\" fervor:platform=\"Q_OS_LINUX\"/></item></channel></rss>");
        m_server.ok("/notes", "<h1>Better supports</h1><img src=\"" + m_server.url("/pixel.png").toLatin1() +
                                  "\"><a href=\"javascript:alert(1)\">x</a><a href=\"https://example.invalid/\">y</a>",
                    "text/html");
    }

    void windowShowsTheOfferAndItsNotes()
    {
        FvUpdateWindows windows;
        FvUpdater *updater = FvUpdater::sharedUpdater();
        updater->setPresenter(&windows);
        updater->setFeedURL(m_server.url("/feed"));
        QSignalSpy done(updater, &FvUpdater::checkFinished);
        QVERIFY(updater->CheckForUpdatesNotSilent());
        QVERIFY(done.wait(15000));
        QPointer<FvUpdateWindow> window = windows.updateWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QString("Software Update"));
        const QStringList texts = labelTexts(window);
        QVERIFY(texts.contains("<b>A new version of Orvell3D is available!</b>"));
        QVERIFY(texts.contains("Orvell3D 0.80 is now available - you have 0.78. Would you like to download it now?"));
        QTRY_VERIFY(window->releaseNotes()->toPlainText().contains("Better supports"));
        QTest::qWait(200);
        for (const QByteArray &head : m_server.requests)
            QVERIFY2(!head.contains("/pixel.png"), head.constData());   // no remote images

        // Install asks first; Cancel closes only the question.
        window->findChild<QPushButton *>("installUpdateButton")->click();
        QPointer<FvUpdateConfirmDialog> confirm = windows.confirmDialog();
        QVERIFY(confirm);
        const QStringList confirmTexts = labelTexts(confirm);
        QVERIFY(confirmTexts.contains("The update file is located at:"));
        QVERIFY(confirmTexts.contains("<a href=\"https://example.invalid/o.deb\">https://example.invalid/o.deb</a>"));
        QVERIFY(confirmTexts.contains("Download this update, close \"Orvell3D\", install it, and then reopen \"Orvell3D\"."));
        QVERIFY(confirmTexts.contains("When you click \"OK\", this link will be opened in your browser."));
        confirm->reject();
        QTRY_VERIFY(!confirm);
        QVERIFY(window && window->isVisible());

        window->findChild<QPushButton *>("skipThisVersionButton")->click();
        QTRY_VERIFY(!window);
        QCOMPARE(FvUpdater::skippedVersion(), QString("0.80"));
        updater->setPresenter(nullptr);
        FvUpdater::drop();
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "tst_update_window.moc"

#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

#include "update/FvAvailableUpdate.h"

class QNetworkAccessManager;


// What the update check shows the user. The window library supplies the real windows; without
// a presenter (headless, tests) messages only go to the log.
class FvUpdatePresenter
{
public:
    virtual ~FvUpdatePresenter() = default;
    virtual void showErrorMessage(const QString &message) = 0;         // critical box "Error"
    virtual void showInformationMessage(const QString &message) = 0;   // information box "Information"
    // The update window for `update` (an existing one is closed first).
    virtual void showUpdateWindow(const FvAvailableUpdate &update) = 0;
    virtual void closeUpdateWindow() = 0;
    virtual void showConfirmDialog(const FvAvailableUpdate &update) = 0;
    virtual void closeConfirmDialog() = 0;
    // Opens a link in the user's browser; false when that failed.
    virtual bool openUrl(const QUrl &url) = 0;
};

// The update check: downloads the appcast feed, reads its first item and offers a newer
// version's download link. One check at a time; a new check abandons the one under way.
// Nothing is downloaded or installed besides the feed and the release notes.
//
// A download is bounded: at most `maxRedirects` redirections, only to http or https and never
// back to an address already visited; at most `maxFeedBytes`; at most `timeoutMs` in total.
class FvUpdater : public QObject
{
    Q_OBJECT
public:
    // The process-wide updater, made on first use.
    static FvUpdater *sharedUpdater();
    // Removes the shared updater (at exit, or between tests).
    static void drop();

    void setFeedURL(const QString &feedUrl);
    QString getFeedURL() const { return m_feedUrl.toString(); }

    void setPresenter(FvUpdatePresenter *presenter) { m_presenter = presenter; }
    void setMaxFeedBytes(qint64 bytes) { m_maxFeedBytes = bytes; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setMaxRedirects(int count) { m_maxRedirects = count; }

    // The offered update, when the last check found one.
    const std::optional<FvAvailableUpdate> &proposedUpdate() const { return m_proposedUpdate; }
    bool isDownloading() const { return m_reply != nullptr; }

    // The version the user chose to skip (native settings "FVLatestSkippedVersion").
    static QString skippedVersion();

    // Downloads `url` (release notes) within the same bounds as the feed and calls `done` with
    // the body, or with an empty body and a reason. `context` ends the call when destroyed.
    void fetchBounded(const QUrl &url, QObject *context,
                      std::function<void(const QByteArray &body, const QString &error)> done);

    static constexpr qint64 defaultMaxFeedBytes = 1024 * 1024;
    static constexpr int defaultTimeoutMs = 30000;
    static constexpr int defaultMaxRedirects = 5;

public slots:
    // Starts a check; true when a download was started. A silent check shows only what
    // needs the user (a newer version, or errors shown with force).
    bool CheckForUpdates(bool silentAsMuchAsItCouldGet = true);
    bool CheckForUpdatesSilent();
    bool CheckForUpdatesNotSilent();

    void InstallUpdate();
    void SkipUpdate();
    void RemindMeLater();
    void UpdateInstallationConfirmed();
    void UpdateInstallationNotConfirmed();

    void httpFeedReadyRead();
    void httpFeedUpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes);
    void httpFeedDownloadFinished();

signals:
    // A check ended: with an error, nothing new, or an update shown.
    void checkFinished();

private:
    explicit FvUpdater(QObject *parent = nullptr);
    ~FvUpdater() override;

    void startDownloadFeed(const QUrl &url);
    void abortDownload(QNetworkReply *reply);
    void finishCheck();
    void showErrorDialog(const QString &message, bool force = false);
    void showInformationDialog(const QString &message, bool force = false);

    QUrl m_feedUrl;
    bool m_silent = false;
    QNetworkAccessManager *m_qnam = nullptr;
    QPointer<QNetworkReply> m_reply;
    bool m_httpRequestAborted = false;
    QByteArray m_feed;
    QString m_feedFault;          // set when the download was cut off (too big, too slow)
    QTimer m_deadline;
    int m_redirects = 0;
    QSet<QUrl> m_visited;
    std::optional<FvAvailableUpdate> m_proposedUpdate;
    FvUpdatePresenter *m_presenter = nullptr;
    qint64 m_maxFeedBytes = defaultMaxFeedBytes;
    int m_timeoutMs = defaultTimeoutMs;
    int m_maxRedirects = defaultMaxRedirects;
};

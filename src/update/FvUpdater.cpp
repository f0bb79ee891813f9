#include "update/FvUpdater.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QtDebug>

#include "config/AppInfo.h"
#include "update/AppcastFeed.h"

namespace {

const char *const skippedVersionKey = "FVLatestSkippedVersion";

FvUpdater *s_instance = nullptr;
QMutex s_instanceMutex;

// Qt keeps at most this much of an answer unread, so a flood cannot fill memory between reads.
constexpr qint64 readBufferBytes = 64 * 1024;

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

FvUpdater *FvUpdater::sharedUpdater()
{
    QMutexLocker lock(&s_instanceMutex);
    if (!s_instance)
        s_instance = new FvUpdater();
    return s_instance;
}

void FvUpdater::drop()
{
    QMutexLocker lock(&s_instanceMutex);
    delete s_instance;
    s_instance = nullptr;
}

FvUpdater::FvUpdater(QObject *parent) : QObject(parent), m_qnam(new QNetworkAccessManager(this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_feedFault = tr("no answer within %1 seconds").arg(m_timeoutMs / 1000.0);
        m_reply->abort();
    });
}

FvUpdater::~FvUpdater()
{
    if (m_reply) {
        m_httpRequestAborted = true;
        m_reply->abort();
    }
}

void FvUpdater::setFeedURL(const QString &feedUrl)
{
    m_feedUrl = QUrl(feedUrl.trimmed());
}

QString FvUpdater::skippedVersion()
{
    const QSettings settings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    return settings.value(QLatin1String(skippedVersionKey)).toString();
}

bool FvUpdater::CheckForUpdates(bool silentAsMuchAsItCouldGet)
{
    if (m_feedUrl.isEmpty()) {
        qCritical() << "Please set feed URL via setFeedURL() before calling CheckForUpdates().";
        return false;
    }
    m_silent = silentAsMuchAsItCouldGet;
    if (QCoreApplication::organizationName().isEmpty()) {
        qCritical() << "QApplication::organizationName is not set. Please do that.";
        return false;
    }
    if (QCoreApplication::organizationDomain().isEmpty()) {
        qCritical() << "QApplication::organizationDomain is not set. Please do that.";
        return false;
    }
    if (QCoreApplication::applicationName().isEmpty()) {
        qWarning().noquote() << QString("QApplication::applicationName is not set, setting it to '%1'")
                                    .arg(QLatin1String(AppInfo::name));
        QCoreApplication::setApplicationName(QLatin1String(AppInfo::name));
    }
    if (QCoreApplication::applicationVersion().isEmpty()) {
        qWarning().noquote() << QString("QApplication::applicationVersion is not set, setting it to '%1'")
                                    .arg(QLatin1String(AppInfo::version));
        QCoreApplication::setApplicationVersion(QLatin1String(AppInfo::version));
    }
    if (m_reply)
        abortDownload(m_reply);
    m_httpRequestAborted = false;
    m_redirects = 0;
    m_visited.clear();
    startDownloadFeed(m_feedUrl);
    return true;
}

bool FvUpdater::CheckForUpdatesSilent()
{
    return CheckForUpdates(true);
}

bool FvUpdater::CheckForUpdatesNotSilent()
{
    return CheckForUpdates(false);
}

void FvUpdater::abortDownload(QNetworkReply *reply)
{
    m_httpRequestAborted = true;
    reply->abort();
    m_reply = nullptr;
}

void FvUpdater::startDownloadFeed(const QUrl &url)
{
    m_feed.clear();
    m_feedFault.clear();
    m_visited.insert(url.adjusted(QUrl::NormalizePathSegments));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/xml"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QCoreApplication::applicationName());
    // Redirections are followed here, one by one, so each can be checked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_qnam->get(request);
    m_reply->setReadBufferSize(readBufferBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &FvUpdater::httpFeedReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &FvUpdater::httpFeedUpdateDataReadProgress);
    connect(m_reply, &QNetworkReply::finished, this, &FvUpdater::httpFeedDownloadFinished);
    m_deadline.start(m_timeoutMs);
}

void FvUpdater::httpFeedReadyRead()
{
    QNetworkReply *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_reply)
        return;
    m_feed += reply->read(m_maxFeedBytes + 1 - m_feed.size());
    if (m_feed.size() > m_maxFeedBytes) {
        m_feedFault = tr("the feed is larger than %1 bytes").arg(m_maxFeedBytes);
        m_feed.clear();
        reply->abort();
    }
}

void FvUpdater::httpFeedUpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes)
{
    Q_UNUSED(bytesRead);
    Q_UNUSED(totalBytes);
}

void FvUpdater::httpFeedDownloadFinished()
{
    QNetworkReply *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    if (m_httpRequestAborted || reply != m_reply) {
        m_httpRequestAborted = false;
        return;
    }
    m_deadline.stop();
    m_reply = nullptr;

    if (!m_feedFault.isEmpty()) {
        showErrorDialog(tr("Feed download failed: %1.").arg(m_feedFault));
        finishCheck();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        showErrorDialog(tr("Feed download failed: %1.").arg(reply->errorString()));
        finishCheck();
        return;
    }
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (target.isValid()) {
        const QUrl next = m_feedUrl.resolved(target.toUrl());
        QString fault;
        if (!isWebUrl(next))
            fault = tr("redirection to %1, which is not an http or https address").arg(next.toDisplayString());
        else if (m_visited.contains(next.adjusted(QUrl::NormalizePathSegments)))
            fault = tr("redirection loop at %1").arg(next.toDisplayString());
        else if (++m_redirects > m_maxRedirects)
            fault = tr("more than %1 redirections").arg(m_maxRedirects);
        if (!fault.isEmpty()) {
            showErrorDialog(tr("Feed download failed: %1.").arg(fault));
            finishCheck();
            return;
        }
        // Later checks start at the new address.
        m_feedUrl = next;
        startDownloadFeed(m_feedUrl);
        return;
    }
    m_feed += reply->read(m_maxFeedBytes + 1 - m_feed.size());
    if (m_feed.size() > m_maxFeedBytes) {
        showErrorDialog(tr("Feed download failed: %1.").arg(tr("the feed is larger than %1 bytes").arg(m_maxFeedBytes)));
        finishCheck();
        return;
    }

    const AppcastVerdict verdict = readAppcast(m_feed, fvPlatformToken(), QCoreApplication::applicationVersion(),
                                               skippedVersion());
    m_feed.clear();
    switch (verdict.kind) {
    case AppcastVerdict::Error:
        showErrorDialog(verdict.message);
        break;
    case AppcastVerdict::NoUpdate:
        if (!verdict.ignoredVersion.isEmpty())
            qDebug().noquote() << "Version '" + verdict.ignoredVersion + "' is ignored.";
        showInformationDialog(verdict.message);
        break;
    case AppcastVerdict::Update:
        m_proposedUpdate = verdict.update;
        if (m_presenter)
            m_presenter->showUpdateWindow(*m_proposedUpdate);
        else
            qInfo().noquote() << "A new version is available:" << m_proposedUpdate->enclosureVersion;
        break;
    }
    finishCheck();
}

void FvUpdater::finishCheck()
{
    emit checkFinished();
}

void FvUpdater::showErrorDialog(const QString &message, bool force)
{
    qWarning().noquote() << "Update check:" << message;
    if (m_silent && !force)
        return;
    if (m_presenter)
        m_presenter->showErrorMessage(message);
}

void FvUpdater::showInformationDialog(const QString &message, bool force)
{
    qDebug().noquote() << "Update check:" << message;
    if (m_silent && !force)
        return;
    if (m_presenter)
        m_presenter->showInformationMessage(message);
}

void FvUpdater::InstallUpdate()
{
    qDebug() << "Install update";
    if (!m_proposedUpdate) {
        qWarning() << "Proposed update is NULL (shouldn't be at this point)";
        return;
    }
    if (m_presenter) {
        m_presenter->closeConfirmDialog();
        m_presenter->showConfirmDialog(*m_proposedUpdate);
    }
}

void FvUpdater::SkipUpdate()
{
    qDebug() << "Skip update";
    if (!m_proposedUpdate) {
        qWarning() << "Proposed update is NULL (shouldn't be at this point)";
        return;
    }
    const QString version = m_proposedUpdate->enclosureVersion;
    if (!version.isEmpty() && version != QCoreApplication::applicationVersion()) {
        QSettings settings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
        settings.setValue(QLatin1String(skippedVersionKey), version);
        settings.sync();
        qDebug().noquote() << "Ignored version was stored at " + settings.fileName();
    }
    if (m_presenter) {
        m_presenter->closeUpdateWindow();
        m_presenter->closeConfirmDialog();
    }
}

void FvUpdater::RemindMeLater()
{
    qDebug() << "Remind me later";
    if (m_presenter) {
        m_presenter->closeUpdateWindow();
        m_presenter->closeConfirmDialog();
    }
}

void FvUpdater::UpdateInstallationConfirmed()
{
    qDebug() << "Confirm update installation";
    if (!m_proposedUpdate) {
        qWarning() << "Proposed update is NULL (shouldn't be at this point)";
        return;
    }
    const QUrl url = m_proposedUpdate->enclosureUrl;
    // Only web links go to the browser; a feed cannot make the desktop run something else.
    if (!isWebUrl(url) || !m_presenter || !m_presenter->openUrl(url)) {
        showErrorDialog(tr("Unable to open this link in a browser. Please do it manually."), true);
        return;
    }
    m_presenter->closeUpdateWindow();
    m_presenter->closeConfirmDialog();
}

void FvUpdater::UpdateInstallationNotConfirmed()
{
    qDebug() << "Do not confirm update installation";
    if (m_presenter)
        m_presenter->closeConfirmDialog();
}

void FvUpdater::fetchBounded(const QUrl &url, QObject *context,
                             std::function<void(const QByteArray &, const QString &)> done)
{
    if (!isWebUrl(url)) {
        done(QByteArray(), tr("not an http or https address"));
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QCoreApplication::applicationName());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_maxRedirects);
    QNetworkReply *reply = m_qnam->get(request);
    reply->setReadBufferSize(readBufferBytes);
    struct State
    {
        QByteArray body;
        QString fault;
        QTimer timer;
    };
    auto state = std::make_shared<State>();
    const qint64 limit = m_maxFeedBytes;
    state->timer.setSingleShot(true);
    connect(&state->timer, &QTimer::timeout, reply, [reply, state, ms = m_timeoutMs] {
        state->fault = tr("no answer within %1 seconds").arg(ms / 1000.0);
        reply->abort();
    });
    state->timer.start(m_timeoutMs);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, state, limit] {
        state->body += reply->read(limit + 1 - state->body.size());
        if (state->body.size() > limit) {
            state->fault = tr("larger than %1 bytes").arg(limit);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, context, [reply, state, limit, done] {
        reply->deleteLater();
        state->timer.stop();
        if (state->fault.isEmpty() && reply->error() == QNetworkReply::NoError) {
            state->body += reply->read(limit + 1 - state->body.size());
            if (state->body.size() > limit)
                state->fault = tr("larger than %1 bytes").arg(limit);
        }
        if (state->fault.isEmpty() && reply->error() != QNetworkReply::NoError)
            state->fault = reply->errorString();
        if (!state->fault.isEmpty())
            done(QByteArray(), state->fault);
        else
            done(state->body, QString());
    });
    // A window closed before the answer came takes the request with it.
    connect(context, &QObject::destroyed, reply, [reply, context] {
        QObject::disconnect(reply, nullptr, context, nullptr);
        reply->abort();
        reply->deleteLater();
    });
}

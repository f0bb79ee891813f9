#include "update/AppcastFeed.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

#include "update/FvVersionComparator.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FvUpdater", text);
}

// The fields collected from the item being read.
struct ItemFields
{
    QString title;
    QString link;
    QString releaseNotesLink;
    QString pubDate;
    QString enclosureUrl;
    QString enclosureVersion;
    QString enclosurePlatform;
    qint64 enclosureLength = 0;
    QString enclosureType;
};

AppcastVerdict error(const QString &message)
{
    AppcastVerdict v;
    v.kind = AppcastVerdict::Error;
    v.message = message;
    return v;
}

AppcastVerdict noUpdate()
{
    AppcastVerdict v;
    v.kind = AppcastVerdict::NoUpdate;
    v.message = tr("No updates were found.");
    return v;
}

AppcastVerdict evaluateItem(ItemFields item, const QString &runningVersion, const QString &skippedVersion)
{
    if (!item.releaseNotesLink.isEmpty())
        item.link = item.releaseNotesLink;
    else if (item.link.isEmpty())
        return error(tr("Feed error: \"release notes\" link is empty"));
    if (!item.link.startsWith(QLatin1String("http://")) && !item.link.startsWith(QLatin1String("https://")))
        return error(tr("Feed error: invalid \"release notes\" link"));
    if (item.enclosureUrl.isEmpty() || item.enclosureVersion.isEmpty() || item.enclosurePlatform.isEmpty())
        return error(tr("Feed error: invalid \"enclosure\" with the download link"));
    if (isVersionIgnored(item.enclosureVersion, runningVersion, skippedVersion)) {
        AppcastVerdict v = noUpdate();
        v.ignoredVersion = item.enclosureVersion;
        return v;
    }
    AppcastVerdict v;
    v.kind = AppcastVerdict::Update;
    v.update.title = item.title;
    v.update.releaseNotesLink = QUrl(item.link);
    v.update.pubDate = item.pubDate;
    v.update.enclosureUrl = QUrl(item.enclosureUrl);
    v.update.enclosureVersion = item.enclosureVersion;
    v.update.enclosurePlatform = item.enclosurePlatform;
    v.update.enclosureLength = item.enclosureLength;
    v.update.enclosureType = item.enclosureType;
    return v;
}

void readEnclosure(const QXmlStreamAttributes &attributes, const QString &platformToken, ItemFields *item)
{
    if (!attributes.hasAttribute(QLatin1String("fervor:platform")))
        return;
    const QString platform = attributes.value(QLatin1String("fervor:platform")).toString().trimmed().toUpper();
    if (platform != platformToken)
        return;
    item->enclosurePlatform = platform;
    item->enclosureUrl = attributes.value(QLatin1String("url")).toString().trimmed();
    const QString sparkle = attributes.value(QLatin1String("sparkle:version")).toString().trimmed();
    if (!sparkle.isEmpty())
        item->enclosureVersion = sparkle;
    const QString fervor = attributes.value(QLatin1String("fervor:version")).toString().trimmed();
    if (!fervor.isEmpty())
        item->enclosureVersion = fervor;
    bool ok = false;
    const qint64 length = attributes.value(QLatin1String("length")).toString().trimmed().toLongLong(&ok);
    item->enclosureLength = ok ? length : 0;
    item->enclosureType = attributes.value(QLatin1String("type")).toString().trimmed();
}

} // namespace

QString fvPlatformToken()
{
#if defined(Q_OS_LINUX)
    return QStringLiteral("Q_OS_LINUX");
#elif defined(Q_OS_WIN32)
    return QStringLiteral("Q_OS_WIN32");
#elif defined(Q_OS_MAC)
    return QStringLiteral("Q_OS_MAC");
#else
    return QStringLiteral("Q_OS_UNIX");
#endif
}

bool isVersionIgnored(const QString &version, const QString &runningVersion, const QString &skippedVersion)
{
    if (version == runningVersion)
        return true;
    if (!skippedVersion.isEmpty() && version == skippedVersion)
        return true;
    return compareVersions(runningVersion, version) != -1;
}

AppcastVerdict readAppcast(const QByteArray &feed, const QString &platformToken, const QString &runningVersion,
                           const QString &skippedVersion)
{
    QXmlStreamReader xml(feed);
    QString currentName, currentQualifiedName;
    ItemFields item;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            currentName = xml.name().toString();
            currentQualifiedName = xml.qualifiedName().toString();
            if (currentName == QLatin1String("item"))
                item = ItemFields();
            else if (currentName == QLatin1String("enclosure"))
                readEnclosure(xml.attributes(), platformToken, &item);
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("item"))
                return evaluateItem(item, runningVersion, skippedVersion);
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            const QString text = xml.text().toString().trimmed();
            if (currentName == QLatin1String("title"))
                item.title += text;
            else if (currentName == QLatin1String("link"))
                item.link += text;
            else if (currentQualifiedName == QLatin1String("sparkle:releaseNotesLink"))
                item.releaseNotesLink += text;
            else if (currentName == QLatin1String("pubDate"))
                item.pubDate += text;
        }
        if (xml.error() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return error(tr("Feed parsing failed: %1 %2.").arg(QString::number(xml.lineNumber()), xml.errorString()));
    }
    return noUpdate();
}

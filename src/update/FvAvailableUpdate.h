#pragma once

#include <QString>
#include <QUrl>

// One update offered by the feed: the first item's fields.
struct FvAvailableUpdate
{
    QString title;
    QUrl releaseNotesLink;
    QString pubDate;
    QUrl enclosureUrl;          // the download link, opened in the user's browser
    QString enclosureVersion;
    QString enclosurePlatform;
    qint64 enclosureLength = 0; // bytes
    QString enclosureType;
};

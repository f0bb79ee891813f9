#pragma once

#include <QByteArray>
#include <QString>

#include "update/FvAvailableUpdate.h"

// Reading an appcast feed (RSS with the Sparkle and Fervor name-spaces) as a pure function of
// its bytes. Only the first item counts; its enclosure is used when its "fervor:platform"
// names this build's platform.

// "Q_OS_LINUX" on Linux ("Q_OS_WIN32", "Q_OS_MAC" elsewhere).
QString fvPlatformToken();

struct AppcastVerdict
{
    enum Kind {
        Update,       // a newer version: `update` holds it
        NoUpdate,     // nothing usable or nothing newer: information "No updates were found."
        Error         // `message` is the error to show
    };
    Kind kind = NoUpdate;
    QString message;            // the text to show (error or information)
    QString ignoredVersion;     // set when the item's version is the running or a skipped one
    FvAvailableUpdate update;
};

// The whole evaluation of a downloaded feed: parsing, the item's checks and whether its
// version is newer than `runningVersion` and not `skippedVersion`. Never reads outside
// `feed`; XML entity expansion stays within the XML reader's limits.
AppcastVerdict readAppcast(const QByteArray &feed, const QString &platformToken, const QString &runningVersion,
                           const QString &skippedVersion);

// Whether an offered version is left alone: the running one, the skipped one, or one that is
// not newer than the running one.
bool isVersionIgnored(const QString &version, const QString &runningVersion, const QString &skippedVersion);

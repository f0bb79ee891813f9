#pragma once

#include <QString>

// Where a package export keeps its files until the finished archive is in place.
//
// The layers, previews, text files and the archive being built live in a private folder
// "export-<pid>-XXXXXX" inside the working folder "temp" of the data folder, never beside the
// user's package: a run that is killed, crashes or loses its power leaves nothing there. What
// such a run leaves in "temp" is removed when the next export begins (folders of processes
// that still run are left alone). Only when the data folder is on another disk than the
// package does the archive pass beside it, as a hidden ".<name>.<pid>.part" for the time of
// one copy; stale ones are removed the same way.

// Creates a fresh private folder for one export. Empty, with `error` set, when it cannot.
QString createExportFolder(QString *error = nullptr);

// Removes what exports of ended processes left: their folders in "temp" and their partial
// archives in `packageFolder` (may be empty). Returns how many were removed.
int removeStaleExportFiles(const QString &packageFolder = QString());

// The hidden name beside `packagePath` under which this process copies an archive in.
QString partialPackagePath(const QString &packagePath);

// Puts the finished archive `built` at `packagePath` in one step, replacing an older package
// only then. `built` is gone afterwards whether or not this succeeds; on failure the older
// package is untouched and `error` says why.
bool movePackageIntoPlace(const QString &built, const QString &packagePath, QString *error = nullptr);

// Whether a process with this id runs (one of another user counts as running).
bool isProcessRunning(qint64 pid);

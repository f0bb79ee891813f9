#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The fixed password of print packages, the same for writing and reading.
QString packagePassword();

// One entry of an archive listing.
struct ArchiveMember
{
    QString path;          // as stored in the archive
    qint64 sizeBytes = 0;  // uncompressed
    bool isFolder = false;
    bool isLink = false;
};

// ZIP archives through the external archive tool (7za of p7zip). Every call runs the tool as a
// child process, waits for it and checks how it ended: a tool that is missing, fails, crashes or
// runs past its time limit gives false and a sentence for the user (naming the archive and the
// tool's last words). Entries are protected with the traditional ZIP password encryption, so
// packages open with `7za x -p…`, `unzip -P …` and Python's zipfile.
//
// The tool is killed when this program ends, so it never goes on writing alone.
//
// The calls block; a wait callback, when set, is called about every 50 ms while the tool runs
// (to keep a window alive or show progress) and abandons the run by returning false.
class Archiver
{
public:
    explicit Archiver(const QString &program = QStringLiteral("7za"));

    // Time limit of a single call in milliseconds. 0 (the default) means 30 s for extractions
    // and, for add, 30 s plus 1 s per 10 MB of input, so large packages are not cut off.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Stored entries (the default) or deflated ones. Layer PNGs are compressed already, and
    // storing them costs a fraction of deflating them again for nearly the same size.
    void setStoreOnly(bool store) { m_storeOnly = store; }
    void setWaitCallback(std::function<bool()> callback) { m_wait = std::move(callback); }

    // Adds the named files of folder to the archive, at its top level. Names are plain file
    // names inside folder; an empty list adds every file of folder (not its sub-folders).
    // An existing archive is updated: entries of the same name are replaced, others stay.
    bool add(const QString &archivePath, const QString &folder, const QStringList &fileNames,
             const QString &password, QString *error = nullptr) const;

    // Extracts one top-level member, without its path, into outFolder. An existing file of that
    // name in outFolder is never overwritten (the call fails instead); extract into a folder of
    // your own and delete the file when done.
    bool extractFlat(const QString &archivePath, const QString &member, const QString &outFolder,
                     const QString &password, QString *error = nullptr) const;

    // The same for several members in one run of the tool (much faster than one call each).
    bool extractFlat(const QString &archivePath, const QStringList &members, const QString &outFolder,
                     const QString &password, QString *error = nullptr) const;

    // Extracts every member called memberName, wherever it lies in the archive, into outFolder
    // keeping its path (replacing files already there). Used for the model part of 3MF files.
    bool extractWithPaths(const QString &archivePath, const QString &outFolder, const QString &memberName,
                          QString *error = nullptr) const;

    // Lists every member with its uncompressed size, so callers can refuse unsafe names and
    // oversized members before extracting anything.
    bool list(const QString &archivePath, const QString &password, QList<ArchiveMember> *members,
              QString *error = nullptr) const;

    QString program() const { return m_program; }

private:
    bool run(const QStringList &arguments, const QString &workingFolder, int timeoutMs,
             const QString &archivePath, QString *error, QByteArray *output = nullptr) const;

    QString m_program;
    int m_timeoutMs = 0;
    bool m_storeOnly = true;
    std::function<bool()> m_wait;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reading plain ZIP archives in memory, for model files that are ZIP packages (3MF). Nothing
// is written to disk, so reading a model can never leave files beside the user's own. Pure
// functions on the archive's bytes; every offset and size read from the archive is checked
// against the data before use.

struct ZipEntry
{
    QString name;                  // as stored, "/" separated
    quint64 compressedSize = 0;
    quint64 size = 0;              // uncompressed, as the archive declares it
    quint64 localHeaderOffset = 0;
    quint32 crc32 = 0;
    quint16 method = 0;            // 0 stored, 8 deflated
    quint16 flags = 0;
    bool isLink = false;           // a symbolic link recorded by a Unix archiver
};

struct ZipDirectory
{
    QList<ZipEntry> entries;
    QString error;                 // why the data is not a readable ZIP archive; empty on success

    bool ok() const { return error.isEmpty(); }
    // The entry of that name, compared without regard to case (package part names are
    // case-insensitive); nullptr when there is none.
    const ZipEntry *find(const QString &name) const;
};

// The central directory of a ZIP archive (ZIP64 included).
ZipDirectory readZipDirectory(const QByteArray &archive);

// The uncompressed content of one entry. Entries larger than maxBytes (as declared, or as they
// turn out while inflating), encrypted entries, unknown compression methods and content whose
// checksum does not match are refused with a reason in *error.
bool readZipEntry(const QByteArray &archive, const ZipEntry &entry, qint64 maxBytes, QByteArray *out,
                  QString *error);

// Why an archive member name must not be used as a path below an extraction folder: empty,
// absolute, a drive letter, a ".." step or a backslash. An empty result means the name is safe.
QString unsafeMemberNameReason(const QString &name);

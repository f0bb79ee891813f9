#include "scene/ZipReader.h"

#include <QtEndian>
#include <zlib.h>

namespace {

constexpr quint32 sigLocal = 0x04034b50;
constexpr quint32 sigCentral = 0x02014b50;
constexpr quint32 sigEnd = 0x06054b50;
constexpr quint32 sigEnd64 = 0x06064b50;
constexpr quint32 sigEnd64Locator = 0x07064b50;

// Bounds-checked little-endian reads over the archive.
class Bytes
{
public:
    explicit Bytes(const QByteArray &data)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(quint64(data.size()))
    {
    }
    quint64 size() const { return m_size; }
    bool has(quint64 offset, quint64 length) const { return offset <= m_size && length <= m_size - offset; }
    quint16 u16(quint64 at) const { return qFromLittleEndian<quint16>(m_data + at); }
    quint32 u32(quint64 at) const { return qFromLittleEndian<quint32>(m_data + at); }
    quint64 u64(quint64 at) const { return qFromLittleEndian<quint64>(m_data + at); }
    const uchar *at(quint64 offset) const { return m_data + offset; }

private:
    const uchar *m_data;
    quint64 m_size;
};

// The end-of-directory record: searched backwards, as a comment of up to 64 KiB may follow it.
qint64 findEnd(const Bytes &b)
{
    if (b.size() < 22)
        return -1;
    const quint64 lowest = b.size() > 22 + 0xFFFF ? b.size() - 22 - 0xFFFF : 0;
    for (quint64 p = b.size() - 22 + 1; p-- > lowest;) {
        if (b.u32(p) == sigEnd && p + 22 + b.u16(p + 20) <= b.size())
            return qint64(p);
    }
    return -1;
}

// Replaces the 32-bit fields that are saturated by the values of the ZIP64 extra field.
bool applyZip64Extra(const Bytes &b, quint64 extra, quint64 extraLength, ZipEntry &e, bool wideSize,
                     bool wideCompressed, bool wideOffset)
{
    quint64 p = extra;
    const quint64 end = extra + extraLength;
    while (p + 4 <= end) {
        const quint16 id = b.u16(p);
        const quint16 len = b.u16(p + 2);
        if (p + 4 + len > end)
            return false;
        if (id == 0x0001) {
            quint64 q = p + 4;
            const quint64 stop = q + len;
            auto take = [&](quint64 &field) {
                if (q + 8 > stop)
                    return false;
                field = b.u64(q);
                q += 8;
                return true;
            };
            if (wideSize && !take(e.size))
                return false;
            if (wideCompressed && !take(e.compressedSize))
                return false;
            if (wideOffset && !take(e.localHeaderOffset))
                return false;
            return true;
        }
        p += 4 + len;
    }
    return !(wideSize || wideCompressed || wideOffset);
}

bool inflateRaw(const uchar *data, quint64 length, quint64 expected, QByteArray *out)
{
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return false;
    out->resize(int(expected));
    zs.next_in = const_cast<Bytef *>(data);
    zs.next_out = reinterpret_cast<Bytef *>(out->data());
    zs.avail_out = uInt(expected);
    int rc = Z_OK;
    // Input in pieces, as a 64-bit length does not fit zlib's counters.
    quint64 left = length;
    while (rc == Z_OK) {
        if (zs.avail_in == 0 && left > 0) {
            const uInt piece = uInt(qMin<quint64>(left, 1u << 30));
            zs.avail_in = piece;
            left -= piece;
        }
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_OK && zs.avail_out == 0) {
            // Output full but the stream goes on: more data than declared.
            uchar probe;
            zs.next_out = &probe;
            zs.avail_out = 1;
            rc = inflate(&zs, Z_NO_FLUSH);
            if (rc != Z_STREAM_END || zs.avail_out == 0) {
                inflateEnd(&zs);
                return false;
            }
            break;
        }
        if (rc == Z_BUF_ERROR && zs.avail_in == 0 && left == 0)
            break;
    }
    const bool complete = rc == Z_STREAM_END && zs.total_out == expected;
    inflateEnd(&zs);
    return complete;
}

} // namespace

const ZipEntry *ZipDirectory::find(const QString &name) const
{
    for (const ZipEntry &e : entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

ZipDirectory readZipDirectory(const QByteArray &archive)
{
    ZipDirectory dir;
    const Bytes b(archive);
    const qint64 endAt = findEnd(b);
    if (endAt < 0) {
        dir.error = QStringLiteral("not a ZIP archive (no central directory found)");
        return dir;
    }
    const quint64 end = quint64(endAt);
    quint64 count = b.u16(end + 10);
    quint64 cdSize = b.u32(end + 12);
    quint64 cdOffset = b.u32(end + 16);
    if ((count == 0xFFFF || cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF) && end >= 20 &&
        b.u32(end - 20) == sigEnd64Locator) {
        const quint64 end64 = b.u64(end - 20 + 8);
        if (!b.has(end64, 56) || b.u32(end64) != sigEnd64) {
            dir.error = QStringLiteral("damaged ZIP archive (the ZIP64 directory record is missing)");
            return dir;
        }
        count = b.u64(end64 + 32);
        cdSize = b.u64(end64 + 40);
        cdOffset = b.u64(end64 + 48);
    }
    if (!b.has(cdOffset, cdSize) || count > cdSize / 46) {
        dir.error = QStringLiteral("damaged ZIP archive (the central directory lies outside the file)");
        return dir;
    }
    quint64 p = cdOffset;
    const quint64 cdEnd = cdOffset + cdSize;
    for (quint64 i = 0; i < count; ++i) {
        if (p + 46 > cdEnd || b.u32(p) != sigCentral) {
            dir.error = QStringLiteral("damaged ZIP archive (entry %1 of the central directory)").arg(i + 1);
            dir.entries.clear();
            return dir;
        }
        const quint16 madeBy = b.u16(p + 4);
        ZipEntry e;
        e.flags = b.u16(p + 8);
        e.method = b.u16(p + 10);
        e.crc32 = b.u32(p + 16);
        e.compressedSize = b.u32(p + 20);
        e.size = b.u32(p + 24);
        const quint16 nameLength = b.u16(p + 28);
        const quint16 extraLength = b.u16(p + 30);
        const quint16 commentLength = b.u16(p + 32);
        const quint32 external = b.u32(p + 38);
        e.localHeaderOffset = b.u32(p + 42);
        if (p + 46 + nameLength + extraLength + commentLength > cdEnd) {
            dir.error = QStringLiteral("damaged ZIP archive (entry %1 of the central directory)").arg(i + 1);
            dir.entries.clear();
            return dir;
        }
        e.name = QString::fromUtf8(reinterpret_cast<const char *>(b.at(p + 46)), nameLength);
        if (!applyZip64Extra(b, p + 46 + nameLength, extraLength, e, e.size == 0xFFFFFFFF,
                             e.compressedSize == 0xFFFFFFFF, e.localHeaderOffset == 0xFFFFFFFF)) {
            dir.error = QStringLiteral("damaged ZIP archive (sizes of %1)").arg(e.name);
            dir.entries.clear();
            return dir;
        }
        // Host system 3 is Unix: the upper half of the external attributes is the file mode.
        e.isLink = (madeBy >> 8) == 3 && ((external >> 16) & 0170000) == 0120000;
        dir.entries << e;
        p += 46 + nameLength + extraLength + commentLength;
    }
    return dir;
}

bool readZipEntry(const QByteArray &archive, const ZipEntry &entry, qint64 maxBytes, QByteArray *out,
                  QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        out->clear();
        return false;
    };
    // QByteArray holds at most 2 GiB, whatever the caller allows.
    const quint64 limit = quint64(qBound<qint64>(0, maxBytes, 0x7FFFFF00));
    if (entry.size > limit)
        return fail(QStringLiteral("%1 is too large (%2 MB; at most %3 MB are read)")
                        .arg(entry.name)
                        .arg(double(entry.size) / 1e6, 0, 'f', 0)
                        .arg(double(limit) / 1e6, 0, 'f', 0));
    if (entry.flags & 0x1)
        return fail(QStringLiteral("%1 is encrypted").arg(entry.name));
    if (entry.method != 0 && entry.method != 8)
        return fail(QStringLiteral("%1 uses compression method %2, which is not supported")
                        .arg(entry.name).arg(entry.method));
    const Bytes b(archive);
    const quint64 local = entry.localHeaderOffset;
    if (!b.has(local, 30) || b.u32(local) != sigLocal)
        return fail(QStringLiteral("damaged ZIP archive (local header of %1)").arg(entry.name));
    const quint64 dataAt = local + 30 + b.u16(local + 26) + b.u16(local + 28);
    if (!b.has(dataAt, entry.compressedSize))
        return fail(QStringLiteral("damaged ZIP archive (%1 is cut short)").arg(entry.name));

    if (entry.method == 0) {
        if (entry.compressedSize != entry.size)
            return fail(QStringLiteral("damaged ZIP archive (sizes of %1)").arg(entry.name));
        *out = QByteArray(reinterpret_cast<const char *>(b.at(dataAt)), int(entry.size));
    } else {
        try {
            if (!inflateRaw(b.at(dataAt), entry.compressedSize, entry.size, out))
                return fail(QStringLiteral("damaged ZIP archive (%1 does not unpack to its stated size)")
                                .arg(entry.name));
        } catch (const std::bad_alloc &) {
            return fail(QStringLiteral("not enough memory to unpack %1").arg(entry.name));
        }
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    quint64 done = 0;
    while (done < quint64(out->size())) {
        const uInt piece = uInt(qMin<quint64>(quint64(out->size()) - done, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(out->constData() + done), piece);
        done += piece;
    }
    if (quint32(crc) != entry.crc32)
        return fail(QStringLiteral("damaged ZIP archive (checksum of %1)").arg(entry.name));
    return true;
}

QString unsafeMemberNameReason(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("an archive member has no name");
    if (name.startsWith('/') || name.startsWith('\\'))
        return QStringLiteral("the archive member \"%1\" has an absolute path").arg(name);
    if (name.size() >= 2 && name.at(1) == ':' && name.at(0).isLetter())
        return QStringLiteral("the archive member \"%1\" names a drive").arg(name);
    if (name.contains('\\'))
        return QStringLiteral("the archive member \"%1\" contains a backslash").arg(name);
    for (const QString &step : name.split('/')) {
        if (step == QLatin1String(".."))
            return QStringLiteral("the archive member \"%1\" points outside its folder").arg(name);
    }
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return QStringLiteral("the archive member \"%1\" contains control characters").arg(name);
    }
    return QString();
}

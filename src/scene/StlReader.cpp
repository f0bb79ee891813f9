#include "scene/StlReader.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "scene/NumberParsing.h"
#include "scene/VertexWelding.h"

namespace {

constexpr qint64 kHeaderSize = 84;
constexpr qint64 kTriangleSize = 50;
constexpr std::size_t kChunkTriangles = 5000;       // 250 kB per read, a tenth of a percent of 1M triangles
constexpr std::size_t kTextChunk = std::size_t(1) << 20;
constexpr uint64_t kMaxRecords = UINT32_MAX;        // vertex numbers are 32-bit
constexpr int kWaitForDataMs = 30000;               // a pipe that stays silent this long has ended

// Reads until `size` bytes arrived or the device has no more; returns the count read.
qint64 readFully(QIODevice &in, char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 got = in.read(data + done, size - done);
        if (got == 0 && in.isSequential() && in.waitForReadyRead(kWaitForDataMs))
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f';
}

// A short, printable excerpt of a bad token for an error message.
QString excerpt(const char *b, const char *e)
{
    QString s;
    for (const char *p = b; p < e && s.size() < 24; ++p)
        s += (*p >= 32 && *p < 127) ? QChar::fromLatin1(*p) : QChar('?');
    if (e - b > 24)
        s += QStringLiteral("...");
    return s;
}

} // namespace

bool isBinaryStlSize(qint64 fileSize, quint32 triangleCount)
{
    return fileSize == kHeaderSize + kTriangleSize * qint64(triangleCount);
}

MeshReadResult readBinaryStl(QIODevice &in, const ProgressFn &progressFn)
{
    ProgressMeter progress(progressFn);
    MeshReadResult result;

    uchar header[kHeaderSize];
    if (readFully(in, reinterpret_cast<char *>(header), kHeaderSize) != kHeaderSize) {
        result.error = QStringLiteral("the file is too short for a binary STL header");
        return result;
    }
    const quint32 n = qFromLittleEndian<quint32>(header + 80);
    if (n == 0) {
        result.error = QStringLiteral("the file holds no triangles");
        return result;
    }
    if (3 * uint64_t(n) > kMaxRecords) {
        result.error = QStringLiteral("the file announces %1 triangles, more than can be read").arg(n);
        return result;
    }
    // Size the tables from what the file can really hold, not from the header alone.
    uint64_t expected = n;
    if (!in.isSequential())
        expected = std::min<uint64_t>(n, uint64_t(std::max<qint64>(0, in.size() - kHeaderSize)) / kTriangleSize);

    VertexWelder welder(std::size_t(expected) * 3);
    ProgressSpan span(progress, 0, 80, n);
    // Sized by what the file can hold: a header may announce millions of triangles.
    const std::size_t chunk = std::size_t(std::min<uint64_t>(std::max<uint64_t>(expected, 1), kChunkTriangles));
    std::vector<uchar> buffer(chunk * kTriangleSize);
    std::vector<float> corners(chunk * 9);
    uint64_t done = 0;
    while (done < n) {
        const std::size_t count = std::size_t(std::min<uint64_t>(n - done, chunk));
        const qint64 bytes = qint64(count) * kTriangleSize;
        const qint64 got = readFully(in, reinterpret_cast<char *>(buffer.data()), bytes);
        if (got != bytes) {
            result.error = QStringLiteral("the file ends inside triangle %1 of %2")
                               .arg(done + uint64_t(got / kTriangleSize) + 1).arg(n);
            return result;
        }
        for (std::size_t t = 0; t < count; ++t) {
            const uchar *p = buffer.data() + t * kTriangleSize + 12;   // skip the normal
            uint32_t nonFinite = 0;
            for (int k = 0; k < 9; ++k) {
                const quint32 bits = qFromLittleEndian<quint32>(p + 4 * k);
                nonFinite |= (bits & 0x7F800000u) == 0x7F800000u;
                std::memcpy(&corners[9 * t + std::size_t(k)], &bits, 4);
            }
            if (nonFinite) {
                result.error = QStringLiteral("triangle %1 has a coordinate that is not a finite number")
                                   .arg(done + t + 1);
                return result;
            }
        }
        welder.add(corners.data(), 3 * count);
        span.update(done + count);
        done += count;
    }
    span.finish();
    result.mesh = welder.finish(&progress);
    return result;
}

MeshReadResult readAsciiStl(QIODevice &in, const ProgressFn &progressFn)
{
    ProgressMeter progress(progressFn);
    MeshReadResult result;

    const qint64 total = in.isSequential() ? 0 : std::max<qint64>(0, in.size() - in.pos());
    // A typical ASCII STL spends 80 bytes or more per vertex record. The hint is capped: a
    // large file may well be no STL at all, and the tables grow when they must.
    VertexWelder welder(std::size_t(std::min<qint64>(total / 80, qint64(1) << 22)));
    ProgressSpan span(progress, 0, 80, uint64_t(total));

    // A small file needs no megabyte of buffer (it is cleared on every read).
    std::vector<char> buffer(total > 0 ? std::size_t(std::min<qint64>(qint64(kTextChunk), total + 1)) : kTextChunk);
    std::size_t carried = 0;        // bytes of an unfinished token kept from the last read
    bool carriedIsJunk = false;     // that token was too long to keep; it is no number
    uint64_t consumed = 0;
    uint64_t line = 1;
    int expected = 0;               // coordinates still due after a "vertex"
    float point[3] = {0, 0, 0};
    std::vector<float> pending;     // records not yet handed to the welder, in batches
    pending.reserve(3 * 4096);

    // Handles one token; false (with result.error set) when the file is bad.
    auto token = [&](const char *b, const char *e, bool junk) {
        if (expected > 0) {
            double value = 0;
            if (junk || !parseDouble(b, e, value)) {
                result.error = QStringLiteral("line %1: \"%2\" is not a vertex coordinate").arg(line).arg(excerpt(b, e));
                return false;
            }
            const float f = truncateToFiveDecimals(value);
            if (!std::isfinite(f)) {
                result.error = QStringLiteral("line %1: the coordinate \"%2\" is not a finite number")
                                   .arg(line).arg(excerpt(b, e));
                return false;
            }
            point[3 - expected] = f;
            if (--expected == 0) {
                if (welder.recordCount() + pending.size() / 3 >= kMaxRecords) {
                    result.error = QStringLiteral("the file holds more vertices than can be read");
                    return false;
                }
                pending.insert(pending.end(), point, point + 3);
                if (pending.size() == pending.capacity()) {
                    welder.add(pending.data(), pending.size() / 3);
                    pending.clear();
                }
            }
        } else if (!junk && e - b == 6 && std::memcmp(b, "vertex", 6) == 0) {
            expected = 3;
        }
        return true;
    };

    for (;;) {
        const qint64 got = in.read(buffer.data() + carried, qint64(buffer.size() - carried));
        // A pipe or socket with nothing buffered yet is not at its end.
        if (got == 0 && in.isSequential() && in.waitForReadyRead(kWaitForDataMs))
            continue;
        if (got < 0) {
            result.error = QStringLiteral("the file could not be read: %1").arg(in.errorString());
            return result;
        }
        const bool atEnd = got == 0;
        const std::size_t length = carried + std::size_t(got);
        if (length == 0)
            break;
        // Tokens are cut only up to the last white space; the rest may go on in the next read.
        std::size_t stop = length;
        if (!atEnd) {
            while (stop > 0 && !isSpace(buffer[stop - 1]))
                --stop;
        }
        const char *data = buffer.data();
        if (stop == 0 && !atEnd && length < buffer.size()) {
            // A short read (a pipe, a slow device) ended inside the first token: it goes on
            // in the next read and is kept whole.
            carried = length;
            continue;
        }
        if (stop == 0) {
            // No white space in a full buffer: one enormous token, which no vertex has.
            if (expected > 0) {
                result.error = QStringLiteral("line %1: a vertex coordinate is followed by %2 bytes of "
                                              "unreadable data").arg(line).arg(length);
                return result;
            }
            carriedIsJunk = true;
            consumed += length;
            carried = 0;
            span.update(consumed);
            continue;
        }
        std::size_t i = 0;
        while (i < stop) {
            while (i < stop && isSpace(data[i])) {
                line += data[i] == '\n';
                ++i;
            }
            if (i >= stop)
                break;
            const std::size_t begin = i;
            while (i < stop && !isSpace(data[i]))
                ++i;
            const bool junk = carriedIsJunk && begin == 0;
            carriedIsJunk = false;
            if (!token(data + begin, data + i, junk))
                return result;
        }
        carriedIsJunk = false;
        consumed += stop;
        carried = length - stop;
        std::memmove(buffer.data(), buffer.data() + stop, carried);
        span.update(consumed);
        if (atEnd)
            break;
    }
    welder.add(pending.data(), pending.size() / 3);
    if (expected > 0) {
        result.error = QStringLiteral("line %1: the last vertex has fewer than three coordinates").arg(line);
        return result;
    }
    if (welder.recordCount() == 0) {
        result.error = QStringLiteral("no vertex found; this is neither a binary nor an ASCII STL file");
        return result;
    }
    if (welder.recordCount() % 3 != 0) {
        result.error = QStringLiteral("the last triangle is incomplete (%1 vertices left over)")
                           .arg(welder.recordCount() % 3);
        return result;
    }
    span.finish();
    result.mesh = welder.finish(&progress);
    return result;
}

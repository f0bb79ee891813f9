#include "scene/ObjReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "scene/NumberParsing.h"

namespace {

constexpr std::size_t kChunk = std::size_t(1) << 20;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Hands out the lines of a device one by one; "\n", "\r\n" and a lone "\r" all end a line.
class LineReader
{
public:
    // A small file needs no megabyte of buffer; long lines make it grow.
    explicit LineReader(QIODevice &in)
        : m_in(in),
          m_buffer(in.isSequential() ? kChunk
                                     : std::size_t(std::clamp<qint64>(in.size() - in.pos() + 1, 4096, qint64(kChunk))))
    {
    }

    // The next line without its line end, or false at the end of the data or on a read error.
    bool next(const char *&begin, const char *&end)
    {
        for (;;) {
            for (std::size_t i = m_start; i < m_end; ++i) {
                const char c = m_buffer[i];
                if (c == '\n' || c == '\r') {
                    if (c == '\r' && i + 1 == m_end && !m_atEnd) {
                        break;   // "\r\n" may be split between two reads
                    }
                    begin = m_buffer.data() + m_start;
                    end = m_buffer.data() + i;
                    m_start = i + 1;
                    if (c == '\r' && m_start < m_end && m_buffer[m_start] == '\n')
                        ++m_start;
                    m_consumed = m_base + m_start;
                    return true;
                }
            }
            if (m_atEnd) {
                if (m_start == m_end)
                    return false;
                begin = m_buffer.data() + m_start;
                end = m_buffer.data() + m_end;
                m_start = m_end;
                m_consumed = m_base + m_end;
                return true;
            }
            fill();
        }
    }

    uint64_t consumed() const { return m_consumed; }
    bool failed() const { return m_failed; }

private:
    void fill()
    {
        // Keep the unfinished line, make room, read more.
        const std::size_t keep = m_end - m_start;
        std::memmove(m_buffer.data(), m_buffer.data() + m_start, keep);
        m_base += m_start;
        m_start = 0;
        m_end = keep;
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);   // a very long line
        qint64 got = m_in.read(m_buffer.data() + m_end, qint64(m_buffer.size() - m_end));
        // A pipe or socket with nothing buffered yet is not at its end.
        while (got == 0 && m_in.isSequential() && m_in.waitForReadyRead(30000))
            got = m_in.read(m_buffer.data() + m_end, qint64(m_buffer.size() - m_end));
        if (got < 0)
            m_failed = true;
        if (got <= 0)
            m_atEnd = true;
        else
            m_end += std::size_t(got);
    }

    QIODevice &m_in;
    std::vector<char> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    uint64_t m_base = 0;        // file offset of m_buffer[0]
    uint64_t m_consumed = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

// Splits [b, e) at runs of white space.
class Fields
{
public:
    Fields(const char *b, const char *e) : m_p(b), m_e(e) {}
    bool next(const char *&fb, const char *&fe)
    {
        while (m_p < m_e && isSpace(*m_p))
            ++m_p;
        if (m_p == m_e)
            return false;
        fb = m_p;
        while (m_p < m_e && !isSpace(*m_p))
            ++m_p;
        fe = m_p;
        return true;
    }

private:
    const char *m_p;
    const char *m_e;
};

QString text(const char *b, const char *e)
{
    QString s = QString::fromLatin1(b, int(std::min<std::ptrdiff_t>(e - b, 24)));
    for (QChar &c : s) {
        if (c.unicode() < 32 || c.unicode() >= 127)
            c = QChar('?');
    }
    return (e - b > 24) ? s + QStringLiteral("...") : s;
}

} // namespace

MeshReadResult readObj(QIODevice &in, const ProgressFn &progressFn)
{
    ProgressMeter progress(progressFn);
    progress.set(0);
    MeshReadResult result;
    const uint64_t total = in.isSequential() ? 0 : uint64_t(std::max<qint64>(1, in.size() - in.pos()));

    std::vector<float> vertices;
    std::vector<uint32_t> faceIndices;     // zero-based vertex numbers, three per triangle
    uint64_t largest = 0;                  // largest vertex number used by a face (1-based)
    uint64_t largestLine = 0;
    int quads = 0;
    uint64_t lineNo = 0;

    LineReader lines(in);
    const char *b = nullptr;
    const char *e = nullptr;
    while (lines.next(b, e)) {
        ++lineNo;
        Fields fields(b, e);
        const char *kb = nullptr;
        const char *ke = nullptr;
        if (!fields.next(kb, ke) || *kb == '#')
            continue;
        const std::size_t klen = std::size_t(ke - kb);
        const bool isV = klen == 1 && lower(kb[0]) == 'v';
        const bool isF = klen == 1 && lower(kb[0]) == 'f';
        if (klen == 2 && lower(kb[0]) == 'v' && lower(kb[1]) == 'n')
            continue;
        if (isV) {
            float xyz[3];
            for (float &c : xyz) {
                const char *fb = nullptr;
                const char *fe = nullptr;
                double value = 0;
                if (!fields.next(fb, fe)) {
                    result.error = QStringLiteral("line %1: a vertex with fewer than three coordinates").arg(lineNo);
                    return result;
                }
                if (!parseDouble(fb, fe, value)) {
                    result.error = QStringLiteral("line %1: \"%2\" is not a vertex coordinate").arg(lineNo).arg(text(fb, fe));
                    return result;
                }
                c = truncateToFiveDecimals(value);
                if (!std::isfinite(c)) {
                    result.error = QStringLiteral("line %1: the coordinate \"%2\" is not a finite number")
                                       .arg(lineNo).arg(text(fb, fe));
                    return result;
                }
            }
            if (vertices.size() / 3 >= UINT32_MAX) {
                result.error = QStringLiteral("the file holds more vertices than can be read");
                return result;
            }
            vertices.insert(vertices.end(), xyz, xyz + 3);
        } else if (isF) {
            uint32_t corner[4];
            int corners = 0;
            const char *fb = nullptr;
            const char *fe = nullptr;
            while (fields.next(fb, fe)) {
                if (corners == 4) {
                    int all = 5;
                    while (fields.next(fb, fe))
                        ++all;
                    result.error = QStringLiteral("line %1: a face with %2 corners; only triangles and quads "
                                                  "can be read").arg(lineNo).arg(all);
                    return result;
                }
                const char *slash = static_cast<const char *>(std::memchr(fb, '/', std::size_t(fe - fb)));
                int64_t number = 0;
                if (!parseInt64(fb, slash ? slash : fe, number)) {
                    result.error = QStringLiteral("line %1: \"%2\" is not a face corner").arg(lineNo).arg(text(fb, fe));
                    return result;
                }
                if (number < 1 || number > int64_t(UINT32_MAX)) {
                    result.error = QStringLiteral("line %1: vertex number %2 is out of range (relative and zero "
                                                  "vertex numbers are not supported)").arg(lineNo).arg(number);
                    return result;
                }
                if (uint64_t(number) > largest) {
                    largest = uint64_t(number);
                    largestLine = lineNo;
                }
                corner[corners++] = uint32_t(number - 1);
            }
            if (corners < 3) {
                result.error = QStringLiteral("line %1: a face with fewer than three corners").arg(lineNo);
                return result;
            }
            faceIndices.insert(faceIndices.end(), {corner[0], corner[1], corner[2]});
            if (corners == 4) {
                faceIndices.insert(faceIndices.end(), {corner[0], corner[2], corner[3]});
                ++quads;
            }
        }
        if (total > 0)
            progress.set(int(std::min<uint64_t>(100, lines.consumed() * 100 / total)));
    }
    if (lines.failed()) {
        result.error = QStringLiteral("the file could not be read: %1").arg(in.errorString());
        return result;
    }
    const uint64_t vertexCount = vertices.size() / 3;
    if (vertexCount == 0) {
        result.error = QStringLiteral("no vertex found");
        return result;
    }
    if (faceIndices.empty()) {
        result.error = QStringLiteral("no face found");
        return result;
    }
    if (largest > vertexCount) {
        result.error = QStringLiteral("line %1: vertex number %2 is out of range; the file has %3 vertices")
                           .arg(largestLine).arg(largest).arg(vertexCount);
        return result;
    }
    std::vector<uint32_t> reversed = reverseWinding(faceIndices);
    result.mesh = Mesh(std::move(vertices), std::move(faceIndices), std::move(reversed));
    result.quadCount = quads;
    progress.set(100);
    return result;
}

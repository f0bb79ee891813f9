// Links: orvell_printer
// Printer status lines. The first input byte sets the line limit and the second seeds the chunk
// sizes; the rest is the received stream. Any split of the stream into chunks gives the lines a
// plain split at the line ends gives (empty lines skipped, overlong ones dropped and counted),
// the unfinished line kept never exceeds the limit, and every line parses into a report within
// the protocol's ranges.
#include <QList>
#include <cmath>

#include "printer/PrinterProtocol.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

namespace {

void checkMessage(const QByteArray &line)
{
    const PrinterMessage m = parsePrinterLine(line);
    int start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    const QByteArray head = line.mid(start);
    const bool known = head.startsWith("print") || head.startsWith("time") || head.startsWith("pixel")
                       || head.startsWith("fileReceived");
    FUZZ_CHECK(known == (m.kind != PrinterMessage::Ignored));
    switch (m.kind) {
    case PrinterMessage::Malformed:
        FUZZ_CHECK(!m.error.isEmpty());
        // The reason goes to the log: nothing of the line's control bytes may reach it.
        for (const QChar c : m.error)
            FUZZ_CHECK(c.unicode() >= 0x20);
        break;
    case PrinterMessage::Pixel:
        FUZZ_CHECK(std::isfinite(m.pixelSizeUm) && m.pixelSizeUm > 0.0f && m.pixelSizeUm <= kMaxPrinterPixelUm);
        break;
    case PrinterMessage::PrintStarted:
        FUZZ_CHECK(m.currentLayer == 0 && m.totalLayers >= 0 && m.totalLayers <= kMaxPrinterLayers);
        break;
    case PrinterMessage::PrintProgress:
    case PrinterMessage::PrintFinished:
    case PrinterMessage::PrintResumed:
        FUZZ_CHECK(m.currentLayer >= 0 && m.currentLayer <= m.totalLayers && m.totalLayers <= kMaxPrinterLayers);
        break;
    case PrinterMessage::Time:
        FUZZ_CHECK(m.remainingSeconds >= 0 && m.remainingSeconds <= kMaxPrinterSeconds);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int limit = 1 + data[0] % 64;
    quint32 seed = data[1];
    const QByteArray stream(reinterpret_cast<const char *>(data + 2), int(size - 2));

    // The expected lines, from a split of the whole stream at every line end.
    QList<QByteArray> expected;
    int expectedOverlong = 0;
    int expectedPending = 0;
    int from = 0;
    for (;;) {
        int end = from;
        while (end < stream.size() && stream[end] != '\n' && stream[end] != '\r')
            ++end;
        const QByteArray piece = stream.mid(from, end - from);
        if (piece.size() > limit)
            ++expectedOverlong;
        if (end == stream.size()) {
            expectedPending = piece.size() > limit ? 0 : piece.size();
            break;
        }
        if (!piece.isEmpty() && piece.size() <= limit)
            expected << piece;
        from = end + 1;
    }

    PrinterLineBuffer whole(limit);
    FUZZ_CHECK(whole.append(stream) == expected);
    FUZZ_CHECK(whole.overlongLines() == expectedOverlong);
    FUZZ_CHECK(whole.pendingBytes() == expectedPending);

    PrinterLineBuffer pieces(limit);
    QList<QByteArray> got;
    for (int at = 0; at < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const int n = std::min(int(stream.size()) - at, 1 + int((seed >> 16) % 8));
        got << pieces.append(stream.mid(at, n));
        FUZZ_CHECK(pieces.pendingBytes() <= limit);
        at += n;
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(pieces.overlongLines() == expectedOverlong);
    FUZZ_CHECK(pieces.pendingBytes() == expectedPending);

    for (const QByteArray &line : expected)
        checkMessage(line);
    checkMessage(stream);
    return 0;
}

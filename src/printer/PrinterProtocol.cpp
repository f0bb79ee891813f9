#include "printer/PrinterProtocol.h"

#include <QCoreApplication>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PrinterProtocol", text);
}

QList<QByteArray> tokens(const QByteArray &line)
{
    QList<QByteArray> out;
    int i = 0;
    const int n = line.size();
    while (i < n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const int start = i;
        while (i < n && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out << line.mid(start, i - start);
    }
    return out;
}

// A whole non-negative decimal count no larger than `max`; false for anything else
// (signs, fractions, exponents, overflow).
bool readCount(const QByteArray &token, qint64 max, qint64 &value)
{
    if (token.isEmpty() || token.size() > 18)
        return false;
    qint64 v = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v > max)
        return false;
    value = v;
    return true;
}

// A finite decimal number (printers may send fractions for pixel sizes and times).
bool readNumber(const QByteArray &token, double &value)
{
    if (token.isEmpty() || token.size() > 32)
        return false;
    bool ok = false;
    const double v = token.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

PrinterMessage malformed(const QByteArray &line, const QString &why)
{
    PrinterMessage m;
    m.kind = PrinterMessage::Malformed;
    // Shown in the log: keep it short and printable whatever the printer sent.
    QByteArray shown = line.left(80);
    for (char &c : shown)
        if (uchar(c) < 0x20 || uchar(c) >= 0x7f)
            c = '?';
    m.error = why + QStringLiteral(": \"") + QString::fromLatin1(shown) + (line.size() > 80 ? "…\"" : "\"");
    return m;
}

// "print <word> c n" rows: layer c of n.
PrinterMessage layerRow(const QByteArray &line, const QList<QByteArray> &t, PrinterMessage::Kind kind)
{
    PrinterMessage m;
    m.kind = kind;
    if (t.size() < 4)
        return malformed(line, tr("Printer report without layer numbers"));
    if (!readCount(t[2], kMaxPrinterLayers, m.currentLayer) || !readCount(t[3], kMaxPrinterLayers, m.totalLayers))
        return malformed(line, tr("Printer report with unusable layer numbers"));
    if (m.currentLayer > m.totalLayers)
        return malformed(line, tr("Printer report with a layer beyond the last"));
    return m;
}

PrinterMessage printRow(const QByteArray &line)
{
    const QList<QByteArray> t = tokens(line);
    // "print" must be a word of its own; "printer ready" is no status row.
    if (t.isEmpty() || t[0] != "print" || t.size() < 2)
        return malformed(line, tr("Printer report without a job state"));
    const QByteArray &what = t[1];
    PrinterMessage m;
    if (what == "started") {
        m.kind = PrinterMessage::PrintStarted;
        if (t.size() < 3 || !readCount(t[2], kMaxPrinterLayers, m.totalLayers))
            return malformed(line, tr("Printer report with unusable layer numbers"));
        return m;
    }
    if (what == "prog")
        return layerRow(line, t, PrinterMessage::PrintProgress);
    if (what == "finished")
        return layerRow(line, t, PrinterMessage::PrintFinished);
    if (what == "resumed")
        return layerRow(line, t, PrinterMessage::PrintResumed);
    if (what == "paused") {
        m.kind = PrinterMessage::PrintPaused;
        return m;
    }
    if (what == "aborted") {
        m.kind = PrinterMessage::PrintAborted;
        return m;
    }
    return malformed(line, tr("Unknown printer job state"));
}

PrinterMessage timeRow(const QByteArray &line)
{
    const QList<QByteArray> t = tokens(line);
    double a = 0.0;
    double b = 0.0;
    if (t.size() < 3 || t[0] != "time" || !readNumber(t[1], a) || !readNumber(t[2], b))
        return malformed(line, tr("Printer time report without two numbers"));
    if (a < 0.0 || b < 0.0 || a > double(kMaxPrinterSeconds) || b > double(kMaxPrinterSeconds))
        return malformed(line, tr("Printer time report out of range"));
    PrinterMessage m;
    m.kind = PrinterMessage::Time;
    m.remainingSeconds = std::max<qint64>(0, qint64(std::floor(a - b)));
    return m;
}

PrinterMessage pixelRow(const QByteArray &line)
{
    const QList<QByteArray> t = tokens(line);
    double s = 0.0;
    if (t.size() < 2 || t[0] != "pixel" || !readNumber(t[1], s))
        return malformed(line, tr("Printer pixel report without a size"));
    // Checked as stored: a tiny positive double becomes a float of 0.
    if (!(float(s) > 0.0f) || s > kMaxPrinterPixelUm)
        return malformed(line, tr("Printer pixel size out of range"));
    PrinterMessage m;
    m.kind = PrinterMessage::Pixel;
    m.pixelSizeUm = float(s);
    return m;
}

} // namespace

PrinterMessage parsePrinterLine(const QByteArray &raw)
{
    // Leading blanks would hide the first word from the classification.
    int start = 0;
    while (start < raw.size() && (raw[start] == ' ' || raw[start] == '\t'))
        ++start;
    const QByteArray line = start ? raw.mid(start) : raw;
    if (line.startsWith("print"))
        return printRow(line);
    if (line.startsWith("time"))
        return timeRow(line);
    if (line.startsWith("pixel"))
        return pixelRow(line);
    if (line.startsWith("fileReceived")) {
        PrinterMessage m;
        m.kind = PrinterMessage::FileReceived;
        return m;
    }
    return {};
}

QList<QByteArray> PrinterLineBuffer::append(const QByteArray &chunk)
{
    QList<QByteArray> lines;
    int from = 0;
    const int n = chunk.size();
    while (from < n) {
        int end = from;
        while (end < n && chunk[end] != '\n' && chunk[end] != '\r')
            ++end;
        const int piece = end - from;
        if (m_skipping) {
            // Still inside an overlong line: nothing is kept.
        } else if (m_pending.size() + piece > m_maxLineBytes) {
            m_pending.clear();
            m_skipping = true;
            ++m_overlongLines;
        } else {
            m_pending.append(chunk.constData() + from, piece);
        }
        if (end == n)
            break;
        // A line end: "\r\n" gives an empty line between them, which is skipped below.
        if (!m_skipping && !m_pending.isEmpty())
            lines << m_pending;
        m_pending.clear();
        m_skipping = false;
        from = end + 1;
    }
    return lines;
}

void PrinterLineBuffer::clear()
{
    m_pending.clear();
    m_skipping = false;
}

QString formatRemainingTime(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

QString formatPixelSize(float pixelSizeUm)
{
    // The fewest digits that read back as the same float: 33.5 rather than 33.5000000000.
    QString text;
    for (int digits = 1; digits <= 9; ++digits) {
        text = QString::number(double(pixelSizeUm), 'g', digits);
        // Too few digits for the whole part turn 50 into "5e+01".
        if (text.toFloat() == pixelSizeUm && !text.contains(QLatin1Char('e')))
            break;
    }
    return QStringLiteral("%1 um").arg(text);
}

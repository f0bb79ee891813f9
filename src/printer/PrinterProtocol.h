#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// The printer's side of the link speaks text lines: "pixel s", "print started n",
// "print prog c n", "print finished c n", "print paused", "print aborted", "print resumed c n",
// "time a b" and "fileReceived". Everything here is a pure function of the bytes received, so
// whatever arrives on the socket (garbage included) can be tested without a network.

// Port the printers listen on.
constexpr quint16 kPrinterPort = 9876;

// Limits beyond which a report is treated as garbage rather than shown.
constexpr qint64 kMaxPrinterLayers = 10000000;      // 10 million layers
constexpr qint64 kMaxPrinterSeconds = 100000000;    // about three years
constexpr double kMaxPrinterPixelUm = 100000.0;     // 10 cm

struct PrinterMessage
{
    enum Kind {
        Ignored,         // not a line of the protocol (unknown first word, empty line)
        Malformed,       // a known line whose values are missing or unusable; see `error`
        Pixel,           // printer ready; pixelSizeUm
        PrintStarted,    // totalLayers (currentLayer 0)
        PrintProgress,   // currentLayer of totalLayers
        PrintFinished,   // currentLayer of totalLayers
        PrintPaused,
        PrintAborted,
        PrintResumed,    // currentLayer of totalLayers
        Time,            // remainingSeconds = a − b, never below 0
        FileReceived,
    };

    Kind kind = Ignored;
    float pixelSizeUm = 0.0f;
    qint64 currentLayer = 0;
    qint64 totalLayers = 0;
    qint64 remainingSeconds = 0;
    QString error;   // why a line is Malformed
};

// Classifies one line (without its line end) by its first characters: "print", then "time",
// then "pixel", then "fileReceived"; tokens are separated by one or more spaces or tabs.
PrinterMessage parsePrinterLine(const QByteArray &line);

// Collects received bytes into lines. A line may arrive in any number of pieces; "\n", "\r\n"
// and a lone "\r" all end a line. A line longer than the limit is dropped (up to its end) and
// reported once, so a peer that never sends a line end cannot make the buffer grow.
class PrinterLineBuffer
{
public:
    static constexpr int kDefaultMaxLineBytes = 4096;

    explicit PrinterLineBuffer(int maxLineBytes = kDefaultMaxLineBytes) : m_maxLineBytes(maxLineBytes) {}

    // Appends a chunk and returns the lines it completed, in order, without line ends.
    // Empty lines are skipped.
    QList<QByteArray> append(const QByteArray &chunk);

    // Bytes of the unfinished line kept so far.
    int pendingBytes() const { return m_pending.size(); }
    // Lines dropped because they grew past the limit.
    int overlongLines() const { return m_overlongLines; }
    void clear();

private:
    int m_maxLineBytes;
    QByteArray m_pending;
    bool m_skipping = false;   // inside an overlong line: drop up to its end
    int m_overlongLines = 0;
};

// "%1:%2:%3" of hours, minutes and seconds, each at least two digits: 3725 → "01:02:05",
// 360000 → "100:00:00". Negative values show as "00:00:00".
QString formatRemainingTime(qint64 seconds);

// "%1 um" with the pixel size in its shortest form: 50 → "50 um", 33.5 → "33.5 um".
QString formatPixelSize(float pixelSizeUm);

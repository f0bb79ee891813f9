#pragma once

#include <QString>

#include "printer/PrinterProtocol.h"

// What a printer panel shows, as the printer's reports leave it. The panel and the
// command-line status command both keep one and show its texts.
struct PrinterState
{
    enum Status { NotConnected, Connected, Printing, Paused, Aborted, Completed };

    Status status = NotConnected;
    bool ready = false;              // the printer sent its pixel size; uploads may start
    float pixelSizeUm = 0.0f;
    qint64 currentLayer = 0;
    qint64 totalLayers = 0;
    qint64 remainingSeconds = 0;
    bool hasRemainingTime = false;

    // "Not connected", "Connected", "Printing in Progress", "Printing paused",
    // "Printing aborted", "Printing Completed".
    QString statusText() const;
    QString remainingTimeText() const { return formatRemainingTime(remainingSeconds); }
    QString pixelSizeText() const { return ready ? formatPixelSize(pixelSizeUm) : QString(); }
};

// Applies one report. Returns false when the message changes nothing (ignored or malformed
// lines, "fileReceived").
bool applyPrinterMessage(PrinterState &state, const PrinterMessage &message);

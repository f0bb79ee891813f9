#include "printer/PrinterState.h"

#include <QCoreApplication>

QString PrinterState::statusText() const
{
    switch (status) {
    case NotConnected:
        return QCoreApplication::translate("UnitPrinter", "Not connected");
    case Connected:
        return QCoreApplication::translate("UnitPrinter", "Connected");
    case Printing:
        return QCoreApplication::translate("UnitPrinter", "Printing in Progress");
    case Paused:
        return QCoreApplication::translate("UnitPrinter", "Printing paused");
    case Aborted:
        return QCoreApplication::translate("UnitPrinter", "Printing aborted");
    case Completed:
        return QCoreApplication::translate("UnitPrinter", "Printing Completed");
    }
    return {};
}

bool applyPrinterMessage(PrinterState &state, const PrinterMessage &m)
{
    switch (m.kind) {
    case PrinterMessage::Ignored:
    case PrinterMessage::Malformed:
    case PrinterMessage::FileReceived:
        return false;
    case PrinterMessage::Pixel:
        state.pixelSizeUm = m.pixelSizeUm;
        state.ready = true;
        state.status = PrinterState::Connected;
        return true;
    case PrinterMessage::PrintStarted:
        state.status = PrinterState::Printing;
        state.totalLayers = m.totalLayers;
        state.currentLayer = 0;
        return true;
    case PrinterMessage::PrintProgress:
    case PrinterMessage::PrintResumed:
    case PrinterMessage::PrintFinished:
        state.status = m.kind == PrinterMessage::PrintFinished ? PrinterState::Completed : PrinterState::Printing;
        state.currentLayer = m.currentLayer;
        state.totalLayers = m.totalLayers;
        return true;
    case PrinterMessage::PrintPaused:
        state.status = PrinterState::Paused;
        return true;
    case PrinterMessage::PrintAborted:
        state.status = PrinterState::Aborted;
        return true;
    case PrinterMessage::Time:
        state.remainingSeconds = m.remainingSeconds;
        state.hasRemainingTime = true;
        return true;
    }
    return false;
}

#pragma once

// What the printer commands (upload, status) share: their command line and the wait for the
// printer's greeting.

#include <QString>
#include <QStringList>

#include "printer/PrinterAddress.h"

class PrinterConnection;

struct PrinterCommandLine
{
    PrinterAddress printer;
    QStringList operands;
    bool follow = false;   // status only
    bool help = false;
    QString error;         // a wrong command line; exit status 2
};

// Reads "--printer HOST[:PORT]" (also "--printer=…"), "--follow" when `allowFollow`, "--help"
// and operands.
PrinterCommandLine parsePrinterCommandLine(const QStringList &args, bool allowFollow);

// Connects and waits until the printer sent its pixel size. False with the reason (one line)
// when the link cannot be made or the printer does not greet within `greetingMs`.
bool connectAndWaitForPrinter(PrinterConnection &link, const PrinterAddress &printer, int greetingMs,
                              QString *error);

#pragma once

#include <QString>
#include <QtGlobal>

// Where a printer listens: "HOST" (port 9876), "HOST:PORT" or "[IPv6]:PORT".
struct PrinterAddress
{
    QString host;
    quint16 port = 0;
    bool valid = false;
    QString error;   // why the text is no address

    // "host:port" as it is shown in messages.
    QString text() const;
};

PrinterAddress parsePrinterAddress(const QString &text, quint16 defaultPort);

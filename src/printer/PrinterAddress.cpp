#include "printer/PrinterAddress.h"

#include <QCoreApplication>
#include <QHostAddress>

QString PrinterAddress::text() const
{
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                           : QStringLiteral("%1:%2").arg(host).arg(port);
}

PrinterAddress parsePrinterAddress(const QString &text, quint16 defaultPort)
{
    PrinterAddress a;
    const QString t = text.trimmed();
    QString host = t;
    QString port;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1Char(']'));
        if (close < 0) {
            a.error = QCoreApplication::translate("PrinterAddress", "Printer address without closing ']': %1").arg(t);
            return a;
        }
        host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (rest.startsWith(QLatin1Char(':')))
            port = rest.mid(1);
        else if (!rest.isEmpty())
            host.clear();
    } else if (t.count(QLatin1Char(':')) == 1) {
        const int colon = t.indexOf(QLatin1Char(':'));
        host = t.left(colon);
        port = t.mid(colon + 1);
    }
    if (host.isEmpty() || host.contains(QLatin1Char(' '))) {
        a.error = t.isEmpty() ? QCoreApplication::translate("PrinterAddress", "No printer address given")
                              : QCoreApplication::translate("PrinterAddress", "Not a printer address: %1").arg(t);
        return a;
    }
    // The placeholder of a new entry ("000.000.000.000") would reach this computer itself.
    const QHostAddress literal(host);
    if (!literal.isNull() && (literal == QHostAddress::AnyIPv4 || literal == QHostAddress::AnyIPv6)) {
        a.error = QCoreApplication::translate("PrinterAddress", "Enter the printer's address first");
        return a;
    }
    a.host = host;
    a.port = defaultPort;
    if (!port.isNull()) {
        bool ok = false;
        const uint p = port.toUInt(&ok);
        if (!ok || p == 0 || p > 65535) {
            a.error = QCoreApplication::translate("PrinterAddress", "Not a port number: %1").arg(port);
            return a;
        }
        a.port = quint16(p);
    }
    a.valid = true;
    return a;
}

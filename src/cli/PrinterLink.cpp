#include "cli/PrinterLink.h"

#include <QEventLoop>
#include <QTimer>

#include "printer/PrinterConnection.h"
#include "printer/PrinterProtocol.h"

PrinterCommandLine parsePrinterCommandLine(const QStringList &args, bool allowFollow)
{
    PrinterCommandLine c;
    QString printer;
    bool optionsDone = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (optionsDone || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            c.operands << a;
        } else if (a == QLatin1String("--")) {
            optionsDone = true;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            c.help = true;
        } else if (a == QLatin1String("--printer")) {
            if (i + 1 >= args.size()) {
                c.error = QStringLiteral("--printer needs HOST[:PORT]");
                return c;
            }
            printer = args.at(++i);
        } else if (a.startsWith(QLatin1String("--printer="))) {
            printer = a.mid(10);
        } else if (allowFollow && a == QLatin1String("--follow")) {
            c.follow = true;
        } else {
            c.error = QStringLiteral("unknown option '%1'").arg(a);
            return c;
        }
    }
    if (c.help)
        return c;
    if (printer.isNull()) {
        c.error = QStringLiteral("no printer given (--printer HOST[:PORT])");
        return c;
    }
    c.printer = parsePrinterAddress(printer, kPrinterPort);
    if (!c.printer.valid)
        c.error = c.printer.error;
    return c;
}

bool connectAndWaitForPrinter(PrinterConnection &link, const PrinterAddress &printer, int greetingMs, QString *error)
{
    QEventLoop loop;
    QString why;
    QTimer greeting;
    greeting.setSingleShot(true);
    QObject::connect(&greeting, &QTimer::timeout, &loop, [&] {
        why = QStringLiteral("the printer at %1 did not report ready within %2 ms").arg(printer.text()).arg(greetingMs);
        loop.quit();
    });
    QObject::connect(&link, &PrinterConnection::connectFailed, &loop, [&](const QString &reason) {
        why = QStringLiteral("Failed connection to %1: %2").arg(printer.text(), reason);
        loop.quit();
    });
    QObject::connect(&link, &PrinterConnection::connected, &loop, [&] { greeting.start(greetingMs); });
    QObject::connect(&link, &PrinterConnection::disconnected, &loop, [&] {
        why = QStringLiteral("the printer at %1 closed the connection").arg(printer.text());
        loop.quit();
    });
    QObject::connect(&link, &PrinterConnection::stateChanged, &loop, [&] {
        if (link.state().ready)
            loop.quit();
    });
    link.connectTo(printer.host, printer.port);
    loop.exec();
    QObject::disconnect(&link, nullptr, &loop, nullptr);
    if (link.state().ready && link.isConnected())
        return true;
    if (error)
        *error = why;
    return false;
}

#include "cli/Commands.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "cli/PrinterLink.h"
#include "printer/PrinterConnection.h"

namespace {

constexpr int kGreetingMs = 5000;
// Without --follow: how long to listen for job reports after the greeting.
constexpr int kListenMs = 2000;

void printStatusHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli status [options] --printer HOST[:PORT]\n"
                 "\n"
                 "Connects to a networked printer and prints its pixel size and the job state it\n"
                 "reports, one line per report:\n"
                 "  pixel size: 50 um\n"
                 "  status: Printing in Progress, layer 3 of 20\n"
                 "  remaining time: 00:02:40\n"
                 "Printers report when something changes; without --follow the command listens for\n"
                 "two seconds after the printer's greeting.\n"
                 "\n"
                 "Options:\n"
                 "  --printer HOST[:PORT]  the printer's host name or address; port 9876 when not given\n"
                 "  --follow               keep printing reports until the job is completed or aborted\n"
                 "  -h, --help             show this help and exit\n"
                 "\n"
                 "Exit status: 0 when the printer answered (with --follow: when its job ended), 1 when\n"
                 "the connection failed or closed (the reason goes to standard error), 2 for a wrong\n"
                 "command line.\n");
}

void printReport(const PrinterMessage &m, const PrinterState &s)
{
    switch (m.kind) {
    case PrinterMessage::Pixel:
        std::printf("pixel size: %s\nstatus: %s\n", qPrintable(s.pixelSizeText()), qPrintable(s.statusText()));
        break;
    case PrinterMessage::PrintStarted:
    case PrinterMessage::PrintProgress:
    case PrinterMessage::PrintFinished:
    case PrinterMessage::PrintResumed:
        std::printf("status: %s, layer %lld of %lld\n", qPrintable(s.statusText()), qint64(s.currentLayer),
                    qint64(s.totalLayers));
        break;
    case PrinterMessage::PrintPaused:
    case PrinterMessage::PrintAborted:
        std::printf("status: %s\n", qPrintable(s.statusText()));
        break;
    case PrinterMessage::Time:
        std::printf("remaining time: %s\n", qPrintable(s.remainingTimeText()));
        break;
    default:
        return;
    }
    std::fflush(stdout);
}

} // namespace

int runStatusCommand(const QStringList &args)
{
    const PrinterCommandLine cmd = parsePrinterCommandLine(args, true);
    if (cmd.help) {
        printStatusHelp(stdout);
        return 0;
    }
    QString usage = cmd.error;
    if (usage.isEmpty() && !cmd.operands.isEmpty())
        usage = QStringLiteral("unexpected argument '%1'").arg(cmd.operands.first());
    if (!usage.isEmpty()) {
        std::fprintf(stderr, "orvell3d-cli status: %s\n", qPrintable(usage));
        printStatusHelp(stderr);
        return 2;
    }

    PrinterConnection link;
    // Reports that arrive with the greeting are printed as they come, the greeting first.
    QObject::connect(&link, &PrinterConnection::messageReceived,
                     [&](const PrinterMessage &m) { printReport(m, link.state()); });
    QObject::connect(&link, &PrinterConnection::lineRejected, [](const QString &why) {
        std::fprintf(stderr, "orvell3d-cli status: ignored: %s\n", qPrintable(why));
    });
    QString error;
    if (!connectAndWaitForPrinter(link, cmd.printer, kGreetingMs, &error)) {
        std::fprintf(stderr, "orvell3d-cli status: %s\n", qPrintable(error));
        return 1;
    }

    int status = 0;
    QEventLoop loop;
    QObject::connect(&link, &PrinterConnection::disconnected, &loop, [&] {
        if (cmd.follow) {
            std::fprintf(stderr, "orvell3d-cli status: the printer at %s closed the connection\n",
                         qPrintable(cmd.printer.text()));
            status = 1;
        }
        loop.quit();
    });
    if (cmd.follow) {
        QObject::connect(&link, &PrinterConnection::stateChanged, &loop, [&] {
            const PrinterState::Status s = link.state().status;
            // The last report of a job may bring its time along; let it arrive first.
            if (s == PrinterState::Completed || s == PrinterState::Aborted)
                QTimer::singleShot(200, &loop, &QEventLoop::quit);
        });
    } else {
        QTimer::singleShot(kListenMs, &loop, &QEventLoop::quit);
    }
    loop.exec();
    return status;
}

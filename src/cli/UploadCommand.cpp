#include "cli/Commands.h"

#include <QEventLoop>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

#include "cli/PrinterLink.h"
#include "printer/PrinterConnection.h"
#include "printer/PrinterUpload.h"

namespace {

constexpr int kGreetingMs = 5000;

void printUploadHelp(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli upload [options] PACKAGE --printer HOST[:PORT]\n"
                 "\n"
                 "Sends a print package (.lpk) to a networked printer and waits until the printer\n"
                 "confirms that it received the whole file. Progress goes to standard error when it\n"
                 "is a terminal.\n"
                 "\n"
                 "Options:\n"
                 "  --printer HOST[:PORT]  the printer's host name or address; port 9876 when not given\n"
                 "  -h, --help             show this help and exit\n"
                 "\n"
                 "Exit status: 0 when the printer confirmed the file, 1 when the connection or the\n"
                 "transfer failed (the reason goes to standard error), 2 for a wrong command line.\n");
}

int fail(const QString &message)
{
    std::fprintf(stderr, "orvell3d-cli upload: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int runUploadCommand(const QStringList &args)
{
    const PrinterCommandLine cmd = parsePrinterCommandLine(args, false);
    if (cmd.help) {
        printUploadHelp(stdout);
        return 0;
    }
    QString usage = cmd.error;
    if (usage.isEmpty() && cmd.operands.size() != 1)
        usage = cmd.operands.isEmpty() ? QStringLiteral("no package given") : QStringLiteral("one package at a time");
    if (!usage.isEmpty()) {
        std::fprintf(stderr, "orvell3d-cli upload: %s\n", qPrintable(usage));
        printUploadHelp(stderr);
        return 2;
    }
    const QString path = cmd.operands.first();
    {
        // Checked before the printer is disturbed.
        QFile probe(path);
        if (!QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: the file cannot be opened for reading").arg(path));
    }

    PrinterConnection link;
    QString error;
    if (!connectAndWaitForPrinter(link, cmd.printer, kGreetingMs, &error))
        return fail(error);

    const bool tty = isatty(STDERR_FILENO);
    int shownPercent = -1;
    QObject::connect(&link, &PrinterConnection::uploadProgress, [&](qint64 sent, qint64 total) {
        const int percent = total > 0 ? int(sent * 100 / total) : 100;
        if (!tty || percent == shownPercent)
            return;
        shownPercent = percent;
        std::fprintf(stderr, "\ruploading: %lld of %lld bytes, %3d%%", qint64(sent), qint64(total), percent);
        std::fflush(stderr);
    });
    bool ok = false;
    QString message;
    QEventLoop loop;
    QObject::connect(&link, &PrinterConnection::uploadFinished, &loop, [&](bool success, const QString &text) {
        ok = success;
        message = text;
        loop.quit();
    });
    if (!link.upload(path, &error))
        return fail(error);
    const QString name = link.currentUpload()->fileName();
    const qint64 size = link.currentUpload()->totalBytes();
    loop.exec();
    if (tty && shownPercent >= 0)
        std::fprintf(stderr, "\n");
    if (!ok)
        return fail(message);
    std::printf("uploaded %s (%lld bytes) to %s; the printer confirmed it\n", qPrintable(name), qint64(size),
                qPrintable(cmd.printer.text()));
    return 0;
}

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/Commands.h"
#include "config/AppInfo.h"

namespace {

void printUsage(FILE *out)
{
    std::fprintf(out,
                 "Usage: orvell3d-cli COMMAND [options]\n"
                 "\n"
                 "Commands:\n");
    for (const CliCommand &c : cliCommands())
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  -h, --help   show this help and exit\n"
                 "  --version    show the program's version and exit\n"
                 "\nRun 'orvell3d-cli COMMAND --help' for the options of a command.\n");
}

// The libraries' progress lines ("Read support settings... done", "Slicing started") belong
// in the window's log; on the command line only warnings and errors reach standard error.
void commandLineHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Notes of the platform set-up (a missing runtime folder and the like) are no business of
// a command-line user; a failing set-up is fatal and still ends the program.
void platformSetupHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "orvell3d-cli: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    // The calibration pictures carry text, and fonts need a GUI application; it draws on the
    // offscreen platform, so no display is needed either.
    std::unique_ptr<QCoreApplication> application;
    if (argc > 1 && std::strcmp(argv[1], "calibrate") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const QtMessageHandler previous = qInstallMessageHandler(platformSetupHandler);
        application = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previous);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    qInstallMessageHandler(commandLineHandler);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(AppInfo::name);
    QCoreApplication::setApplicationVersion(AppInfo::version);

    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        printUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == "--version") {
        std::printf("%s %s\n", AppInfo::name, AppInfo::version);
        return 0;
    }
    const QString name = args.takeFirst();
    for (const CliCommand &c : cliCommands()) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    std::fprintf(stderr, "orvell3d-cli: unknown command '%s'\n", qPrintable(name));
    printUsage(stderr);
    return 2;
}

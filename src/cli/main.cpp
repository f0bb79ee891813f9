#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

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
        std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  -h, --help   show this help and exit\n"
                 "  --version    show the program's version and exit\n"
                 "\nRun 'orvell3d-cli COMMAND --help' for the options of a command.\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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

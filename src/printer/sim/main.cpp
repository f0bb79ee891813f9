// orvell3d-printer-sim: a printer on the network, simulated, for trying the printer link.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "printer/sim/PrinterSimulator.h"

namespace {

int toInt(const QCommandLineParser &p, const QString &name, int min, int max, bool *ok)
{
    bool good = false;
    const int v = p.value(name).toInt(&good);
    if (!good || v < min || v > max) {
        std::fprintf(stderr, "orvell3d-printer-sim: --%s takes a whole number from %d to %d\n", qPrintable(name), min,
                     max);
        *ok = false;
    }
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvell3d-printer-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(
        "Plays a networked resin printer: greets each client with \"pixel SIZE\", stores the packages it\n"
        "is sent (\"fileName\", \"fileStart\", the bytes), answers \"fileReceived\" and then reports a\n"
        "simulated print job (\"print started\", \"print prog\", \"time\", \"print finished\").\n"
        "Lines on standard input control the job: pause, resume, abort, start [LAYERS], quit.");
    p.addHelpOption();
    p.addOption({"listen", "Address to listen on (default 127.0.0.1).", "ADDRESS", "127.0.0.1"});
    p.addOption({"port", "Port to listen on; 0 picks a free one (default 9876).", "PORT", "9876"});
    p.addOption({"pixel", "Pixel size the printer reports, in um (default 50).", "UM", "50"});
    p.addOption({"layers", "Layers of each simulated job (default 20).", "N", "20"});
    p.addOption({"layer-ms", "Pace of the simulated job: milliseconds per layer (default 500).", "MS", "500"});
    p.addOption({"layer-seconds", "Seconds per layer the printer claims in its time reports (default 8).", "S", "8"});
    p.addOption({"dir", "Folder for received packages (default: the current folder).", "DIR", "."});
    p.addOption({"no-print", "Only receive packages; do not play a job after each."});
    p.process(app);

    PrinterSimulator::Options o;
    o.address = QHostAddress(p.value("listen"));
    if (o.address.isNull()) {
        std::fprintf(stderr, "orvell3d-printer-sim: not an IP address: %s\n", qPrintable(p.value("listen")));
        return 2;
    }
    bool ok = true;
    o.port = quint16(toInt(p, "port", 0, 65535, &ok));
    o.layers = toInt(p, "layers", 1, 10000000, &ok);
    o.layerMs = toInt(p, "layer-ms", 1, 3600000, &ok);
    o.layerSeconds = toInt(p, "layer-seconds", 0, 3600, &ok);
    bool pixelOk = false;
    o.pixelSizeUm = p.value("pixel").toFloat(&pixelOk);
    if (!pixelOk || !(o.pixelSizeUm > 0.0f)) {
        std::fprintf(stderr, "orvell3d-printer-sim: --pixel takes a positive number\n");
        ok = false;
    }
    if (!ok)
        return 2;
    o.folder = p.value("dir");
    o.printAfterUpload = !p.isSet("no-print");

    PrinterSimulator sim(o);
    QObject::connect(&sim, &PrinterSimulator::event, [](const QString &text) {
        std::printf("%s\n", qPrintable(text));
        std::fflush(stdout);
    });
    QString error;
    if (!sim.listen(&error)) {
        std::fprintf(stderr, "orvell3d-printer-sim: cannot listen on %s:%d: %s\n", qPrintable(p.value("listen")),
                     o.port, qPrintable(error));
        return 1;
    }
    std::printf("listening on %s:%d\n", qPrintable(o.address.toString()), sim.port());
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[512];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);   // end of input: keep serving until killed
            return;
        }
        pending.append(buf, int(n));
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> w = pending.left(end).simplified().split(' ');
            pending.remove(0, end + 1);
            const QByteArray cmd = w.value(0);
            if (cmd == "pause")
                sim.pause();
            else if (cmd == "resume")
                sim.resume();
            else if (cmd == "abort")
                sim.abort();
            else if (cmd == "start")
                sim.startJob(w.size() > 1 ? w[1].toInt() : o.layers);
            else if (cmd == "quit")
                QCoreApplication::quit();
            else if (!cmd.isEmpty())
                std::fprintf(stderr, "orvell3d-printer-sim: commands are pause, resume, abort, start [LAYERS], quit\n");
        }
    });
    return app.exec();
}

// Times "Save as LPK" in a real window (needs a display; bench/run starts Xvfb) and then
// orvell3d-cli slice on the same models, settings and resin profile:
//   bench_window_export --cli PATH --out FOLDER MODEL...
// The window's dialogs are answered at once (the package dialog with its preset, the save
// dialog with a file in FOLDER), so what is timed is the export itself.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <cstdio>

#include "app/Window.h"
#include "config/DataFolder.h"
#include "config/EnvironmentSettings.h"
#include "config/SettingsFile.h"
#include "config/ui/LbfSetting.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

namespace {

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The window's own log lines would bury the figures.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    QString cli, out;
    QStringList models;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--cli" && i + 1 < argc)
            cli = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
            out = QString::fromLocal8Bit(argv[++i]);
        else
            models << QFileInfo(a).absoluteFilePath();
    }
    if (cli.isEmpty() || out.isEmpty() || models.isEmpty()) {
        std::fprintf(stderr, "usage: bench_window_export --cli PATH --out FOLDER MODEL...\n");
        return 2;
    }
    out = QFileInfo(out).absoluteFilePath();
    const QString data = out + "/window_data";
    QDir(data).removeRecursively();
    QDir().mkpath(data);
    qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(data));
    qputenv("ORVELL3D_STARTUP_WAIT_MS", "0");
    QString error;
    if (!writeSettingsFile(defaultSettingsFilePath(), defaultEnvironmentSettings(), &error)) {
        std::fprintf(stderr, "bench_window_export: %s\n", qPrintable(error));
        return 1;
    }

    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    Window w;
    w.show();
    w.canvas->scene()->setLoadPauseMs(0);
    auto loadEnabled = [&w] { return w.findChild<QAction *>("load")->isEnabled(); };
    for (const QString &model : models) {
        const int before = w.canvas->scene()->objectCount();
        if (!waitFor(loadEnabled, 20000) || !w.openModelFile(model) ||
            !waitFor([&] { return w.canvas->scene()->objectCount() > before && loadEnabled(); }, 60000)) {
            std::fprintf(stderr, "bench_window_export: %s was not loaded\n", qPrintable(model));
            return 1;
        }
    }
    // Side by side, as the command line gets them with --arrange.
    w.findChild<QAction *>("actionArrange")->trigger();

    int thickness = 0;
    const QString chosen = out + "/window.lpk";
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *lbf = qobject_cast<LbfSetting *>(modal)) {
            thickness = lbf->thickness();
            lbf->accept();
        } else if (auto *save = qobject_cast<QFileDialog *>(modal)) {
            if (auto *name = save->findChild<QLineEdit *>("fileNameEdit"))
                name->setText(chosen);
            else
                save->selectFile(chosen);
            QMetaObject::invokeMethod(save, "accept");
        }
    });
    answer.start(5);

    QElapsedTimer clock;
    clock.start();
    w.findChild<QAction *>("actionSave_as_LBF_file")->trigger();
    const double windowS = clock.elapsed() / 1000.0;
    answer.stop();
    const QString package = out + QString("/window_z%1.lpk").arg(thickness);
    if (!QFileInfo(package).isFile()) {
        std::fprintf(stderr, "bench_window_export: the window wrote no package\n");
        return 1;
    }
    const int layers = int(w.sliceFileNames.size());

    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{"slice", "--arrange", "--settings", defaultSettingsFilePath(), "--thickness",
                     QString::number(thickness), "-o", out + "/cli.lpk"};
    clock.restart();
    run.start(cli, args + models);
    if (!run.waitForFinished(600000) || run.exitCode() != 0) {
        std::fprintf(stderr, "bench_window_export: orvell3d-cli failed\n");
        return 1;
    }
    const double cliS = clock.elapsed() / 1000.0;

    std::printf("%d layers at %d µm\n", layers, thickness);
    std::printf("window Save as LPK: %.2f s (including the dialogs)\n", windowS);
    std::printf("orvell3d-cli slice: %.2f s (including reading the models and starting)\n", cliS);
    const double limit = 1.5 * cliS + 0.5;
    std::printf("window / cli: %.2f; target window <= 1.5 x cli + 0.5 s = %.2f s: %s\n", windowS / cliS, limit,
                windowS <= limit ? "met" : "NOT met");
    return 0;
}

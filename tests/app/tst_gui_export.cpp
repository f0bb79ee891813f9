#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "support_window.h"
#include "config/ui/LbfSetting.h"
#include "package/Archiver.h"
#include "scene/Scene.h"
#include "slicing/ui/ProgressWindow.h"
#include "view/ui/Canvas.h"

namespace {

// Answers the dialogs of an export as they open: the package dialog (accepted, its choice
// recorded) and the save dialog (the given file).
struct ExportAnswers
{
    QString file;
    QString material;
    int thickness = 0;
    bool sawSaveDialog = false;
};

void answerExportDialogs(ExportAnswers *answers)
{
    auto *timer = new QTimer(dialogWatchers());
    QObject::connect(timer, &QTimer::timeout, [answers] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *lbf = qobject_cast<LbfSetting *>(modal)) {
            answers->material = lbf->material();
            answers->thickness = lbf->thickness();
            lbf->accept();
        } else if (auto *save = qobject_cast<QFileDialog *>(modal)) {
            answers->sawSaveDialog = true;
            chooseFile(save, answers->file);
        }
    });
    timer->start(20);
}

// Every file of a package, by name.
QMap<QString, QByteArray> unpack(const QString &package, const QString &folder)
{
    QMap<QString, QByteArray> files;
    QProcess p;
    p.start("7za", {"x", "-y", "-p" + packagePassword(), "-o" + folder, package});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning() << "7za failed:" << p.readAllStandardError();
        return files;
    }
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files)) {
        QFile f(info.filePath());
        if (f.open(QIODevice::ReadOnly))
            files.insert(info.fileName(), f.readAll());
    }
    return files;
}

} // namespace

class TestExport : public WindowTest
{
    Q_OBJECT
public:
    TestExport() : WindowTest(NoSettingsFile, NoWindow) {}

private:
    static QAction *exportAction(Window &w)
    {
        auto *action = w.findChild<QAction *>("actionSave_as_LBF_file");
        action->setEnabled(true);   // the application enables it after start-up
        return action;
    }

private slots:
    void init()
    {
        WindowTest::init();
        writeSmallPrinterSettings(dataPath("settings.ini"), [](EnvironmentSettings &s) { s.print.horizontalMirror = true; });
        QVERIFY(QDir().mkpath(dataPath("out/window")) && QDir().mkpath(dataPath("out/cli")));
    }

    void packageEqualsTheCommandLinePackage()
    {
        Window w;
        w.resize(900, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // No model: a notice and no dialog.
        QSignalSpy started(w.canvas, &Canvas::signalSlicingEnded);
        QTRY_VERIFY_WITH_TIMEOUT(w.canvas->scene()->object(0)->mesh != nullptr, 10000);
        exportAction(w)->trigger();
        QCOMPARE(started.count(), 0);

        const QString model = dataPath("box.obj");
        writeBox(model, 10, 20, 1);
        loadModel(w, model);

        ExportAnswers answers;
        answers.file = dataPath("out/window/my box.lpk");
        answerExportDialogs(&answers);
        exportAction(w)->trigger();
        QVERIFY(answers.sawSaveDialog);
        QVERIFY(answers.thickness > 0 && !answers.material.isEmpty());

        const QString name = QString("my_box_z%1").arg(answers.thickness);
        const QString package = dataPath("out/window/" + name + ".lpk");
        QVERIFY2(QFileInfo(package).isFile(), qPrintable(logText(w)));
        QVERIFY(!QFileInfo::exists(dataPath("out/window/" + name)));   // working folder removed
        QVERIFY(logText(w).contains(QRegularExpression("\\]   Saving LPK file completed in \\d+\\.\\d\\d sec\\.")));
        QCOMPARE(w.packagePath, package);
        QCOMPARE(w.findChild<QTabWidget *>("tabWidget")->currentIndex(), 1);
        QVERIFY(!w.currentSlice.isNull());   // layer 0, read back from the package

        // The same model and profile through the command-line program.
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVELL3D_DATA_DIR", m_data->path());
        cli.setProcessEnvironment(env);
        // The window fills the cut on the graphics card; the same renderer makes the same pixels.
        cli.start(ORVELL_CLI_PATH, {"slice", "--renderer", "gpu", "--settings", dataPath("settings.ini"), "--resin", answers.material,
                                    "--thickness", QString::number(answers.thickness), "-o",
                                    dataPath("out/cli/my box.lpk"), model});
        QVERIFY(cli.waitForFinished(120000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

        QMap<QString, QByteArray> ours = unpack(package, dataPath("unpacked/window"));
        QMap<QString, QByteArray> theirs = unpack(dataPath("out/cli/" + name + ".lpk"), dataPath("unpacked/cli"));
        QVERIFY(!ours.isEmpty() && !theirs.isEmpty());
        // Both draw five previews of the scene (the window from its own camera state, so they
        // may differ); everything else is the same, byte for byte.
        const QStringList previews{"Preview_Top.png", "Preview_Front.png", "Preview_Left.png", "Preview_Right.png",
                                   "Preview_TFR.png"};
        for (const QString &p : previews) {
            QVERIFY2(ours.contains(p), qPrintable(p));
            QCOMPARE(QImage::fromData(ours.take(p)).size(), QSize(512, 512));
            QCOMPARE(QImage::fromData(theirs.take(p)).size(), QSize(512, 512));
        }
        QCOMPARE(ours.keys(), theirs.keys());
        QVERIFY(ours.contains("S000001_P1.png") && ours.contains("parameters.ini") && ours.contains("buildscript.ini"));
        for (auto it = ours.cbegin(); it != ours.cend(); ++it)
            QVERIFY2(it.value() == theirs.value(it.key()), qPrintable(it.key()));
        QVERIFY(ours.value("parameters.ini").contains("\r\nMirror Y = true\r\n"));
    }

    void cancelledExportLeavesNothingBehind()
    {
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        writeBox(dataPath("tall.obj"), 10, 10, 20);
        loadModel(w, dataPath("tall.obj"));

        ExportAnswers answers;
        answers.file = dataPath("out/window/tall.lpk");
        answerExportDialogs(&answers);
        connect(w.canvas, &Canvas::signalPreviewSliderChange, dialogWatchers(), [&w] {
            if (ProgressWindow *progress = w.canvas->progressWindow())
                progress->findChild<QPushButton *>("pbCancel")->click();
        });
        exportAction(w)->trigger();

        QCOMPARE(w.canvas->lastSliceResult(), Slicer::Cancelled);
        QCOMPARE(QDir(dataPath("out/window")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!logText(w).contains("Saving LPK file completed"));
        QVERIFY(logText(w).contains("slicing was cancelled"));
        QVERIFY(w.sliceFileNames.isEmpty());
        QVERIFY(!w.isExporting());
    }
};

QTEST_MAIN(TestExport)
#include "tst_gui_export.moc"

// Scene files and the scene's STL export: the window's side (dialogs, progress, messages,
// title). Reading and writing are done by the scene and support libraries.
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPointer>
#include <QTimer>

#include "app/Window.h"
#include "scene/Loader.h"
#include "scene/Scene.h"
#include "scene/SceneFile.h"
#include "scene/StlExport.h"
#include "slicing/SectionOutlines.h"
#include "slicing/ui/ProgressWindow.h"
#include "support/Bases.h"
#include "support/SceneFileLoad.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

void Window::setupSceneFileCommands()
{
    ui->actionLoad_scene_file->setEnabled(true);
    ui->actionSave_scene_file->setEnabled(true);
    ui->actionExport_STL->setEnabled(true);
}

void Window::on_actionSave_scene_file_triggered() { saveSceneFile(true); }

void Window::on_actionLoad_scene_file_triggered() { loadSceneFile(QString()); }

void Window::on_actionExport_STL_triggered() { saveStl(); }

void Window::saveSceneFile(bool ask)
{
    const Scene &scene = *canvas->scene();
    if (scene.objectCount() <= 1) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    QString path = sceneFilePath;
    if (ask || path.isEmpty() || !QFileInfo::exists(path)) {
        path = QFileDialog::getSaveFileName(this, tr("Save Scene File"), lastFolder,
                                            tr("Scene Files (*.O3D);;All Files (*)"));
        if (path.isEmpty())
            return;
    }
    QString error;
    if (!writeSceneFile(scene, path, &error)) {
        appendLog(tr("The scene file %1 was not saved: %2").arg(path, error));
        QMessageBox::information(this, tr("Unable to open file"), error);
        return;
    }
    const QFileInfo info(path);
    lastFolder = info.absolutePath();
    appendLog(QStringLiteral("Scene file saved to ") + path);
    setWindowTitle(baseTitle() + QStringLiteral("   ") + info.fileName());
    sceneFilePath = path;
    sceneChanged = false;
    showTimedMessage(path + QStringLiteral(" has been saved. "), 1500);
}

bool Window::loadModelAndWait(const QString &path, QString *error)
{
    Scene *scene = canvas->scene();
    const int before = scene->objectCount();
    // Another read may still be running (a file dropped a moment ago); it finishes first.
    for (int waited = 0; !ui->load->isEnabled() && waited < 600000; waited += 20)
        delayWithEvents(20);
    if (!openModelFile(path)) {
        *error = tr("A model is still being read.");
        return false;
    }
    QPointer<Loader> reader = loader;
    if (reader && !reader->isFinished()) {
        QEventLoop wait;
        connect(reader, &QThread::finished, &wait, &QEventLoop::quit);
        wait.exec();
    }
    // The meshes arrive by queued signals sent before the thread ended.
    QCoreApplication::processEvents();
    if (scene->objectCount() <= before) {
        *error = tr("%1 holds no model that can be read.").arg(QFileInfo(path).fileName());
        return false;
    }
    return true;
}

void Window::loadSceneFile(const QString &givenPath)
{
    Scene *scene = canvas->scene();
    if (scene->objectCount() > 1) {
        const auto answer = QMessageBox::question(this, tr("Loading scene file.."),
                                                  tr("Loaded scene models will be combined with any existing models"),
                                                  QMessageBox::Yes | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return;
    }
    canvas->removeGlobalBase();
    QString path = givenPath;
    if (path.isEmpty()) {
        path = QFileDialog::getOpenFileName(this, tr("Open Scene File"), lastFolder,
                                            tr("Scene File (*.O3D);;All Files (*)"));
        if (path.isEmpty())
            return;
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        const QString why = QFileInfo(path).isDir() ? tr("%1 is a folder.").arg(path) : file.errorString();
        appendLog(tr("The scene file %1 was not loaded: %2").arg(path, why));
        QMessageBox::information(this, tr("Unable to open file"), why);
        return;
    }
    sceneFilePath = path;
    lastFolder = QFileInfo(path).absolutePath();
    const QByteArray text = file.readAll();
    file.close();

    ProgressWindow progress(this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setTitleText(tr("Loading the scene file"));
    // The bar counts kilobytes, so files beyond 2 GB still fit its range.
    const int totalKb = int(std::max<qint64>(1, (text.size() + 1023) / 1024));
    progress.setProgressMaximum(totalKb);
    progress.setProgressValue(0);
    bool cancelled = false;
    connect(&progress, &ProgressWindow::canceled, this, [&cancelled] { cancelled = true; });
    progress.show();

    SceneFileHooks hooks;
    hooks.loadModel = [this](const QString &model, QString *error) { return loadModelAndWait(model, error); };
    hooks.chooseMissing = [this](const QString &fileName) {
        const auto answer = QMessageBox::question(this, tr("Could not find object file"),
                                                  tr("Do you want to choose the file manually for %1?").arg(fileName),
                                                  QMessageBox::Yes | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return QString();
        return QFileDialog::getOpenFileName(this, tr("Choose STL or OBJ file"), lastFolder,
                                            tr("STL(*.stl);;OBJ(*.obj);;All Files (*)"));
    };
    hooks.progress = [&](qint64 bytes, const QString &what) {
        if (bytes >= 0)
            progress.setProgressValue(int(bytes / 1024));
        if (!what.isEmpty())
            progress.setTitleText(what);
        canvas->update();
        QCoreApplication::processEvents();
    };
    hooks.cancelled = [&cancelled] { return cancelled; };
    hooks.sectionOutlines = sectionOutlinesMm;
    if (settings.support.baseMarginMm > 0)
        hooks.globalBaseMarginMm = float(settings.support.baseMarginMm);

    const SceneFileLoadResult result = loadSceneDocument(parseSceneFile(text), path, *scene, *canvas->bases(),
                                                         *canvas->supportEditor(), hooks);
    for (const QString &problem : result.problems)
        appendLog(problem);

    progress.setProgressValue(totalKb);
    delayWithEvents(100);
    progress.setTitleText(cancelled ? tr("Loading the scene file was stopped") : tr("Loading a scene file is completed"));
    delayWithEvents(cancelled ? 500 : 1500);
    progress.finish();

    scene->changeSelObj({}, 0);
    updateModelList();
    setWindowTitle(baseTitle() + QStringLiteral("   ") + QFileInfo(path).fileName());
    scene->refreshAABB(0, 0);
    canvas->update();
    appendLog(QStringLiteral("Scene file loaded from ") + path);
    if (!result.missingModels.isEmpty())
        showTimedMessage(tr("Not loaded: %1").arg(result.missingModels.join(QStringLiteral(", "))), 2500);
}

void Window::saveStl()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save scene into binary STL file"), lastFolder,
                                                      tr("Binary STL File (*.stl);;All Files (*)"));
    if (path.isEmpty())
        return;
    lastFolder = QFileInfo(path).absolutePath();
    QProgressDialog progress(tr("Saving scene into STL file..."), tr("Abort Saving"), 0, 100, this);
    progress.setWindowTitle(QStringLiteral("Orvell3D"));
    progress.setWindowModality(Qt::WindowModal);
    // A half-written file is never left behind, but the export cannot stop half-way either.
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    QString error;
    const bool written = exportSceneStl(*canvas->scene(), path, &error, [&progress](int percent) {
        progress.setValue(percent);
    });
    progress.setValue(100);
    if (!written) {
        appendLog(tr("The scene was not saved as STL file at %1: %2").arg(path, error));
        QMessageBox::information(this, tr("Unable to open file"), error);
        return;
    }
    appendLog(QStringLiteral("Scene file is saved as STL file at ") + path);
}

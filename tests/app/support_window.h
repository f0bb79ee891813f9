#pragma once

// Shared pieces of the window tests: the user folder of one test function, watchers that
// answer the modal dialogs the code under test blocks in, and small models and settings.

#include <QApplication>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "config/EnvironmentSettings.h"
#include "scene/Mesh.h"

class Window;

// The user folder of one test function: a fresh temporary folder that ORVELL3D_DATA_DIR points
// to while it lives. It also owns the dialog watchers started meanwhile; they go with it, so none
// acts on a later test's dialog. Make one in init(), drop it in cleanup().
class WindowTestData
{
public:
    WindowTestData();
    ~WindowTestData();
    WindowTestData(const WindowTestData &) = delete;
    WindowTestData &operator=(const WindowTestData &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QObject *m_watchers;
};

// Parent of the timers that watch for the running test function's dialogs.
QObject *dialogWatchers();

// Acts on the next modal dialog as soon as it is open.
void onNextModal(std::function<void(QWidget *)> action);

// Acts on the next modal dialog of the given kind as soon as it is open; other dialogs are left alone.
template <typename Dialog>
void onNextModal(std::function<void(Dialog *)> action)
{
    auto *timer = new QTimer(dialogWatchers());
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            action(d);
        }
    });
    timer->start(20);
}

// A closed box of sx × sy × sz mm as OBJ.
void writeBox(const QString &path, double sx, double sy, double sz);

// A closed cube of the given edge in mm, corner at the origin.
Mesh boxMesh(float size);

// Settings with a small projector, which keeps the runs short: 300 × 200 px of 100 µm;
// `edit` changes more before they are written to `path`.
void writeSmallPrinterSettings(const QString &path, const std::function<void(EnvironmentSettings &)> &edit = {});

QString logText(Window &w);

// Waits until the window has its build plate and takes files.
void waitForBuildPlate(Window &w);

// A window over `data` whose settings file is empty (every setting at its default), shown at
// 1400 × 1000 with its build plate in; null (the test already failed) when the file cannot be made.
std::unique_ptr<Window> openDefaultWindow(const WindowTestData &data);

// Loads a model once the window takes files and waits until it is in the scene.
void loadModel(Window &w, const QString &path);

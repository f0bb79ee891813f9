#pragma once

// Shared pieces of the window tests: the user folder of one test function, the test class that
// opens the window, watchers that answer the modal dialogs the code under test blocks in, and
// small models and settings.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector3D>
#include <functional>
#include <memory>

#include "app/Window.h"
#include "config/EnvironmentSettings.h"
#include "scene/Mesh.h"

class Canvas;
class QFileDialog;

// The user folder of one test function: a fresh temporary folder that ORVELL3D_DATA_DIR points
// to while it lives. It also owns the dialog watchers started meanwhile; they go with it, so none
// acts on a later test's dialog.
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

// Base of the window tests: each test function gets its own user folder (m_data) with the
// chosen settings file and, when asked for, a window (m_window) that already has its build plate.
class WindowTest : public QObject
{
    Q_OBJECT
public:
    enum SettingsFile { NoSettingsFile, EmptySettingsFile, SmallPrinterSettings };
    enum StartWindow { NoWindow, HiddenWindow, ShownWindow };

protected:
    WindowTest(SettingsFile settings, StartWindow window) : m_settings(settings), m_start(window) {}
    QString dataPath(const QString &name) const { return m_data->filePath(name); }

    std::unique_ptr<WindowTestData> m_data;
    std::unique_ptr<Window> m_window;

protected slots:
    void initTestCase();
    void init();
    void cleanup();

private:
    SettingsFile m_settings;
    StartWindow m_start;
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

// Answers the next message box with `button`; its text and title go to `text` and `title` when given.
void answerNextBox(QMessageBox::StandardButton button, QString *text = nullptr, QString *title = nullptr);

// Names `path` in an open file dialog and accepts it.
void chooseFile(QFileDialog *dialog, const QString &path);
// Answers the next file dialog with `path` (empty: cancels it); its title goes to `title` when given.
void answerFileDialog(const QString &path, QString *title = nullptr);

// The texts of the next popup menu go to `texts` (when given); `choose` (when not empty) is
// triggered, otherwise the menu closes. The watcher lives as long as `owner`.
void onNextMenu(QObject *owner, QStringList *texts, const QString &choose = QString());

// The texts of the timed notices shown from now on, in order, as shown (with their padding).
std::shared_ptr<QStringList> watchNotices();

// The named child of `w`; the test program stops when there is none.
template <typename T>
T *widget(const QObject &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

void writeFile(const QString &path, const QByteArray &bytes = QByteArray());
QByteArray readFile(const QString &path);

// A closed box of sx × sy × sz mm as OBJ.
void writeBox(const QString &path, double sx, double sy, double sz);

// The box from `lo` to `hi` as a binary STL (12 triangles, 8 distinct corners), wound outward;
// with `lo` and `hi` swapped it is wound inward.
void writeBoxStl(const QString &path, QVector3D lo, QVector3D hi);

// A closed cube of the given edge in mm, corner at the origin.
Mesh boxMesh(float size);

// Settings with a small projector, which keeps the runs short: 300 × 200 px of 100 µm;
// `edit` changes more before they are written to `path`.
void writeSmallPrinterSettings(const QString &path, const std::function<void(EnvironmentSettings &)> &edit = {});

QString logText(Window &w);

// Turns the view with `turn` (a preset of the canvas) and waits until it rests there. The view
// resets itself once, a few seconds after it opens; should that come in between, the turn is
// made again.
void turnView(Canvas &canvas, void (Canvas::*turn)());

// Waits until the window has its build plate and takes files.
void waitForBuildPlate(Window &w);

// Loads a model once the window takes files and waits until it is in the scene.
void loadModel(Window &w, const QString &path);

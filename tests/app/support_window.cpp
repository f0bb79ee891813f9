#include "support_window.h"

#include <QAction>
#include <QFile>
#include <QTextEdit>
#include <QtTest>

#include "app/Window.h"
#include "config/SettingsFile.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

namespace {
QObject *g_watchers = nullptr;
}

WindowTestData::WindowTestData() : m_watchers(new QObject)
{
    qputenv("ORVELL3D_DATA_DIR", QFile::encodeName(m_dir.path()));
    g_watchers = m_watchers;
}

WindowTestData::~WindowTestData()
{
    // A successor may already be in place (made before this one is dropped).
    if (g_watchers == m_watchers)
        g_watchers = nullptr;
    delete m_watchers;
}

QObject *dialogWatchers()
{
    return g_watchers;
}

void onNextModal(std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(dialogWatchers());
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            action(modal);
        }
    });
    timer->start(20);
}

void writeBox(const QString &path, double sx, double sy, double sz)
{
    QByteArray obj;
    for (int k = 0; k < 8; ++k)
        obj += QString::asprintf("v %g %g %g\n", (k & 1) * sx, ((k >> 1) & 1) * sy, ((k >> 2) & 1) * sz).toLatin1();
    obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(obj);
}

Mesh boxMesh(float size)
{
    std::vector<float> v;
    for (int i = 0; i < 8; ++i) {
        v.push_back((i & 1) ? size : 0.0f);
        v.push_back((i & 2) ? size : 0.0f);
        v.push_back((i & 4) ? size : 0.0f);
    }
    std::vector<uint32_t> idx{0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                              2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    std::vector<uint32_t> reversed = reverseWinding(idx);
    return Mesh(std::move(v), std::move(idx), std::move(reversed));
}

void writeSmallPrinterSettings(const QString &path, const std::function<void(EnvironmentSettings &)> &edit)
{
    EnvironmentSettings s = defaultEnvironmentSettings();
    s.printer.displayOverrideXPx = 300;
    s.printer.displayOverrideYPx = 200;
    s.printer.pixelSizeXUm = 100.0f;
    s.printer.pixelSizeYUm = 100.0f;
    if (edit)
        edit(s);
    QString error;
    QVERIFY2(writeSettingsFile(path, s, &error), qPrintable(error));
}

QString logText(Window &w)
{
    return w.findChild<QTextEdit *>("logWindow")->toPlainText();
}

void waitForBuildPlate(Window &w)
{
    QTRY_VERIFY_WITH_TIMEOUT(w.canvas->scene()->object(0)->mesh != nullptr, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("load")->isEnabled(), 10000);
}

void loadModel(Window &w, const QString &path)
{
    waitForBuildPlate(w);
    if (QTest::currentTestFailed())
        return;
    const int before = w.canvas->scene()->objectCount();
    QVERIFY(w.openModelFile(path));
    QTRY_COMPARE_WITH_TIMEOUT(w.canvas->scene()->objectCount(), before + 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("load")->isEnabled(), 10000);
}

std::unique_ptr<Window> openDefaultWindow(const WindowTestData &data)
{
    QFile settings(data.filePath("settings.ini"));
    if (!settings.open(QIODevice::WriteOnly)) {
        QTest::qFail("cannot write settings.ini", __FILE__, __LINE__);
        return nullptr;
    }
    settings.close();
    auto window = std::make_unique<Window>();
    window->resize(1400, 1000);
    window->show();
    waitForBuildPlate(*window);
    return window;
}

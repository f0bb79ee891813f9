#include "support_window.h"

#include <QAction>
#include <QDataStream>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTextEdit>
#include <QtTest>
#include <cmath>

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

void WindowTest::initTestCase()
{
    qputenv("ORVELL3D_STARTUP_WAIT_MS", "0");
}

void WindowTest::init()
{
    m_data = std::make_unique<WindowTestData>();
    QVERIFY(m_data->isValid());
    if (m_settings == EmptySettingsFile)
        writeFile(dataPath("settings.ini"));
    else if (m_settings == SmallPrinterSettings)
        writeSmallPrinterSettings(dataPath("settings.ini"));
    if (m_start == NoWindow)
        return;
    m_window = std::make_unique<Window>();
    if (m_start == ShownWindow) {
        m_window->resize(1400, 1000);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    waitForBuildPlate(*m_window);
}

void WindowTest::cleanup()
{
    m_window.reset();
    m_data.reset();
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

void answerNextBox(QMessageBox::StandardButton button, QString *text, QString *title)
{
    onNextModal<QMessageBox>([button, text, title](QMessageBox *box) {
        if (text)
            *text = box->text();
        if (title)
            *title = box->windowTitle();
        box->button(button)->click();
    });
}

void chooseFile(QFileDialog *dialog, const QString &path)
{
    // selectFile() leaves a focused name field alone; the field is what the dialog reads.
    if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
        name->setText(path);
    else
        dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
}

void answerFileDialog(const QString &path, QString *title)
{
    onNextModal<QFileDialog>([path, title](QFileDialog *d) {
        if (title)
            *title = d->windowTitle();
        if (path.isEmpty())
            d->reject();
        else
            chooseFile(d, path);
    });
}

void onNextMenu(QObject *owner, QStringList *texts, const QString &choose)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [timer, texts, choose] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        timer->stop();
        QAction *target = nullptr;
        for (QAction *a : menu->actions()) {
            if (texts)
                *texts << a->text();
            if (a->text() == choose)
                target = a;
        }
        if (target) {
            menu->setActiveAction(target);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    timer->start(20);
}

std::shared_ptr<QStringList> watchNotices()
{
    // A notice waits in its own event loop while it shows, so it is seen from a timer.
    auto seen = std::make_shared<QStringList>();
    auto shown = std::make_shared<QList<QPointer<QWidget>>>();
    auto *timer = new QTimer(dialogWatchers());
    QObject::connect(timer, &QTimer::timeout, [seen, shown] {
        QList<QPointer<QWidget>> now;
        for (QWidget *top : QApplication::allWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top);
                box && box->objectName() == QLatin1String("timedMessage") && box->isVisible()) {
                now << box;
                if (!shown->contains(box))
                    *seen << box->text();
            }
        *shown = now;
    });
    timer->start(10);
    return seen;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBox(const QString &path, double sx, double sy, double sz)
{
    QByteArray obj;
    for (int k = 0; k < 8; ++k)
        obj += QString::asprintf("v %g %g %g\n", (k & 1) * sx, ((k >> 1) & 1) * sy, ((k >> 2) & 1) * sz).toLatin1();
    obj += "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    writeFile(path, obj);
}

void writeBoxStl(const QString &path, QVector3D lo, QVector3D hi)
{
    const QVector3D c[8] = {{lo.x(), lo.y(), lo.z()}, {hi.x(), lo.y(), lo.z()}, {hi.x(), hi.y(), lo.z()},
                            {lo.x(), hi.y(), lo.z()}, {lo.x(), lo.y(), hi.z()}, {hi.x(), lo.y(), hi.z()},
                            {hi.x(), hi.y(), hi.z()}, {lo.x(), hi.y(), hi.z()}};
    const int tri[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                            {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(QByteArray(80, ' ').constData(), 80);
    out << quint32(12);
    for (const auto &t : tri) {
        out << 0.0f << 0.0f << 0.0f;
        for (int k : t)
            out << c[k].x() << c[k].y() << c[k].z();
        out << quint16(0);
    }
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

void turnView(Canvas &canvas, void (Canvas::*turn)())
{
    (canvas.*turn)();
    const float tilt = canvas.camera().targetTilt, yaw = canvas.camera().targetYaw;
    const bool resting = QTest::qWaitFor(
        [&] {
            const Camera &c = canvas.camera();
            if (c.targetTilt != tilt || c.targetYaw != yaw)
                (canvas.*turn)();
            return c.isAtRest() && std::abs(c.tilt - tilt) < 0.01f && std::abs(c.yaw - yaw) < 0.01f;
        },
        30000);
    QVERIFY2(resting, "the view did not come to rest");
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

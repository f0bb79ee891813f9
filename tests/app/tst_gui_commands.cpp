#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

#include "support_window.h"
#include "app/UnbuiltCommands.h"
#include "scene/Scene.h"
#include "view/ui/Canvas.h"

// Every command a user can reach in the menus and the tool bar either does something one can
// see (a dialog, a notice, a log line, a change of the scene, the view or the title) or is
// disabled; a command not built yet says in its tool tip what it will do.
namespace {

// Everything a command could visibly change, as text.
QString windowState(Window &w)
{
    QString s;
    QTextStream out(&s);
    const Scene *scene = w.canvas->scene();
    out << scene->objectCount() << " current " << scene->currentObject() << " selection";
    for (int id : scene->selection())
        out << ' ' << id;
    for (int id = 1; id < scene->objectCount(); ++id) {
        const Object *o = scene->object(id);
        out << "\n" << o->name << " move " << o->move.x() << ',' << o->move.y() << ',' << o->move.z() << " scale "
            << o->scale.x() << " rot " << o->rotation.x() << ',' << o->rotation.y() << ',' << o->rotation.z()
            << " flip " << o->flip << " show " << o->isShow << " group " << o->groupId;
    }
    const Camera &c = w.canvas->camera();
    out << "\ncamera " << c.zoom << ' ' << c.targetTilt << ' ' << c.targetYaw << ' ' << c.gCenter.x() << ','
        << c.gCenter.y() << ',' << c.gCenter.z();
    out << "\ntitle " << w.windowTitle() << "\nlog " << logText(w);
    // Tools that wait for a click in the view show themselves on the side panel.
    out << "\npanel " << w.findChild<QTabWidget *>("tabMenu")->currentIndex() << " drain hole placing "
        << w.canvas->drainHolePlacing;
    return s;
}

// Closes every dialog and notice that opens while it lives, declining what it asks, and
// notes their titles.
class DialogCatcher : public QObject
{
public:
    QStringList seen;
    explicit DialogCatcher(QObject *parent) : QObject(parent)
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                seen << modal->windowTitle();
                if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    for (auto which : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok})
                        if (QAbstractButton *b = box->button(which)) {
                            b->click();
                            return;
                        }
                }
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                    dialog->reject();
                else
                    modal->close();
                return;
            }
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->objectName() == QLatin1String("timedMessage") && top->isVisible() &&
                    !seen.contains(QStringLiteral("notice")))
                    seen << QStringLiteral("notice");
        });
        timer->start(10);
    }
};

// The commands of the menus (sub-menus included) and the tool bar, once each, in menu order.
QList<QAction *> reachableCommands(Window &w)
{
    QList<QAction *> actions;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *a : menu->actions()) {
            if (a->menu())
                walk(a->menu());
            else if (!a->isSeparator() && !actions.contains(a))
                actions << a;
        }
    };
    for (QAction *top : w.menuBar()->actions())
        if (top->menu())
            walk(top->menu());
    for (QToolBar *bar : w.findChildren<QToolBar *>())
        for (QAction *a : bar->actions())
            if (!a->isSeparator() && !a->menu() && !actions.contains(a) && !bar->widgetForAction(a)->inherits("QComboBox"))
                actions << a;
    return actions;
}

} // namespace

class TestCommands : public WindowTest
{
    Q_OBJECT
public:
    TestCommands() : WindowTest(SmallPrinterSettings, HiddenWindow) {}

private:
    // Two cubes, the first lifted and current, the view turned away from every preset.
    void standardScene()
    {
        Window &w = *m_window;
        Scene *scene = w.canvas->scene();
        scene->setLoadPauseMs(0);
        while (scene->objectCount() < 3)
            w.canvas->load_mesh({boxMesh(10)}, QStringLiteral("/parts/cube%1.stl").arg(scene->objectCount()));
        scene->moveWithChildren(1, QVector3D(3, 0, 5));
        scene->changeSelObj({1}, 1);
        w.updateModelList();
        Camera &c = w.canvas->camera();
        c.zoom = 3.3f;
        c.tilt = c.targetTilt = -100.0f;
        c.yaw = c.targetYaw = 33.0f;
        c.gCenter = QVector3D(1, 2, 3);
        // No tool left waiting for a click by the command before.
        w.canvas->drainHolePlacing = false;
        w.findChild<QTabWidget *>("tabMenu")->setCurrentIndex(0);
    }

private slots:
    void everyVisibleEnabledCommandDoesSomething()
    {
        Window &w = *m_window;
        // What the application object does after building the window.
        w.findChild<QAction *>("actionSave_as_LBF_file")->setEnabled(true);
        disableUnbuiltCommands(&w);
        w.show();
        const QList<QAction *> actions = reachableCommands(w);
        QVERIFY(actions.size() > 20);
        QStringList walked;
        for (QAction *a : actions) {
            if (!a->isVisible())
                continue;
            // Choosing the language already in use changes nothing, by design.
            if (a->actionGroup() && a->actionGroup()->isExclusive() && a->isChecked())
                continue;
            const QString name = a->objectName().isEmpty() ? a->text() : a->objectName();
            if (isUnbuiltCommand(a->objectName())) {
                QVERIFY2(!a->isEnabled(), qPrintable(name + " is not built yet but enabled"));
                QVERIFY2(a->toolTip().length() > a->text().length() + 10, qPrintable(name + ": " + a->toolTip()));
            }
            if (!a->isEnabled())
                continue;
            standardScene();
            const QString before = windowState(w);
            auto *catcher = new DialogCatcher(dialogWatchers());
            a->trigger();
            // Some commands finish on a later turn of the event loop (a base is built from a
            // loaded mesh); under load that can take a while, so wait for the effect, not a time.
            QElapsedTimer waited;
            waited.start();
            bool observed = false;
            while (!observed && waited.elapsed() < 3000) {
                QTest::qWait(waited.elapsed() < 50 ? 50 : 20);
                observed = !catcher->seen.isEmpty() || windowState(w) != before;
            }
            delete catcher;
            QVERIFY2(observed, qPrintable(name + " is enabled but does nothing visible"));
            walked << name;
        }
        // The walk reached the commands that work today.
        for (const char *name : {"actionNewScene", "load", "actionSave_as_LBF_file", "actionUndo",
                                 "actionFlip_Models", "actionMove_to_Bottom", "actionArrange", "actionTop"})
            QVERIFY2(walked.contains(name), name);
        QVERIFY(w.isVisible());   // Exit asked and was declined
    }

    void unbuiltCommandsStayDisabledAfterAStartAndALanguageChange()
    {
        Window &w = *m_window;
        QVERIFY(!unbuiltCommands().isEmpty());
        for (const UnbuiltCommand &c : unbuiltCommands()) {
            QObject *o = w.findChild<QObject *>(c.objectName);
            QVERIFY2(o, c.objectName);   // the table names only existing commands
            QVERIFY2(!o->property("enabled").toBool(), c.objectName);
            QCOMPARE(o->property("toolTip").toString(), QString::fromLatin1(c.toolTip));
        }
        QEvent change(QEvent::LanguageChange);
        QApplication::sendEvent(&w, &change);
        QAction *raft = w.findChild<QAction *>("actionRaft");
        QVERIFY(!raft->isEnabled());
        QVERIFY(raft->toolTip().startsWith("Raft: "));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_gui_commands.moc"

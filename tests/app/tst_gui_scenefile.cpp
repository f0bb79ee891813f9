#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QTabWidget>
#include <QtTest>

#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "support_window.h"
#include "view/ui/Canvas.h"

namespace {

// Answers the next message box with `button`; its "title | text" goes to `text`.
void answerQuestion(QMessageBox::StandardButton button, QString *text = nullptr)
{
    onNextModal<QMessageBox>([button, text](QMessageBox *box) {
        if (text)
            *text = box->windowTitle() + " | " + box->text();
        box->button(button)->click();
    });
}

int countOfType(const Scene &s, int type)
{
    int n = 0;
    for (int i = 1; i < s.objectCount(); ++i)
        n += s.object(i)->type == type;
    return n;
}

} // namespace

class TestSceneFileWindow : public WindowTest
{
    Q_OBJECT
public:
    TestSceneFileWindow() : WindowTest(SmallPrinterSettings, ShownWindow) {}

private slots:
    void saveLoadAndCtrlS()
    {
        Window &w = *m_window;
        Scene *scene = w.canvas->scene();
        writeBox(m_data->filePath("a.obj"), 6, 8, 4);
        writeBox(m_data->filePath("b.obj"), 5, 5, 5);
        loadModel(w, m_data->filePath("a.obj"));
        loadModel(w, m_data->filePath("b.obj"));
        scene->moveWithChildren(1, QVector3D(-6, 0, 2));
        spUnit u;
        const QList<float> box = scene->object(1)->bbox;
        const float x = (box[4] + box[5]) / 2, y = (box[2] + box[3]) / 2;
        u.points = {QVector3D(x, y, box[1]), QVector3D(x, y, 1), QVector3D(x, y, 0)};
        u.radii = {0.2f, 0.4f, 0.4f};
        u.tipObjectId = u.parentId = 1;
        QVERIFY(w.canvas->supportEditor()->addSupportManual(u) > 0);
        QCOMPARE(scene->objectCount(), 4);

        // Save from the menu: asks for the name.
        const QString file = m_data->filePath("plate.o3d");
        QString asked;
        answerFileDialog(file, &asked);
        w.findChild<QAction *>("actionSave_scene_file")->trigger();
        QVERIFY(!asked.isEmpty());
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(w.windowTitle(), Window::baseTitle() + "   plate.o3d");
        QVERIFY(logText(w).contains("Scene file saved to " + file));

        // Ctrl+S saves into the same file without asking once it exists.
        scene->moveWithChildren(2, QVector3D(0, 3, 0));
        const QByteArray before = readFile(file);
        asked.clear();
        answerFileDialog(m_data->filePath("other.o3d"), &asked);
        w.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(0);
        QKeyEvent ctrlS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
        QApplication::sendEvent(&w, &ctrlS);
        QVERIFY(asked.isEmpty());
        QVERIFY(!QFileInfo::exists(m_data->filePath("other.o3d")));
        QVERIFY(readFile(file) != before);
        QVERIFY(QFile::copy(file, m_data->filePath("kept.o3d")));

        // The file gave way to a folder of that name: Ctrl+S says it cannot write, and nothing
        // claims a save.
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkdir(file));
        QString refusal;
        answerQuestion(QMessageBox::Ok, &refusal);
        QApplication::sendEvent(&w, &ctrlS);
        QVERIFY2(refusal.startsWith("Unable to open file | "), qPrintable(refusal));
        QVERIFY(QDir().rmdir(file));
        QVERIFY(QFile::copy(m_data->filePath("kept.o3d"), file));

        // Into a fresh window: the same three objects, titled after the file.
        const QVector3D movedA = scene->object(1)->move, movedB = scene->object(2)->move;
        m_window.reset();
        m_window = std::make_unique<Window>();
        waitForBuildPlate(*m_window);
        Window &fresh = *m_window;
        fresh.loadSceneFile(file);
        Scene *back = fresh.canvas->scene();
        QCOMPARE(countOfType(*back, TypeModel), 2);
        QCOMPARE(countOfType(*back, TypeSupport), 1);
        QVERIFY((back->object(1)->move - movedA).length() < 1e-5f);
        QVERIFY((back->object(2)->move - movedB).length() < 1e-5f);
        QCOMPARE(fresh.windowTitle(), Window::baseTitle() + "   plate.o3d");
        QVERIFY(logText(fresh).contains("Scene file loaded from " + file));
        QCOMPARE(back->currentObject(), 0);
        QVERIFY(back->selection().isEmpty());

        // Again into the now busy scene: the question first; Cancel changes nothing.
        QString question;
        answerQuestion(QMessageBox::Cancel, &question);
        fresh.loadSceneFile(file);
        QCOMPARE(question, QString("Loading scene file.. | Loaded scene models will be combined with any existing models"));
        QCOMPARE(back->objectCount(), 4);
        // Yes adds the scene once more; the models are copies of those in the scene.
        answerQuestion(QMessageBox::Yes);
        fresh.loadSceneFile(file);
        QCOMPARE(countOfType(*back, TypeModel), 4);
        QCOMPARE(countOfType(*back, TypeSupport), 2);
        QCOMPARE(back->object(6)->support.tipObjectId, 4);
    }

    void missingModelAndUnreadableFile()
    {
        Window &w = *m_window;
        const QString file = m_data->filePath("lost.o3d");
        writeFile(file, "#object\nfilename /no/such/dir/gone.stl\nscale 1 1 1\nmove 0 0 0\nrotation 0 0 0\nisShow 1\n"
                        "selectable 1\nflip 0\nopacity 1\n#baseplate\nsize 10 10 1\nmove 0 0 0\nscale 1 1 1\nparent 1\n");
        QString question;
        answerQuestion(QMessageBox::Cancel, &question);
        w.loadSceneFile(file);
        QCOMPARE(question, QString("Could not find object file | Do you want to choose the file manually for gone.stl?"));
        QCOMPARE(w.canvas->scene()->objectCount(), 1);   // nor the base of the model left out
        QVERIFY(logText(w).contains("Scene file loaded from " + file));

        // A folder where the file should be: the box with the reason, nothing else.
        answerQuestion(QMessageBox::Ok, &question);
        w.loadSceneFile(m_data->path());
        QVERIFY2(question.startsWith("Unable to open file | "), qPrintable(question));
        QCOMPARE(w.canvas->scene()->objectCount(), 1);
    }

    void saveAndExportRefusalsAndStl()
    {
        Window &w = *m_window;
        writeBox(m_data->filePath("a.obj"), 6, 8, 4);
        loadModel(w, m_data->filePath("a.obj"));
        const QString stl = m_data->filePath("scene.stl");
        answerFileDialog(stl);
        w.findChild<QAction *>("actionExport_STL")->trigger();
        QCOMPARE(QFileInfo(stl).size(), qint64(84 + 50 * 12));
        QVERIFY(logText(w).contains("Scene file is saved as STL file at " + stl));

        // Nothing but the build plate: a notice, no dialog (the watcher is left unused).
        w.canvas->scene()->clear_model();
        QCOMPARE(w.canvas->scene()->objectCount(), 1);
        QString asked;
        answerFileDialog(m_data->filePath("none.o3d"), &asked);
        w.saveSceneFile(true);
        QVERIFY(asked.isEmpty());
        QVERIFY(!QFileInfo::exists(m_data->filePath("none.o3d")));
    }
};

QTEST_MAIN(TestSceneFileWindow)
#include "tst_gui_scenefile.moc"

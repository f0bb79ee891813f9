#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "app/SettingSelect.h"
#include "support_window.h"
#include "config/ResinProfile.h"
#include "scene/Loader.h"
#include "view/ui/Canvas.h"

namespace {

// Records where model and scene files are sent instead of reading them.
class RecordingWindow : public Window
{
public:
    QStringList models, scenes;
    bool openModelFile(const QString &path) override
    {
        models << path;
        return true;
    }
    void loadSceneFile(const QString &path) override { scenes << path; }
    using Window::dropEvent;
};

} // namespace

class TestWindow : public WindowTest
{
    Q_OBJECT
public:
    TestWindow() : WindowTest(NoSettingsFile, NoWindow) {}

private slots:
    void startUpFrame()
    {
        writeFile(dataPath("settings.ini"));
        for (int day = 1; day <= 6; ++day)
            writeFile(dataPath(QString("debug_2024010%1_120000.log").arg(day)));
        Window w;

        QCOMPARE(w.windowTitle(), QStringLiteral("Orvell3D 0.78"));
        const QRegularExpression line("^\\[\\d{1,2}:\\d{1,2}:\\d{1,2} (AM|PM)\\]   Initialization completed$");
        QVERIFY2(line.match(logText(w)).hasMatch(), qPrintable(logText(w)));

        QVERIFY(w.canvas);
        QVERIFY(!w.findChild<QAction *>("actionMake_Slices")->isVisible());
        // One machine per model; the first keeps the name printers know.
        QVERIFY(w.cmbPrinter);
        QCOMPARE(w.cmbPrinter->count(), 3);
        QCOMPARE(w.cmbPrinter->itemText(0), QStringLiteral("Stellan-Arc 2.0"));
        QCOMPARE(w.cmbPrinter->itemText(2), QStringLiteral("OrvellDLP 50"));
        QVERIFY(w.acceptDrops());

        // A first start gets the shipped resin profiles.
        QVERIFY(w.profileStore);
        QVERIFY(QFile::exists(dataPath("profiles.ini")));
        QVERIFY(!w.profileStore->profiles().isEmpty());

        // Six earlier logs: the data folder keeps the five newest (there is no log of this run here).
        QCOMPARE(QDir(m_data->path()).entryList({"debug*.log"}, QDir::Files, QDir::Name),
                 (QStringList{"debug_20240102_120000.log", "debug_20240103_120000.log", "debug_20240104_120000.log",
                              "debug_20240105_120000.log", "debug_20240106_120000.log"}));
    }

    void noSettingFileShowsErrorAndLoadsBuildPlate()
    {
        QString boxText, boxTitle;
        answerNextBox(QMessageBox::Ok, &boxText, &boxTitle);
        Window w;
        QCOMPARE(boxTitle, QStringLiteral("Error"));
        QCOMPARE(boxText, QStringLiteral("<b>Error:</b><br>No setting file found<br>"));
        QVERIFY(w.settingFilePath.isEmpty());
        QVERIFY(w.loader);
        QCOMPARE(w.loader->fileName(), QStringLiteral(":/BuildPlate_SAv1.STL"));
    }

    void oneSettingFileIsUsedWithoutAsking()
    {
        writeFile(dataPath("setting_resin.ini"), "[Misc]\nWindowWidth=800\nWindowHeight=700\nLanguage=de\n"
                                             "LastFileLocation=/models/here\n"
                                             "[Printer]\nDisplayOverrideX=2560\nPixelSizeX=50\n");
        writeFile(dataPath("other.ini"));
        bool asked = false;
        onNextModal([&](QWidget *modal) {
            asked = true;
            modal->close();
        });
        Window w;
        QCOMPARE(w.settingFilePath, dataPath("setting_resin.ini"));
        // The file names no build-plate model of its own, so the built-in one is used.
        QVERIFY(w.loader);
        QCOMPARE(w.loader->fileName(), QStringLiteral(":/BuildPlate_SAv1.STL"));
        QTest::qWait(100);
        QVERIFY(!asked);

        // The window takes its size, language and folder from the file (with the minimum width).
        QCOMPARE(w.size(), QSize(960, 700));
        QCOMPARE(w.currentLanguage, QStringLiteral("de"));
        QCOMPARE(w.lastFolder, QStringLiteral("/models/here"));
        QCOMPARE(w.findChild<QSpinBox *>("inpDispOverrideX")->value(), 2560);
    }

    void severalSettingFilesAreOffered()
    {
        writeFile(dataPath("settings_b.ini"));
        writeFile(dataPath("settings_a.ini"));
        QStringList offered;
        QString title;
        onNextModal([&](QWidget *modal) {
            auto *chooser = qobject_cast<settingSelect *>(modal);
            QVERIFY(chooser);
            title = chooser->windowTitle();
            for (int i = 0; i < chooser->list()->count(); ++i)
                offered << chooser->list()->item(i)->text();
            chooser->list()->setCurrentRow(1);
            chooser->accept();
        });
        Window chosen;
        QCOMPARE(title, QStringLiteral("Select a setting file"));
        QCOMPARE(offered, (QStringList{"settings_a.ini", "settings_b.ini"}));
        QCOMPARE(chosen.settingFilePath, dataPath("settings_b.ini"));

        // Cancelled: no box, the built-in build plate, no setting file in use.
        int modalsSeen = 0;
        onNextModal([&](QWidget *modal) {
            ++modalsSeen;
            QVERIFY(qobject_cast<settingSelect *>(modal));
            qobject_cast<QDialog *>(modal)->reject();
        });
        Window cancelled;
        QCOMPARE(modalsSeen, 1);
        QVERIFY(cancelled.settingFilePath.isEmpty());
        QVERIFY(cancelled.loader);
        QCOMPARE(cancelled.loader->fileName(), QStringLiteral(":/BuildPlate_SAv1.STL"));
    }

    void dragEnterAcceptsModelAndSceneFiles()
    {
        writeFile(dataPath("settings.ini"));
        Window w;
        auto accepted = [&](const QList<QUrl> &urls, bool withUrls = true) {
            QMimeData mime;
            if (withUrls)
                mime.setUrls(urls);
            else
                mime.setText("plain text");
            QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            event.ignore();
            QApplication::sendEvent(&w, &event);
            return event.isAccepted();
        };
        QVERIFY(accepted({QUrl::fromLocalFile("/models/A.STL")}));
        QVERIFY(accepted({QUrl::fromLocalFile("/models/part.Obj")}));
        QVERIFY(accepted({QUrl::fromLocalFile("/models/plate.o3d")}));
        QVERIFY(!accepted({QUrl::fromLocalFile("/models/a.txt")}));
        QVERIFY(!accepted({QUrl::fromLocalFile("/models/stl")}));
        // Only the first file is looked at.
        QVERIFY(!accepted({QUrl::fromLocalFile("/models/a.txt"), QUrl::fromLocalFile("/models/b.stl")}));
        QVERIFY(accepted({QUrl::fromLocalFile("/models/b.stl"), QUrl::fromLocalFile("/models/a.txt")}));
        QVERIFY(!accepted({}, false));
    }

    void dropSendsFilesByTheFirstOne()
    {
        writeFile(dataPath("settings.ini"));
        QDir(m_data->path()).mkdir("models");
        const QString stl = dataPath("models/b.stl");
        writeFile(stl);
        RecordingWindow w;
        auto drop = [&](const QList<QUrl> &urls) {
            QMimeData mime;
            mime.setUrls(urls);
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            w.dropEvent(&event);
        };

        drop({QUrl::fromLocalFile("/elsewhere/a.O3D"), QUrl::fromLocalFile(stl)});
        QCOMPARE(w.scenes, (QStringList{"/elsewhere/a.O3D", stl}));
        QVERIFY(w.models.isEmpty());
        QCOMPARE(w.lastFolder, dataPath("models"));      // only existing files move the folder

        w.scenes.clear();
        w.lastFolder.clear();
        drop({QUrl::fromLocalFile(stl), QUrl::fromLocalFile("/elsewhere/a.o3d"), QUrl("https://example.com/x.stl")});
        QCOMPARE(w.models, (QStringList{stl, "/elsewhere/a.o3d"}));
        QVERIFY(w.scenes.isEmpty());
        QCOMPARE(w.lastFolder, dataPath("models"));
        QVERIFY(logText(w).contains("https://example.com/x.stl"));

        // In manual support mode nothing is loaded; a notice says why.
        w.models.clear();
        w.canvas->supportMode = 1;
        const auto notices = watchNotices();
        drop({QUrl::fromLocalFile(stl)});
        QVERIFY(w.models.isEmpty());
        QTRY_COMPARE(notices->value(0), QString(10, ' ') + "Can't add models in support mode." + QString(10, ' '));
    }

    void languageMenuListsTranslationFiles()
    {
        writeFile(dataPath("settings.ini"));
        Window w;
        QTemporaryDir languages;
        writeFile(languages.filePath("orvell3d_fr.qm"), "not a translation");
        QImage flag(24, 16, QImage::Format_RGB32);
        flag.fill(Qt::blue);
        QVERIFY(flag.save(languages.filePath("fr.png")));
        writeFile(languages.filePath("readme.txt"));

        w.languageFolder = languages.path();
        w.createLanguageMenu();
        auto *menu = w.findChild<QMenu *>("menuLanguage");
        QCOMPARE(menu->actions().size(), 1);
        QAction *fr = menu->actions().first();
        QCOMPARE(fr->text(), QLocale::languageToString(QLocale::French));
        QCOMPARE(fr->data().toString(), QStringLiteral("fr"));
        QVERIFY(fr->isCheckable());
        QVERIFY(!fr->isChecked());
        QVERIFY(!fr->icon().isNull());

        // A broken translation file leaves the interface in its source language.
        fr->trigger();
        QCOMPARE(w.currentLanguage, QStringLiteral("fr"));
        QVERIFY(fr->isChecked());
        QTest::qWait(50);
        QCOMPARE(w.findChild<QMenu *>("menuFile")->title(), QStringLiteral("&File"));
    }

    void germanTranslationSwitchesTheMenus()
    {
        writeFile(dataPath("settings.ini"));
        Window w;
        w.setWindowTitle("Orvell3D 0.78   part.stl");
        w.languageFolder = QCoreApplication::applicationDirPath() + "/../../src/app/languages";
        QVERIFY2(QFile::exists(w.languageFolder + "/orvell3d_de.qm"), qPrintable(w.languageFolder));
        w.createLanguageMenu();
        QAction *german = nullptr, *english = nullptr;
        for (QAction *a : w.findChild<QMenu *>("menuLanguage")->actions()) {
            if (a->data().toString() == "de")
                german = a;
            if (a->data().toString() == "en")
                english = a;
        }
        QVERIFY(german && english);
        QVERIFY(english->isChecked());

        // The new texts arrive with the (posted) language-change event.
        german->trigger();
        QCOMPARE(w.currentLanguage, QStringLiteral("de"));
        QTRY_COMPARE(w.findChild<QMenu *>("menuFile")->title(), QStringLiteral("&Datei"));
        QCOMPARE(w.findChild<QAction *>("load")->text(), QStringLiteral("Modelle laden..."));
        QCOMPARE(w.findChild<QTabWidget *>("tabMenu")->tabText(0), QStringLiteral("Modell"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvell3D 0.78   part.stl"));

        english->trigger();
        QTRY_COMPARE(w.findChild<QMenu *>("menuFile")->title(), QStringLiteral("&File"));
        QCOMPARE(w.findChild<QAction *>("load")->text(), QStringLiteral("Load Models..."));
    }

    void closeAsksAndKeepsTheWorkingFolderOnNo()
    {
        writeFile(dataPath("settings.ini"));
        QDir(m_data->path()).mkpath("temp/layers");
        writeFile(dataPath("temp/layers/S000001_P1.png"), "png");
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QString question;
        answerNextBox(QMessageBox::No, &question);
        QVERIFY(!w.close());
        QCOMPARE(question, QStringLiteral("Are you sure to close Orvell3D?\n"));
        QVERIFY(w.isVisible());
        QVERIFY(QFile::exists(dataPath("temp/layers/S000001_P1.png")));

        answerNextBox(QMessageBox::Yes);
        QVERIFY(w.close());
        QVERIFY(!QDir(dataPath("temp")).exists());
        // The settings are written back whole.
        const QByteArray text = readFile(dataPath("settings.ini"));
        QVERIFY(text.startsWith("[Models]"));
        QVERIFY(text.contains("[Misc]"));
    }

    void newSceneWithOnlyThePlateAsksNothing()
    {
        writeFile(dataPath("settings.ini"));
        Window w;
        bool asked = false;
        onNextModal([&](QWidget *modal) {
            asked = true;
            modal->close();
        });
        w.findChild<QAction *>("actionNewScene")->trigger();
        QTest::qWait(100);
        QVERIFY(!asked);
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvell3D 0.78   "));
        QCOMPARE(w.findChild<QPushButton *>("pbSlicePreview")->text(), QStringLiteral("S0"));
    }

    void unreadableModelIsReported()
    {
        writeFile(dataPath("settings.ini"));
        writeFile(dataPath("broken.stl"), "this is not a model");
        Window w;
        const QString title = w.windowTitle();
        QString notice;
        bool buttonShown = true, endsProgram = true;
        QTimer::singleShot(0, [&] {
            QTimer *poll = new QTimer(&w);
            QObject::connect(poll, &QTimer::timeout, [&, poll] {
                if (auto *box = w.findChild<QMessageBox *>("timedMessage"); box && box->isVisible()) {
                    notice = box->text().trimmed();
                    buttonShown = false;
                    for (QAbstractButton *b : box->buttons())
                        buttonShown = buttonShown || b->isVisible();
                    // At start-up the notice may be the only window shown; its closing must
                    // not end the program.
                    endsProgram = box->testAttribute(Qt::WA_QuitOnClose);
                    poll->stop();
                }
            });
            poll->start(20);
        });
        QVERIFY(w.openModelFile(dataPath("broken.stl")));
        QTRY_VERIFY_WITH_TIMEOUT(!notice.isEmpty(), 10000);
        QCOMPARE(notice, QStringLiteral("Could not read the model file broken.stl."));
        QVERIFY(!buttonShown);
        QVERIFY(!endsProgram);
        QCOMPARE(w.windowTitle(), title);
        QVERIFY(logText(w).contains("Could not read the model file broken.stl."));
        // Once the reader is done the import is available again.
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QAction *>("load")->isEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(w.canvas->statusText().isEmpty(), 10000);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_gui_window.moc"

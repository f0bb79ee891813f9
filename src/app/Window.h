#pragma once

#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <QVector3D>
#include <memory>

#include "config/EnvironmentSettings.h"

namespace Ui {
class Window;
}
class Canvas;
class Loader;
class QActionGroup;
class QComboBox;
class QLabel;
class ResinProfileManager;

// The main window: menus, tool bar, side panel, log window and the 3D view.
class Window : public QMainWindow
{
    Q_OBJECT
public:
    explicit Window(QWidget *parent = nullptr);
    ~Window() override;

    // "Orvell3D 0.78", the title at start-up.
    static QString baseTitle();

    // Waits the given time while the event loop keeps running (timers, repaints, queued signals).
    static void delayWithEvents(int milliseconds);

    // The pause the constructor makes before it reads the settings (3000 ms). The environment
    // variable ORVELL3D_STARTUP_WAIT_MS overrides it, e.g. 0 in tests.
    static int startupWaitMs();

    // Picks the environment setting file in the data folder ("setting*.ini"): none → error box
    // and the built-in build plate; one → used; several → the settingSelect chooser.
    void chooseSettingFile();
    // Reads `settingFilePath` into `settings` and applies what the window itself uses
    // (size, language, last folder, build-plate model).
    void readSettingsFile();
    // Writes `settings` with the window's current state to `settingFilePath` (or the default
    // "settings.ini" when none is in use). False when the file could not be written or when
    // the file in use could not be read (it is then left alone rather than replaced).
    bool writeSettingsFile();

    void createLanguageMenu();
    void loadLanguage(const QString &code);
    void switchTranslator(QTranslator &translator, const QString &fileName);

    Ui::Window *ui = nullptr;
    Canvas *canvas = nullptr;
    QPointer<Loader> loader;              // the most recently started model loader
    QStringList printerNames;
    QComboBox *cmbPrinter = nullptr;
    QLabel *statusLabel = nullptr;
    QString settingFilePath;              // empty when no setting file is in use
    QString lastFolder;                   // folder of the last file dialog or dropped file
    QString lastModelPath;                // the last file chosen in the import dialog
    QString currentLanguage = QStringLiteral("en");
    QString languageFolder;               // application folder + "/languages"
    QTranslator translator;
    QString sceneFilePath;
    bool sceneChanged = false;
    EnvironmentSettings settings;         // built-in defaults until a setting file is read
    std::unique_ptr<ResinProfileManager> profileStore;

public slots:
    void appendLog(const QString &text);
    void showTimedMessage(const QString &text, int milliseconds);
    // Reads a model file in a Loader thread. False when a load is running (nothing is started).
    virtual bool openModelFile(const QString &path);
    virtual void loadSceneFile(const QString &path);
    void loadModels();
    void slotLanguageChanged(QAction *action);

    void updateModelInfo(int id);
    void updateModelList();
    void onUpdateSlice(QList<QPixmap> slices);
    void onUpdateSliceFilename(QList<QString> fileNames);
    void receivePreviewPics(QList<QPixmap> previews);
    void onDrainHoleCreated();
    void onUpdateGlobalZ(float z);
    void onSupportModeOff();
    void onPreviewSliderChange(float value);
    void canvasContextMenu(const QPoint &pos);
    void treeContextMenu(const QPoint &pos);
    void printerContextMenu(const QPoint &pos);
    void flexSliceContextMenu(const QPoint &pos);
    void cmbPrinter_currentIndexChanged(int index);
    void checkUpdateAtStarting();
    void updateFlexSliceResinProfiles();

private slots:
    void on_load_triggered();
    void on_actionNewScene_triggered();

signals:
    void signalChangeProjection(bool isOrtho);
    void modelSelected(QList<int> selIds, int selId);
    void scaleChanged(double nsx, double nsy, double nsz);
    void duplicateObj(int id);
    void signalClearAll();
    void signalDeleteBases();
    void signalDeleteAllSupports();
    void sendSupportParameters(float sp, float r0, float r1, float r2, float r3, float h0, float h2,
                               float theta, float theta2, bool thinTip);
    void signalChangeOpacity(float opacity);
    void signalUpdateBBox();
    void signalMoveToBottom();
    void signalAutoSupport();
    void signalModelFlip();
    void signalStartSlicing(float sliceThickness, QString fileName);
    void signalMoveSupports(QVector3D dist);
    void signalProjectorSizeChanged(int index);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onLoaderFinished();
    void reportUnreadableModel(const QString &path);

    QActionGroup *m_languageGroup = nullptr;
    bool m_settingsUnreadable = false;
    int m_runningLoaders = 0;
};

#pragma once

#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <QVector3D>
#include <memory>

#include "app/SettingsInputs.h"
#include "config/EnvironmentSettings.h"
#include "package/LpkExport.h"
#include "slicing/LayerAnalysis.h"
#include "slicing/LayerSchedule.h"

namespace Ui {
class Window;
}
class Canvas;
class Loader;
class LpkPackage;
class QActionGroup;
class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class FvUpdateWindows;
class ResinProfileManager;
class UnitFlexSlice;
class UnitPrinter;
struct CalibrationSettings;

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
    // Reads `settingFilePath` into `settings` and applies it (applySettings), then loads the
    // build-plate model the file names.
    void readSettingsFile();
    // Puts `settings` into the window (size, maximised, language, last folder), the inputs of
    // the side panels and tool bar (SettingsInputs) and the 3D view (view behaviour, build
    // height, projector and printable area), and notes what everything then shows.
    void applySettings();
    // Copies what the user changed since applySettings() back into `settings`; values nobody
    // changed stay as they were read, so an untouched file is written back unchanged.
    void collectSettings();
    // collectSettings(), then writes `settings` whole to `settingFilePath` (or the default
    // "settings.ini" when none is in use). False, with the reason in `error`, when the file
    // could not be written or when the file in use could not be read at start-up (it is then
    // left alone rather than replaced). Reports nothing itself.
    bool writeSettingsFile(QString *error = nullptr);
    // Shrinks the window into the screen's free area and moves it there when it lies outside.
    void fitIntoScreen();
    // The projector inputs (resolution and pixel size) into the view and the scene's printable area.
    void applyProjectorInputs();
    // Blocks or unblocks the signals of the property panel's inputs.
    void modelInfoBlockSignals(bool block);

    // Scene commands of the menus and keys.
    void hideSelection(bool visible);     // selected models and their children (not hollowed copies)
    void unhideAll();
    void showThisOnly();                  // the current model and its children only
    void resetMoveXY();                   // selected objects back to x = y = 0, children along
    void selectAllObjects();              // everything after the build plate; object 1 current
    void setRotationCenter();             // the view turns about the current model (or all)

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
    QString languageFolder;               // translations and flags (see languageFolderFor)
    QTranslator translator;
    QString sceneFilePath;
    bool sceneChanged = false;
    EnvironmentSettings settings;         // built-in defaults until a setting file is read
    SettingsInputs settingInputs;         // which input shows which setting
    QStandardItemModel *modelTreeModel = nullptr;   // the object tree's contents
    int sliceCount = 0;                   // layers of the slicing range at the current thickness
    float rotZAtPress = 0.0f;             // z rotation of the current object when sliderRotZ was pressed
    std::unique_ptr<ResinProfileManager> profileStore;

public slots:
    void appendLog(const QString &text);
    void showTimedMessage(const QString &text, int milliseconds);
    // Reads a model file in a Loader thread. False when a load is running (nothing is started).
    virtual bool openModelFile(const QString &path);
    // Adds a scene file's models, bases and supports to the scene; an empty path asks for the
    // file (WindowSceneFile.cpp).
    virtual void loadSceneFile(const QString &path);
    // Saves the scene; `ask` always asks for the name, otherwise only when the scene has no
    // file yet or it is gone.
    void saveSceneFile(bool ask);
    // Asks for a name and writes the whole scene as one binary STL file.
    void saveStl();
    void loadModels();
    void slotLanguageChanged(QAction *action);

    void updateModelInfo(int id);
    // Shows the view page and rebuilds the object tree.
    void updateModelList();
    // Rebuilds the object tree from the object list, keeping the rows the user opened.
    void rebuildModelTree();
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
    // The printer list (WindowPrinters.cpp).
    void addPrinter(QString name, QString ip);
    void deletePrinter();
    void renamePrinter();
    void flexSliceContextMenu(const QPoint &pos);
    void cmbPrinter_currentIndexChanged(int index);
    void checkUpdateAtStarting();
    void updateFlexSliceResinProfiles();

    // --- configuration commands (WindowConfigCommands.cpp) -------------------------------
public:
    // The administrator dialog (Alt+A), opened window-modal.
    void openAdminSetting();
    // Writes the calibration package at `path` with a progress window; errors are shown.
    bool writeExposureCalibration(const CalibrationSettings &calibration, const QString &path);
    // Hands the setting file's feed address to the update check; without one the menu
    // command is disabled and the start-up check only logs (once) that there is none.
    void applyUpdateFeed();
    void showUpdateActionState();

private slots:
    void on_actionExposure_Calibration_triggered();
    void on_actionPrinter_Setting_triggered();
    void on_actionCheck_for_Updates_triggered();

private:
    void setupConfigCommands();
    void setupSceneFileCommands();
    // Reads a model file in its loader thread and waits, the interface alive, until its
    // objects are in the scene. False with *error when none came.
    bool loadModelAndWait(const QString &path, QString *error);
    std::unique_ptr<FvUpdateWindows> m_updateWindows;
    bool m_noFeedLogged = false;

public slots:
    // Bases, support linkers and drain holes (WindowBases.cpp).
    void on_actionCreate_a_base_triggered();
    void on_actionAdd_global_base_triggered();
    void createGlobalBase();
    void on_actionCreate_ring_support_triggered();
    void on_actiongridBase_triggered();
    void on_actionAdd_support_linkers_triggered();
    void on_actionDrainHole_triggered();

    // Supports (WindowSupports.cpp).
    void on_actionCreate_Grid_Supports_triggered();
    // Sends the support inputs and the pitch to the view.
    void sendSupportInputs();
    // Mirrors the view's support mode in the manual-support action.
    void setSupportManualButton();

private slots:
    void on_actionSave_scene_file_triggered();
    void on_actionLoad_scene_file_triggered();
    void on_actionExport_STL_triggered();
    void on_load_triggered();
    void on_actionNewScene_triggered();
    void on_actionSaveSetting_triggered();
    void on_actionDuplicate_models_triggered();
    void on_actionDelete_Models_triggered();
    void on_actionFlip_Models_triggered();
    void on_actionMove_to_Bottom_triggered();
    void on_actionClear_models_triggered();
    void on_actionArrange_triggered();
    void on_actionUndo_triggered();
    void on_actionGroup_triggered();
    void on_actionUngroup_triggered();
    void on_inpMaxZ_valueChanged(double zmax);
    void on_inpSliceThickness_valueChanged(double thicknessUm);

    // Property panel.
    void on_inpMoveX_valueChanged(double value);
    void on_inpMoveY_valueChanged(double value);
    void on_inpMoveZ_valueChanged(double value);
    void on_inpRotX_valueChanged(double value);
    void on_inpRotY_valueChanged(double value);
    void on_inpRotZ_valueChanged(double value);
    void on_sliderRotX_valueChanged(int value);
    void on_sliderRotY_valueChanged(int value);
    void on_sliderRotZ_valueChanged(int value);
    void on_sliderRotZ_sliderPressed();
    void on_sliderRotZ_sliderReleased();
    void on_inpScaleX_valueChanged(double value);
    void on_inpScaleY_valueChanged(double value);
    void on_inpScaleZ_valueChanged(double value);
    void on_cbIsShow_toggled(bool checked);
    void on_sliderOpacity_valueChanged(int value);

    // Alignment of the selected models.
    void on_pbAlignTop_clicked();
    void on_pbAlignMiddle_clicked();
    void on_pbAlignBottom_clicked();
    void on_pbAlignLeft_clicked();
    void on_pbAlignCenter_clicked();
    void on_pbAlignRight_clicked();
    void on_pbAlignEqualWidth_clicked();
    void on_pbAlignEqualHeight_clicked();

    // Object tree.
    void onModelTreeClicked(const QModelIndex &index);

    // --- slicing and package export (WindowSlicing.cpp) ---------------------------------
public:
    // The last run's (or package's) layers: paths when slices go to disk, else pictures.
    QList<QPixmap> sliceImages;
    QList<QString> sliceFileNames;
    std::vector<float> sliceHeights;      // mm, one per layer image
    QList<int> layerCodes;
    QList<double> sliceExposures;         // s, per image of the last package
    QList<double> sliceLifts;
    bool variableSteps = false;           // the last run's heights are not evenly spaced
    QPixmap currentSlice;                 // the picture shown in the slice tab, full size
    double sliceViewScale = 0.5;
    QString packagePath;                  // the current package: the last one written or loaded
    std::unique_ptr<LpkPackage> package;  // reads packagePath's layers; opened on first use
    int previewState = 0;                 // slice preview of the 3D view: 0 off, 1 below, 2 above
    QList<QPixmap> previewPics;           // the view's last package previews
    VariableStepTable variableStepTable = VariableStepTable::defaults();
    LpkExportSettings packageSettings;    // what the last accepted package dialog chose

    // The variable-step table as the inputs of gbxVariSlice give it.
    VariableStepTable variableStepTableFromInputs() const;
    // Top of the slicing range: the inpMaxZ box, or the scene's exact top while the box
    // shows it (the box rounds to 0.01 mm).
    float sliceTopMm() const;
    // The rows of the flex-slice list, in order.
    QList<UnitFlexSlice *> flexSliceRows() const;
    QList<FlexSliceEntry> flexSliceEntries() const;
    // The panels of the printer list, in order, and what the settings file keeps of them.
    QList<UnitPrinter *> printerPanels() const;
    QList<PrinterEntry> printerEntries() const;
    bool isExporting() const { return m_exporting; }

public slots:
    void addFlexSlice(QString title = QString(), double rangeFrom = 0.0, double rangeTo = 0.0,
                      int sliceThickness = 50, int exposureRatio = 100, bool isFlexSliceOn = false);
    void deleteFlexSlice();
    void renameFlexSlice();
    void updateFlexSliceRange(double from, double to);
    void updateFlexSliceEnable(bool on);
    void updateFlexSliceMaxZ(double maxz);
    // Shows layer image p of the last run or package in the slice tab.
    void updateSliceView(int position);
    // Loads a print package (what "Load LPK" does with the chosen file): its schedule, its
    // layers in the slice tab. False, with a message box, when the package cannot be used;
    // the slices shown before are then kept.
    bool importPackage(const QString &path);
    // Stores a copy of slice `source` under the name of slice `target` in the current package
    // (0-based). False, with a message box, when that fails.
    bool replaceSlice(int target, int source);
    void savePreviewPics(QString foldername);
    // Single-slice operations (greyscale results).
    QPixmap horiSmoothing(QPixmap slice, int sf);
    QPixmap sliceDimming(QPixmap slice, float width, int ratio);
    QPixmap removeBarrel(QPixmap slice, double *var);

private slots:
    // The slice tab (WindowSliceView.cpp).
    void on_actionLoad_LBF_file_triggered();
    void on_pbReplaceSlice_clicked();
    void on_sliderSliceView_valueChanged(int position);
    void on_inpSliceNumber_valueChanged(int position);
    void on_pbSViewStart_clicked();
    void on_pbSViewEnd_clicked();
    void on_pbSViewPrevious_clicked();
    void on_pbSViewForward_clicked();
    void on_pbSlicePreview_clicked();
    void on_sliderSlicePreview_valueChanged(int valueUm);

    void on_actionMake_Slices_triggered();
    void on_actionSave_as_LBF_file_triggered();
    void on_actionHollow_triggered();   // the current model's hollowed-model mesh
    void onSlicingEnded(int result, QString error);
    void on_actionIsometric_triggered();
    void on_actionFront_triggered();
    void on_actionLeft_triggered();
    void on_actionRear_triggered();
    void on_actionRight_triggered();
    void on_actionTop_triggered();
    void on_actionBottom_triggered();
    void on_actionReset_view_triggered();
    void on_pbCanvasViewIso_clicked();
    void on_pbCanvasViewTop_clicked();
    void on_pbCanvasViewBot_clicked();
    void on_pbCanvasViewLeft_clicked();
    void on_pbCanvasViewRight_clicked();
    void on_pbCanvasViewFront_clicked();
    void on_pbCanvasViewRear_clicked();
    void on_pbCanvasViewReset_clicked();
    void on_pbCanvasViewRecenter_clicked();

private:
    void setupSlicing();
    int shownSliceCount() const;
    // The picture of currentSlice at the view scale.
    void showSlicePicture();
    // Replace needs a package; the button says so while there is none.
    void updateSliceCommands();
    void setPreviewState(int state);
    void applyFlexSliceSettings();
    void collectFlexSliceSettings();
    void clearSlices();
    // The common tail of a run's hand-over: heights, codes, slice tab, layer 0.
    void takeSliceRun();
    void reportExportError(const QString &message);
    // False (and the user told why) when the export cannot hollow as asked.
    bool checkPackageHollowing(const LpkExportSettings &s);
    void applyPrinterSettings();
    void collectPrinterSettings();
    bool m_exporting = false;
    HollowingRequest m_hollowing;   // what the package dialog offers next
    class imageHelper *m_imageHelper = nullptr;   // hollows the view's coarse stacks
    void setUpHollowing();
    QPoint m_printerMenuPos{-1, -1};
    QList<PrinterEntry> m_appliedPrinters;
    QPoint m_flexMenuPos{-1, -1};
    QList<FlexSliceEntry> m_appliedFlexSlices;

    // --- what the last run found: islands, resin and time (WindowIslands.cpp) ------------
public:
    std::vector<IslandReport> sliceIslands;   // of the last run, by layer
    double sliceResinMl = -1.0;               // < 0: not known
    void showNextIsland();                    // the "Next island" button
private:
    void setupIslandControls();
    void takeRunAnalysis();                   // log, status bar, viewer marks and 3D markers
    // The print time of the schedule shown (sliceExposures, sliceLifts); empty without one.
    QString printTimeText() const;
    void reportPackagePrintTime();            // a loaded package: its print time in log and status bar
    void clearRunAnalysis();
    QImage withIslandMarks(const QImage &picture, int imageIndex) const;
    std::vector<int> m_islandImages;          // picture index of each island's layer, ascending
    bool m_islandMarksMirrorH = false;        // the run's stored pictures are mirrored
    bool m_islandMarksMirrorV = false;
    QPushButton *m_nextIslandButton = nullptr;

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
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void onLoaderFinished();
    void reportUnreadableModel(const QString &path);
    void rememberAppliedState();
    void keepSliceViewFromGrowingWindow();
    // Move input of one axis (0 x, 1 y): shifts every selected object by the change.
    void moveSelectionXY(int axis, double value);
    // Rotation of the current object about one axis, then the box and build-area check.
    void rotateCurrent(int axis, float degrees, bool measure);
    // The size fields for an object: its measured box.
    void showModelSize(int id);
    // Scale input of one axis; with the uniform lock the other two follow.
    void scaleInputChanged(int axis, double value);
    void alignSelection(int mode);
    // Background of the tree rows after a selection change, without rebuilding the tree.
    void markTreeSelection();
    // Object ids a tree row stands for (a model, a child object, or all rows of a group).
    QList<int> treeRowObjects(const QModelIndex &index) const;
    void updateGroupActions();
    bool treeKeyPress(QKeyEvent *event);
    bool canvasMenuFilter(QEvent *event);
    void showCanvasMenu(const QPoint &pos);

    // What applySettings() left the window with; collectSettings() writes back what differs.
    struct AppliedState
    {
        QSize normalSize;
        bool maximized = false;
        QString language;
        QString folder;
    };
    AppliedState m_applied;
    bool m_menuPending = false;           // a right press asked for the view's menu; wait for the release
    QPoint m_menuPressPos;

    // Bases, linkers and drain holes (WindowBases.cpp): their inputs on the support tab.
    void setupBasePanel();
    bool hasModel() const;
    // The drain-hole panel's button (made with the panel, so connected there).
    void on_pbAddDrainHole_clicked();

    // Supports (WindowSupports.cpp).
    void setupSupportPanel();
    void applySupportSettings();
    void applySupportSize(int size);
    void enterSupportMode(int mode);
    void leaveSupportMode();
    // E, W, F and U in support mode; true when the key was used.
    bool supportKey(int key);
    float supportPitchMm = 3.0f;          // the grid pitch of automatic supports
    QAction *actionManual_Supports = nullptr;
    QAction *actionDelete_All_Supports = nullptr;

    QActionGroup *m_languageGroup = nullptr;
    bool m_settingsUnreadable = false;
    int m_runningLoaders = 0;
};

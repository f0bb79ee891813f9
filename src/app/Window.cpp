#include "app/Window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QSurfaceFormat>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTime>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include "app/Language.h"
#include "app/LogFile.h"
#include "app/SettingSelect.h"
#include "app/UnbuiltCommands.h"
#include "config/AppInfo.h"
#include "config/DataFolder.h"
#include "config/LanguageFolder.h"
#include "config/ResinProfile.h"
#include "config/SettingsFile.h"
#include "package/PackageImport.h"
#include "scene/Loader.h"
#include "scene/Scene.h"
#include "ui_Window.h"
#include "update/FvUpdater.h"
#include "update/ui/FvUpdateWindows.h"
#include "view/ui/Canvas.h"

namespace {
const char *const kBuildPlateResource = ":/BuildPlate_SAv1.STL";
}

Window::Window(QWidget *parent) : QMainWindow(parent)
{
    // 1.
    // One entry per machine model, so a package for any of them can be made and named.
    printerNames = packageMachineNames();
    settingFilePath.clear();
    settings = defaultEnvironmentSettings();

    // 2.
    qDebug() << AppInfo::name << " is initializing...";

    // 3.
    ui = new Ui::Window;
    ui->setupUi(this);

    // 4.
    QFile styleFile(QStringLiteral(":/gl/style.qss"));
    if (styleFile.open(QIODevice::ReadOnly | QIODevice::Text))
        setStyleSheet(QString::fromUtf8(styleFile.readAll()));

    // 5.
    QSurfaceFormat format;
    format.setVersion(2, 1);
    format.setSamples(0);

    // 6.
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    ui->statusBar->addPermanentWidget(statusLabel);

    // 7.
    canvas = new Canvas(format, ui->tab, 1.5f);
    canvas->setObjectName(QStringLiteral("canvas"));
    auto *canvasLayout = new QHBoxLayout(ui->canvasWidget);
    canvasLayout->setContentsMargins(0, 0, 0, 0);
    canvasLayout->addWidget(canvas);
    canvas->setMouseTracking(true);

    // 8.
    canvas->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->modelTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->lwPrinters->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->lwFlexSlices->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(canvas, &QWidget::customContextMenuRequested, this, &Window::canvasContextMenu);
    connect(ui->modelTreeView, &QWidget::customContextMenuRequested, this, &Window::treeContextMenu);
    connect(ui->lwPrinters, &QWidget::customContextMenuRequested, this, &Window::printerContextMenu);
    connect(ui->lwFlexSlices, &QWidget::customContextMenuRequested, this, &Window::flexSliceContextMenu);

    // 9.
    setCentralWidget(ui->splitter_2);
    ui->rbSupport1Pt->setChecked(true);
    ui->labelSliceView->setStyleSheet(QStringLiteral("background-color : #111122"));
    ui->tabWidget->setCurrentIndex(0);
    ui->tabMenu->setCurrentIndex(0);
    ui->tabWidget->tabBar()->setStyleSheet(QStringLiteral("alignment : right"));
    ui->splitter->setStretchFactor(0, 5);
    ui->splitter->setStretchFactor(1, 1);
    ui->splitter_2->setStretchFactor(0, 1);
    ui->splitter_2->setStretchFactor(1, 0);

    // 10.
    ui->gbxDrainHole->hide();
    ui->progbarModelImport->hide();
    ui->gbxVariSlice->hide();
    ui->gbxAlignTool->hide();
    ui->inpSliceQuality->hide();
    ui->lblSliceQuality->hide();
    ui->pbDeleteThisSlice->hide();
    ui->lblSupportDiagram->hide();
    ui->actionGroup->setVisible(false);
    ui->actionUngroup->setVisible(false);
    setupSupportPanel();
    setupBasePanel();

    // 11.
    ui->modelTreeView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->modelTreeView->installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
    modelTreeModel = new QStandardItemModel(this);
    ui->modelTreeView->setModel(modelTreeModel);
    ui->modelTreeView->setHeaderHidden(true);
    connect(ui->modelTreeView, &QTreeView::clicked, this, &Window::onModelTreeClicked);
    canvas->installEventFilter(this);
    ui->actionGroup->setEnabled(false);
    ui->actionUngroup->setEnabled(false);

    // Scale factors are taken when typed in full (one edit, one undo step) and may be typed
    // out of range: the scene limits them and says so, rather than the box refusing the keys.
    for (QDoubleSpinBox *scale : {ui->inpScaleX, ui->inpScaleY, ui->inpScaleZ}) {
        scale->setKeyboardTracking(false);
        scale->setRange(0.0, 100000.0);
    }

    // 12.
    appendLog(tr("Initialization completed"));

    // 13.
    resize(1200, 900);
    fitIntoScreen();
    keepSliceViewFromGrowingWindow();
    setAcceptDrops(true);

    // 14.
    connect(this, &Window::signalChangeProjection, canvas, &Canvas::onChangeProjection);
    connect(this, &Window::modelSelected, canvas, &Canvas::changeSelObj);
    connect(canvas, &Canvas::objSelectionChanged, this, &Window::updateModelInfo, Qt::UniqueConnection);
    connect(canvas, &Canvas::modelListChanged, this, &Window::updateModelList);
    connect(this, &Window::scaleChanged, canvas, &Canvas::changeObjScale);
    connect(this, &Window::duplicateObj, canvas, &Canvas::on_duplicateObj);
    connect(this, &Window::signalClearAll, canvas, &Canvas::clear_model);
    connect(this, &Window::signalDeleteBases, canvas, &Canvas::deleteBases);
    connect(this, &Window::signalDeleteAllSupports, canvas, &Canvas::deleteAllSupports);
    connect(this, &Window::sendSupportParameters, canvas, &Canvas::setSupportParameters);
    connect(this, &Window::signalChangeOpacity, canvas, &Canvas::onChangeOpacity);
    connect(canvas, &Canvas::signalUpdateSlice, this, &Window::onUpdateSlice);
    connect(canvas, &Canvas::signalUpdateSliceFilename, this, &Window::onUpdateSliceFilename);
    connect(canvas, &Canvas::signalUpdatePreview, this, &Window::receivePreviewPics);
    connect(canvas, &Canvas::signalDrainHoleCreated, this, &Window::onDrainHoleCreated);
    connect(this, &Window::signalUpdateBBox, canvas, &Canvas::onUpdateBBox);
    connect(canvas, &Canvas::signalUpdateGlobalZ, this, &Window::onUpdateGlobalZ);
    connect(this, &Window::signalMoveToBottom, canvas, &Canvas::onMoveToBottom);
    connect(this, &Window::signalAutoSupport, canvas, &Canvas::onAutoSupport);
    connect(canvas, &Canvas::signalSupportModeOff, this, &Window::onSupportModeOff);
    connect(this, &Window::signalModelFlip, canvas, &Canvas::onModelFlip);
    connect(this, &Window::signalStartSlicing, canvas, &Canvas::onStartSlicing);
    connect(canvas, &Canvas::signalPreviewSliderChange, this, &Window::onPreviewSliderChange);
    connect(this, &Window::signalMoveSupports, canvas, &Canvas::onMoveSupports);
    connect(this, &Window::signalProjectorSizeChanged, canvas, &Canvas::onProjectorSizeChanged);
    setupSlicing();
    setupConfigCommands();
    setupSceneFileCommands();
    // Scene notices open a box that waits; queued, so no scene operation is interrupted by it.
    connect(canvas, &Canvas::signalTimedMessage, this, &Window::showTimedMessage, Qt::QueuedConnection);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    // The projector inputs set the slice size and the printable area at once.
    connect(ui->inpDispOverrideX, QOverload<int>::of(&QSpinBox::valueChanged), this, &Window::applyProjectorInputs);
    connect(ui->inpDispOverrideY, QOverload<int>::of(&QSpinBox::valueChanged), this, &Window::applyProjectorInputs);
    connect(ui->inpProjPixelX, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &Window::applyProjectorInputs);
    connect(ui->inpProjPixelY, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &Window::applyProjectorInputs);

    // 16.
    qDebug() << AppInfo::name << "version: " << AppInfo::version;

    // 17.
    delayWithEvents(startupWaitMs());

    // 18.
    cmbPrinter = new QComboBox(this);
    cmbPrinter->setObjectName(QStringLiteral("cmbPrinter"));
    QFont comboFont(QStringLiteral("Arial"));
    // The application font is set in pixels; its point size is what it resolves to.
    comboFont.setPointSize(QFontInfo(QApplication::font()).pointSize() + 1);
    cmbPrinter->setFont(comboFont);
    cmbPrinter->setFrame(false);
    ui->toolBar->addWidget(cmbPrinter);
    cmbPrinter->addItems(printerNames);
    connect(cmbPrinter, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Window::cmbPrinter_currentIndexChanged);

    // 19.
    chooseSettingFile();

    // 20.
    qDebug() << "Reading printing recipes from the file" << settingFilePath;

    // 21.
    ui->tabMenu->removeTab(3);
    ui->cbWaterLine->hide();
    ui->sliderOpacity->hide();
    ui->actionDrawOnSlice->setVisible(false);
    ui->actionRaft->setVisible(false);
    ui->actionMake_Slices->setVisible(false);
    ui->actionSave_recipe_file->setVisible(false);
    ui->actionSave_slices_into_CWS_format->setVisible(false);
    ui->cbDispOverride->setChecked(true);
    // Commands not built yet stay visible, disabled, and say what they will do.
    for (QMenu *menu : ui->menuBar->findChildren<QMenu *>())
        menu->setToolTipsVisible(true);
    disableUnbuiltCommands(this);

    // 22.
    languageFolder = languageFolderFor(QCoreApplication::applicationDirPath());
    createLanguageMenu();
    if (currentLanguage != QLatin1String("en")) {
        const QString wanted = currentLanguage;
        currentLanguage = QStringLiteral("en");
        loadLanguage(wanted);
    }

    // Forced choices above (the display override) are no edits of the user's.
    rememberAppliedState();

    // 23.
    setWindowTitle(baseTitle());

    // 24.
    pruneLogFiles(dataFolder(), 5);

    // 25.
    qDebug() << AppInfo::name << "initialization completed";

    // 26.
    QTimer::singleShot(3000, this, &Window::checkUpdateAtStarting);
    QString profileError;
    if (!installDefaultResinProfiles(&profileError))
        qWarning().noquote() << "Default resin profiles not installed:" << profileError;
    profileStore = std::make_unique<ResinProfileManager>();
    if (!profileStore->loadProfiles(&profileError)) {
        qWarning().noquote() << "Resin profiles not read:" << profileError;
        appendLog(tr("The resin profiles could not be read: %1").arg(profileError));
    }
    QTimer::singleShot(1000, this, &Window::updateFlexSliceResinProfiles);
}

Window::~Window()
{
    // A loader thread still reading must finish before its QThread object is destroyed.
    for (Loader *running : findChildren<Loader *>())
        running->wait();
    // The tree outlives the form object; its events must not reach the filter any more.
    ui->modelTreeView->removeEventFilter(this);
    canvas->removeEventFilter(this);
    FvUpdater::sharedUpdater()->setPresenter(nullptr);
    m_updateWindows.reset();
    delete ui;
    ui = nullptr;
}

QString Window::baseTitle()
{
    return QString::fromLatin1(AppInfo::name) + QLatin1Char(' ') + QString::fromLatin1(AppInfo::version);
}

void Window::delayWithEvents(int milliseconds)
{
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // A local event loop sleeps between events instead of spinning a core while it waits.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int Window::startupWaitMs()
{
    bool ok = false;
    const int overridden = qEnvironmentVariableIntValue("ORVELL3D_STARTUP_WAIT_MS", &ok);
    return ok && overridden >= 0 ? overridden : 3000;
}

void Window::chooseSettingFile()
{
    const QString folder = dataFolder();
    const QStringList candidates =
        QDir(folder).entryList(QStringList{QStringLiteral("setting*.ini")}, QDir::Files, QDir::Name);

    if (candidates.isEmpty()) {
        QMessageBox::critical(this, tr("Error"), tr("<b>Error:</b><br>No setting file found<br>"));
        applySettings();
        openModelFile(QString::fromLatin1(kBuildPlateResource));
        return;
    }
    if (candidates.size() == 1) {
        settingFilePath = folder + QLatin1Char('/') + candidates.first();
        readSettingsFile();
        return;
    }
    settingSelect chooser(candidates, this);
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFile().isEmpty()) {
        settingFilePath = folder + QLatin1Char('/') + chooser.selectedFile();
        readSettingsFile();
    } else {
        settingFilePath.clear();
        applySettings();
        openModelFile(QString::fromLatin1(kBuildPlateResource));
    }
}

void Window::readSettingsFile()
{
    if (settingFilePath.isEmpty())
        return;
    QString error;
    if (!::readSettingsFile(settingFilePath, settings, &error)) {
        m_settingsUnreadable = true;
        qWarning().noquote() << "Setting file not read:" << error;
        appendLog(tr("The setting file %1 could not be read: %2").arg(settingFilePath, error));
        openModelFile(QString::fromLatin1(kBuildPlateResource));
        return;
    }
    m_settingsUnreadable = false;
    applySettings();
    openModelFile(buildPlateModelPath(settings.models));
}

void Window::applySettings()
{
    const MiscSettings &misc = settings.misc;
    resize(misc.windowWidth, misc.windowHeight);
    fitIntoScreen();
    if (misc.windowFullScreen)
        setWindowState(windowState() | Qt::WindowMaximized);
    lastFolder = misc.lastFileLocation;
    currentLanguage = misc.language.isEmpty() ? QStringLiteral("en") : misc.language;

    // The projector inputs report every change to the view; one update after all is enough.
    const QSignalBlocker blockX(ui->inpDispOverrideX), blockY(ui->inpDispOverrideY);
    const QSignalBlocker blockPx(ui->inpProjPixelX), blockPy(ui->inpProjPixelY);
    settingInputs.apply(settings, this);
    canvas->applySettings(settings);
    applySupportSettings();
    applyProjectorInputs();
    on_inpMaxZ_valueChanged(ui->inpMaxZ->value());
    applyFlexSliceSettings();
    applyPrinterSettings();
    applyUpdateFeed();
    rememberAppliedState();
}

void Window::rememberAppliedState()
{
    settingInputs.remember(this);
    m_applied.maximized = isMaximized();
    m_applied.normalSize = isMaximized() ? normalGeometry().size() : size();
    m_applied.language = currentLanguage;
    m_applied.folder = lastFolder;
}

void Window::collectSettings()
{
    settingInputs.collect(settings, this);
    collectFlexSliceSettings();
    collectPrinterSettings();

    MiscSettings &misc = settings.misc;
    const bool maximized = isMaximized();
    if (maximized != m_applied.maximized)
        misc.windowFullScreen = maximized;
    // A maximised window keeps the size it returns to; before it was ever shown normally
    // that size is unknown and the stored one stays.
    const QSize normal = maximized ? normalGeometry().size() : size();
    if (normal.isValid() && normal != m_applied.normalSize) {
        misc.windowWidth = normal.width();
        misc.windowHeight = normal.height();
        m_applied.normalSize = normal;
    }
    m_applied.maximized = maximized;
    if (currentLanguage != m_applied.language) {
        misc.language = currentLanguage;
        m_applied.language = currentLanguage;
    }
    if (lastFolder != m_applied.folder) {
        misc.lastFileLocation = lastFolder;
        m_applied.folder = lastFolder;
    }
}

bool Window::writeSettingsFile(QString *error)
{
    const QString path = settingFilePath.isEmpty() ? defaultSettingsFilePath() : settingFilePath;
    QString why;
    if (m_settingsUnreadable) {
        why = tr("The setting file %1 could not be read at start-up; it is left as it is.").arg(path);
    } else {
        collectSettings();
        if (::writeSettingsFile(path, settings, &why))
            return true;   // the writer logs where it saved
    }
    qWarning().noquote() << "Environment setting not saved:" << why;
    if (error)
        *error = why;
    return false;
}

void Window::applyProjectorInputs()
{
    const int widthPx = ui->inpDispOverrideX->value();
    canvas->setProjector(widthPx, ui->inpDispOverrideY->value(), float(ui->inpProjPixelX->value()),
                         float(ui->inpProjPixelY->value()));
    emit signalProjectorSizeChanged(widthPx);
}

void Window::on_actionSaveSetting_triggered()
{
    QString error;
    if (writeSettingsFile(&error)) {
        appendLog(tr("Saved settings and recipes."));
        return;
    }
    appendLog(tr("The settings could not be saved: %1").arg(error));
    QMessageBox::warning(this, tr("Error"), tr("The settings could not be saved:\n%1").arg(error));
}

void Window::appendLog(const QString &text)
{
    const QString line = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("h:m:s AP")) +
                         QStringLiteral("]   ") + text;
    // Inserted as plain text: file names and messages are never read as markup.
    QTextDocument *doc = ui->logWindow->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    if (!doc->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
    QScrollBar *bar = ui->logWindow->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void Window::showTimedMessage(const QString &text, int milliseconds)
{
    const QString pad(10, QLatin1Char(' '));
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Orvell3D"), pad + text + pad,
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("timedMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // A notice is never the window whose closing ends the program (at start-up it may be the
    // only one shown).
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setWindowFlags(box->windowFlags() | Qt::WindowStaysOnTopHint);
    box->setModal(false);
    box->show();
    // A box without buttons gets an OK button of its own; this one closes by itself.
    if (auto *buttons = box->findChild<QDialogButtonBox *>())
        buttons->hide();
    QPointer<QMessageBox> guard(box);
    delayWithEvents(milliseconds);
    if (guard)
        guard->close();
}

bool Window::openModelFile(const QString &path)
{
    if (!ui->load->isEnabled()) {
        appendLog(tr("A model is still being read; %1 was not opened.").arg(QFileInfo(path).fileName()));
        return false;
    }
    canvas->setStatusText(tr("Reading ") + path);

    auto *reader = new Loader(this, path);
    loader = reader;
    ++m_runningLoaders;

    connect(reader, &QThread::started, this, [this] {
        ui->load->setEnabled(false);
        ui->progbarModelImport->show();
    });
    qRegisterMetaType<QList<Mesh>>("QList<Mesh>");
    qRegisterMetaType<QList<Object::modelColor>>("QList<Object::modelColor>");
    connect(reader, &Loader::got_mesh, canvas, &Canvas::load_mesh);
    // The title names the file once it has been read; a failed load leaves it alone.
    const QString fileName = QFileInfo(path).fileName();
    if (!fileName.startsWith(QLatin1String("BuildPlate")))
        connect(reader, &Loader::got_mesh, this,
                [this, fileName] { setWindowTitle(baseTitle() + QStringLiteral("   ") + fileName); });
    connect(reader, &Loader::sendColorList, canvas, &Canvas::onColorList);
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, &Window::onLoaderFinished);
    connect(canvas, &Canvas::updateLogWindow, this, &Window::appendLog, Qt::UniqueConnection);
    connect(reader, &Loader::signalUpdateProgBar, ui->progbarModelImport, &QProgressBar::setValue);
    connect(reader, &Loader::updateLogWindow, this, &Window::appendLog);
    connect(reader, &Loader::error_bad_stl, this, [this, path] { reportUnreadableModel(path); });

    reader->start(QThread::InheritPriority);
    return true;
}

void Window::onLoaderFinished()
{
    // Several files may be read at once; the import stays locked until the last one is done.
    if (m_runningLoaders > 0)
        --m_runningLoaders;
    if (m_runningLoaders > 0)
        return;
    ui->load->setEnabled(true);
    ui->progbarModelImport->hide();
    canvas->setStatusText(QString());
}

void Window::reportUnreadableModel(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    qWarning().noquote() << "Could not read the model file" << path;
    appendLog(tr("Could not read the model file %1.").arg(name));
    showTimedMessage(tr("Could not read the model file %1.").arg(name), 2500);
}

void Window::loadModels()
{
    on_load_triggered();
}

void Window::on_load_triggered()
{
    if (canvas->supportMode > 0) {
        showTimedMessage(tr("Can't add models in support mode."), 1000);
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, tr("Load .stl or .obj file"), lastFolder,
                                                      tr("STL, OBJ(*.stl *.obj);;O3D (*.o3d);;All Files(*)"));
    lastModelPath = path;
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (!path.isEmpty() && (suffix == QLatin1String("stl") || suffix == QLatin1String("obj"))) {
        lastFolder = info.absolutePath();
        openModelFile(path);
    } else if (!path.isEmpty() && suffix == QLatin1String("o3d")) {
        loadSceneFile(path);
    } else {
        showTimedMessage(tr("Please choose STL or OBJ format files"), 1500);
    }
}

void Window::on_actionNewScene_triggered()
{
    if (canvas->scene()->objectCount() > 1) {
        const auto answer = QMessageBox::question(this, tr("Start a new scene"),
                                                  tr("Unsaved scene changes will be discarded."),
                                                  QMessageBox::Yes | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return;
    }
    setWindowTitle(baseTitle() + QStringLiteral("   "));
    sceneChanged = false;
    ui->pbSlicePreview->setText(QStringLiteral("S0"));
    ui->inpSupportOpacity->setValue(100);
    emit signalClearAll();
    canvas->checkPosConflict();
}

void Window::createLanguageMenu()
{
    if (!m_languageGroup) {
        m_languageGroup = new QActionGroup(ui->menuLanguage);
        m_languageGroup->setExclusive(true);
        connect(m_languageGroup, &QActionGroup::triggered, this, &Window::slotLanguageChanged);
    }
    for (QAction *old : m_languageGroup->actions()) {
        m_languageGroup->removeAction(old);
        ui->menuLanguage->removeAction(old);
        delete old;
    }

    const QStringList files =
        QDir(languageFolder).entryList(QStringList{QStringLiteral("orvell3d_*.qm")}, QDir::Files);
    for (const QString &file : files) {
        const QString code = languageCodeFromFileName(file);
        const QString name = QLocale::languageToString(QLocale(code).language());
        auto *action = new QAction(QIcon(QStringLiteral("%1/%2.png").arg(languageFolder, code)), name, this);
        action->setCheckable(true);
        action->setData(code);
        ui->menuLanguage->addAction(action);
        m_languageGroup->addAction(action);
        if (code == currentLanguage)
            action->setChecked(true);
    }
}

void Window::slotLanguageChanged(QAction *action)
{
    if (action)
        loadLanguage(action->data().toString());
}

void Window::loadLanguage(const QString &code)
{
    if (code == currentLanguage)
        return;
    currentLanguage = code;
    QLocale::setDefault(QLocale(code));
    switchTranslator(translator, QStringLiteral("orvell3d_%1.qm").arg(code));
    if (m_languageGroup) {
        for (QAction *action : m_languageGroup->actions())
            action->setChecked(action->data().toString() == code);
    }
}

void Window::switchTranslator(QTranslator &target, const QString &fileName)
{
    QCoreApplication::removeTranslator(&target);
    if (target.load(languageFolder + QLatin1Char('/') + fileName))
        QCoreApplication::installTranslator(&target);
}

void Window::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && ui) {
        // The generated texts would overwrite the title, which carries the file name.
        const QString title = windowTitle();
        ui->retranslateUi(this);
        disableUnbuiltCommands(this);   // the form's own tool tips came back
        showUpdateActionState();
        setWindowTitle(title);
        if (modelTreeModel)
            rebuildModelTree();   // "Info", "Vertices: …" in the new language
    } else if (event->type() == QEvent::LocaleChange) {
        loadLanguage(languageCodeFromLocaleName(QLocale::system().name()));
    }
    QMainWindow::changeEvent(event);
}

void Window::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (!mime->hasUrls() || mime->urls().isEmpty())
        return;
    const QString path = mime->urls().first().path();
    qDebug().noquote().nospace() << "Dragged file name: " << path;
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".stl")) || lower.endsWith(QLatin1String(".obj")) ||
        lower.endsWith(QLatin1String(".o3d")))
        event->acceptProposedAction();
}

void Window::dropEvent(QDropEvent *event)
{
    if (canvas->supportMode > 0) {
        showTimedMessage(tr("Can't add models in support mode."), 1000);
        return;
    }
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    qDebug().noquote().nospace() << "Dropped file name: " << urls.first().toLocalFile();
    // The first file decides: a scene first means every dropped file is a scene.
    const bool scenes = urls.first().path().toLower().endsWith(QLatin1String(".o3d"));
    for (const QUrl &url : urls) {
        const QString file = url.toLocalFile();
        if (file.isEmpty()) {
            appendLog(tr("Only local files can be opened: %1").arg(url.toString()));
            continue;
        }
        if (scenes)
            loadSceneFile(file);
        else
            openModelFile(file);
        const QFileInfo info(file);
        if (info.exists())
            lastFolder = info.absolutePath();
    }
    event->acceptProposedAction();
}

void Window::closeEvent(QCloseEvent *event)
{
    const auto answer = QMessageBox::question(this, QStringLiteral("Orvell3D"), tr("Are you sure to close Orvell3D?\n"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    qDebug() << AppInfo::name << "is now closing.";
    QString error;
    if (!writeSettingsFile(&error) && !m_settingsUnreadable) {
        appendLog(tr("The settings could not be saved: %1").arg(error));
        // Closing now would lose every setting changed in this session; the user decides.
        const auto closeAnyway = QMessageBox::warning(
            this, tr("Error"), tr("The settings could not be saved:\n%1\n\nClose Orvell3D anyway?").arg(error),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (closeAnyway != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    event->accept();
    QDir temp(dataFolder() + QStringLiteral("/temp/"));
    if (temp.exists())
        temp.removeRecursively();
}


void Window::cmbPrinter_currentIndexChanged(int) {}

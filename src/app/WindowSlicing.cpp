// The window's slicing side: "Make Slices", the package export, the run's hand-over to the
// slice tab, the variable-step table, the flex-slice list, the single-slice operations and the
// view presets.

#include "app/Window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <cmath>

#include "app/HollowingOptionsBox.h"
#include "config/DataFolder.h"
#include "config/ResinProfile.h"
#include "config/ui/LbfSetting.h"
#include "imaging/ImageOps.h"
#include "imaging/QtImage.h"
#include "package/Archiver.h"
#include "package/PackageFiles.h"
#include "package/PackageImport.h"
#include "scene/Scene.h"
#include "slicing/ui/UnitFlexSlice.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

namespace {

// Sets a flag for the lifetime of a scope.
struct FlagGuard
{
    bool &flag;
    explicit FlagGuard(bool &f) : flag(f) { flag = true; }
    ~FlagGuard() { flag = false; }
};

} // namespace

void Window::setupSlicing()
{
    connect(canvas, &Canvas::updateLogWindow, this, &Window::appendLog, Qt::UniqueConnection);
    connect(canvas, &Canvas::signalSlicingEnded, this, &Window::onSlicingEnded);
    setUpHollowing();
    // The slicing range and the flex rows follow the top of the scene.
    connect(ui->inpMaxZ, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this](double zmax) {
        canvas->maxZ = float(zmax);
        updateFlexSliceMaxZ(zmax);
        // The preview slider spans the slicing range (µm) while no preview cut is shown.
        if (previewState == 0)
            ui->sliderSlicePreview->setMaximum(int(zmax * 1000.0));
    });
    connect(ui->cbSliceOnDisk, &QCheckBox::toggled, this, [this](bool on) { canvas->sliceOnDisk = on; });
    canvas->maxZ = float(ui->inpMaxZ->value());
    canvas->sliceOnDisk = ui->cbSliceOnDisk->isChecked();
    updateSliceCommands();
    setupIslandControls();
}

// --- run parameters ---------------------------------------------------------------------------

VariableStepTable Window::variableStepTableFromInputs() const
{
    const std::array<int, 5> angles{ui->inpVsAngle0->value(), ui->inpVsAngle1->value(), ui->inpVsAngle2->value(),
                                    ui->inpVsAngle3->value(), ui->inpVsAngle4->value()};
    const std::array<int, 5> steps{ui->inpVsZStep0->value(), ui->inpVsZStep1->value(), ui->inpVsZStep2->value(),
                                   ui->inpVsZStep3->value(), ui->inpVsZStep4->value()};
    const std::array<float, 5> relExp{float(ui->inpVsRelExp0->value()), float(ui->inpVsRelExp1->value()),
                                      float(ui->inpVsRelExp2->value()), float(ui->inpVsRelExp3->value()),
                                      float(ui->inpVsRelExp4->value())};
    return VariableStepTable::fromInputs(angles, steps, ui->inpVsZStepMax->value(), relExp);
}

float Window::sliceTopMm() const
{
    const double box = ui->inpMaxZ->value();
    const double top = canvas->scene()->topOfScene();
    // While the box follows the scene it shows the top rounded to 0.01 mm; slicing to the
    // rounded value would drop or add a sliver layer at the top.
    if (top > 0.0 && std::abs(box - top) <= 0.005 + 1e-9)
        return float(top);
    return float(box);
}

void Window::clearSlices()
{
    sliceImages.clear();
    sliceFileNames.clear();
    sliceHeights.clear();
    layerCodes.clear();
    sliceExposures.clear();
    sliceLifts.clear();
    currentSlice = QPixmap();
    clearRunAnalysis();
    packagePath.clear();
    package.reset();
    sliceCount = 0;
    updateSliceCommands();
}

// --- Make Slices --------------------------------------------------------------------------------

void Window::on_actionMake_Slices_triggered()
{
    if (canvas->isSlicing() || m_exporting)
        return;
    if (canvas->scene()->objectCount() < 2) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    if (!sliceImages.isEmpty() || !sliceFileNames.isEmpty()) {
        const auto answer =
            QMessageBox::question(this, tr("Slice images exist"),
                                  tr("Slicing will delete current slice images. Do you want to proceed?"),
                                  QMessageBox::Yes | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return;
    }
    clearSlices();
    variableStepTable = variableStepTableFromInputs();
    canvas->variableStepTable = variableStepTable;
    canvas->sliceOnDisk = ui->cbSliceOnDisk->isChecked();
    canvas->maxZ = sliceTopMm();
    ui->tabMenu->setCurrentIndex(0);
    emit signalStartSlicing(float(ui->inpSliceThickness->value()), QString());
}

void Window::onSlicingEnded(int result, QString error)
{
    // The export reports its own failures, with what becomes of the package.
    if (result != int(Slicer::Failed) || m_exporting)
        return;
    QMessageBox::warning(this, tr("Slicing failed"), error);
}

void Window::onUpdateSlice(QList<QPixmap> slices)
{
    sliceImages = slices;
    sliceFileNames.clear();
    sliceCount = slices.size();
    currentSlice = slices.isEmpty() ? QPixmap() : slices.first();
    if (!m_exporting)
        takeSliceRun();
}

void Window::onUpdateSliceFilename(QList<QString> fileNames)
{
    sliceFileNames = fileNames;
    sliceImages.clear();
    sliceCount = fileNames.size();
    // A package run's files go into the package; the export shows them when it is done.
    if (m_exporting)
        return;
    packagePath.clear();
    currentSlice = fileNames.isEmpty() ? QPixmap() : QPixmap(fileNames.first());
    takeSliceRun();
}

void Window::takeSliceRun()
{
    sliceHeights = canvas->sliceHeights;
    layerCodes = canvas->layerCodes;
    variableSteps = isVariableSchedule(sliceHeights);
    qDebug().noquote() << (variableSteps ? "Variable vertical steps." : "Regular vertical steps.");
    takeRunAnalysis();
    updateSliceCommands();
    updateSliceView(0);
    ui->tabWidget->setCurrentIndex(1);
    setPreviewState(0);
}

// --- package export -----------------------------------------------------------------------------

void Window::reportExportError(const QString &message)
{
    qWarning().noquote() << "LPK export failed:" << message;
    appendLog(tr("The package was not written: %1").arg(message));
    QMessageBox::warning(this, tr("Save as LPK"), message);
}

void Window::on_actionSave_as_LBF_file_triggered()
{
    // The dialogs and the progress window are modal; this also keeps a second export out.
    if (m_exporting || canvas->isSlicing())
        return;
    if (canvas->scene()->objectCount() < 2) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    if (canvas->scene()->isOutOfBuild()) {
        const auto answer = QMessageBox::question(
            this, tr("Save as LPK"),
            tr("Some models lie outside the build area; what lies outside will not be printed.\n"
               "Save the package anyway?"),
            QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return;
    }
    FlagGuard exporting(m_exporting);

    const int machine = cmbPrinter ? std::max(0, cmbPrinter->currentIndex()) : 0;
    LbfSetting dialog(this);
    dialog.setMachine(machine);
    dialog.setMirror(settings.print.verticalMirror, settings.print.horizontalMirror);
    dialog.setLastFileLocation(lastFolder);
    dialog.setMaterialAndThickness(settings.slice.lastUsedMaterial, settings.slice.lastUsedSliceThicknessUm);
    const HollowingOptionsBox *hollowBox = HollowingOptionsBox::addTo(&dialog, m_hollowing);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    m_hollowing = hollowBox->request();
    // Material and thickness are taken over either way; the dialog has written the store.
    settings.slice.lastUsedMaterial = dialog.material();
    settings.slice.lastUsedSliceThicknessUm = dialog.thickness();
    updateFlexSliceResinProfiles();
    if (!accepted)
        return;

    LpkExportSettings s;
    s.profile = dialog.chosenProfile();
    s.machineIndex = machine;
    if (cmbPrinter && !cmbPrinter->currentText().isEmpty())
        s.machineName = cmbPrinter->currentText();
    s.verticalMirror = dialog.verticalMirror();
    s.horizontalMirror = dialog.horizontalMirror();
    if (dialog.flexSliceEnabled()) {
        for (const UnitFlexSlice *row : flexSliceRows())
            if (row->isOn())
                s.flexRanges << row->range();
    }
    s.flexEnabled = !s.flexRanges.isEmpty();
    s.geometry = canvas->sliceParameters();
    s.contourPenGray = settings.slice.subPixelSlicingIntensity;
    s.contrastCurve = settings.misc.pixelGrayscaleUpdate;
    s.hollowing = m_hollowing;
    if (!checkPackageHollowing(s))
        return;
    packageSettings = s;
    settings.print.verticalMirror = s.verticalMirror;
    settings.print.horizontalMirror = s.horizontalMirror;
    settings.print.horiAntiAliasing = s.profile.intAA;
    // Plain slicing afterwards works with the chain of this export.
    canvas->postProcess = packagePostProcess(s, canvas->postProcess);
    canvas->splitSupportExposure = s.profile.BurnInExp > 0;
    canvas->flexSliceList = s.flexRanges;

    if (canvas->scene()->objectCount() < 2) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save slices into LPK format"), lastFolder,
                                                        tr("LPK file format (*.lpk);;All Files (*)"));
    if (chosen.isEmpty())
        return;
    const QString package = packagePathFor(chosen, s.profile.SliceThickness);

    clearSlices();
    QElapsedTimer clock;
    clock.start();
    lastFolder = QFileInfo(chosen).absolutePath();
    PackageJob job;
    QString error;
    if (!beginPackage(package, &job, &error)) {
        reportExportError(error);
        return;
    }

    // The same run the command-line package makes, plus this window's slicing range and views.
    SliceRunOptions options;
    options.maxZ = sliceTopMm();
    options.variableSteps = variableStepTableFromInputs();
    options.fullSupportView = canvas->fullSupportView;
    options.workerThreads = -1;
    configurePackageRun(s, job, &options);
    canvas->prepareRun(job.packagePath, options, packageGeometry(s));
    emit signalStartSlicing(float(s.profile.SliceThickness), job.packagePath);
    if (canvas->isSlicing()) {
        QEventLoop wait;
        connect(canvas, &Canvas::signalSlicingEnded, &wait, &QEventLoop::quit);
        wait.exec();
    }
    switch (canvas->lastSliceResult()) {
    case Slicer::Cancelled:
        abandonPackage(job);
        sliceFileNames.clear();
        appendLog(tr("The package %1 was not written: slicing was cancelled.")
                      .arg(QDir::toNativeSeparators(job.packagePath)));
        return;
    case Slicer::Failed:
        // The layers made so far would only fill the disk that may well be the reason.
        abandonPackage(job);
        sliceFileNames.clear();
        reportExportError(canvas->lastSliceError());
        return;
    default:
        break;
    }

    canvas->capturePreviews();
    QList<QImage> previews;
    for (const QPixmap &p : canvas->previewList())
        previews << p.toImage();
    const PackageDescription run = packageDescription(s, canvas->sliceHeights, canvas->layerCodes);
    Archiver archiver;
    // Repaints go on while the archive tool runs; input waits, so nothing changes meanwhile.
    archiver.setWaitCallback([] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    if (!finishPackage(job, run, previews, archiver, &error)) {
        sliceFileNames.clear();
        reportExportError(error);
        return;
    }
    const QString done = QString::asprintf("Saving LPK file completed in %.2f sec.", double(clock.elapsed()) / 1000.0);
    appendLog(done);
    qDebug().noquote() << done;

    // The window now shows the package's layers, which live inside it.
    packagePath = job.packagePath;
    const QString folder = QFileInfo(job.packagePath).absolutePath();
    for (QString &name : sliceFileNames)
        name = folder + QLatin1Char('/') + QFileInfo(name).fileName();
    sliceCount = sliceFileNames.size();
    for (const ScheduledImage &image : exposureSchedule(run)) {
        sliceExposures << image.exposureS;
        sliceLifts << image.lift;
    }
    m_exporting = false;
    takeSliceRun();
}

void Window::receivePreviewPics(QList<QPixmap> previews)
{
    previewPics = previews;
}

void Window::savePreviewPics(QString foldername)
{
    QList<QImage> images;
    for (const QPixmap &p : std::as_const(previewPics))
        images << p.toImage();
    QString error;
    if (!writePreviews(foldername, images, &error)) {
        appendLog(error);
        QMessageBox::warning(this, tr("Unable to open file"), error);
    }
}

// --- flex slices --------------------------------------------------------------------------------

QList<UnitFlexSlice *> Window::flexSliceRows() const
{
    QList<UnitFlexSlice *> rows;
    for (int i = 0; i < ui->lwFlexSlices->count(); ++i)
        if (auto *row = qobject_cast<UnitFlexSlice *>(ui->lwFlexSlices->itemWidget(ui->lwFlexSlices->item(i))))
            rows << row;
    return rows;
}

QList<FlexSliceEntry> Window::flexSliceEntries() const
{
    QList<FlexSliceEntry> entries;
    for (const UnitFlexSlice *row : flexSliceRows())
        entries << FlexSliceEntry{row->title(),       row->from(),          row->to(),
                                  row->thickness(),   row->exposureRatio(), row->isOn()};
    return entries;
}

void Window::addFlexSlice(QString title, double rangeFrom, double rangeTo, int sliceThickness, int exposureRatio,
                          bool isFlexSliceOn)
{
    auto *row = new UnitFlexSlice;
    row->setTitle(title);
    row->setRange(rangeFrom, rangeTo);
    row->setThickness(sliceThickness);
    row->setExposureRatio(exposureRatio);
    row->setOn(isFlexSliceOn);
    const double maxz = ui->inpMaxZ->value();
    // A range above a small scene keeps its end; the box's limit only follows the scene.
    if (maxz > 0.5)
        row->updateMaxZ(std::max(maxz, row->to()));
    auto *item = new QListWidgetItem(ui->lwFlexSlices);
    item->setSizeHint(row->sizeHint());
    ui->lwFlexSlices->setItemWidget(item, row);
    connect(row, &UnitFlexSlice::signalDeleteFlexSlice, this, &Window::deleteFlexSlice);
    connect(row, &UnitFlexSlice::signalUpdateRange, this, &Window::updateFlexSliceRange);
    connect(row, &UnitFlexSlice::signalEnableFlexSlice, this, &Window::updateFlexSliceEnable);
}

void Window::deleteFlexSlice()
{
    // The row whose button asked, or else the one under the mouse cursor.
    int index = -1;
    if (auto *row = qobject_cast<UnitFlexSlice *>(sender())) {
        const QList<UnitFlexSlice *> rows = flexSliceRows();
        index = rows.indexOf(row);
    }
    if (index < 0) {
        const QPoint pos = ui->lwFlexSlices->viewport()->mapFromGlobal(QCursor::pos());
        index = ui->lwFlexSlices->row(ui->lwFlexSlices->itemAt(pos));
    }
    if (index < 0)
        return;
    delete ui->lwFlexSlices->takeItem(index);
}

void Window::renameFlexSlice()
{
    QPoint pos = m_flexMenuPos;
    if (pos.x() < 0)
        pos = ui->lwFlexSlices->viewport()->mapFromGlobal(QCursor::pos());
    QListWidgetItem *item = ui->lwFlexSlices->itemAt(pos);
    auto *row = item ? qobject_cast<UnitFlexSlice *>(ui->lwFlexSlices->itemWidget(item)) : nullptr;
    if (!row)
        return;
    QInputDialog ask(this);
    ask.setStyleSheet(QStringLiteral("*{background: white; }"));
    ask.setWindowTitle(tr("Please enter a new name"));
    ask.setLabelText(tr("New item name: "));
    ask.setTextValue(row->title());
    if (ask.exec() == QDialog::Accepted)
        row->setTitle(ask.textValue());
}

void Window::updateFlexSliceRange(double from, double to)
{
    canvas->updateFlexSliceRange(from, to);
}

void Window::updateFlexSliceEnable(bool on)
{
    canvas->updateFlexSliceEnable(on);
}

void Window::updateFlexSliceMaxZ(double maxz)
{
    if (maxz <= 1.0)
        return;
    for (UnitFlexSlice *row : flexSliceRows())
        row->updateMaxZ(std::max(maxz, row->to()));
}

void Window::flexSliceContextMenu(const QPoint &pos)
{
    if (ui->tabMenu->currentWidget() != ui->tabSlice)
        return;
    m_flexMenuPos = pos;
    QMenu menu(this);
    QAction *add = menu.addAction(QIcon(QStringLiteral(":/icon/add.ico")), tr("Add"));
    QAction *rename = menu.addAction(tr("Rename"));
    rename->setEnabled(ui->lwFlexSlices->itemAt(pos) != nullptr);
    QAction *chosen = menu.exec(ui->lwFlexSlices->viewport()->mapToGlobal(pos));
    if (chosen == add)
        addFlexSlice();
    else if (chosen == rename)
        renameFlexSlice();
    m_flexMenuPos = QPoint(-1, -1);
}

void Window::updateFlexSliceResinProfiles()
{
    // The package dialog may have changed the store; the flex rows and the next export read it.
    if (!profileStore)
        return;
    QString error;
    if (!profileStore->loadProfiles(&error) && QFileInfo::exists(profileStore->path()))
        appendLog(tr("The resin profiles could not be read: %1").arg(error));
}

void Window::applyFlexSliceSettings()
{
    ui->lwFlexSlices->clear();
    for (const FlexSliceEntry &f : std::as_const(settings.slice.flexSlices))
        addFlexSlice(f.title, f.fromMm, f.toMm, f.thicknessUm, f.expRatioPercent, f.enabled);
    m_appliedFlexSlices = flexSliceEntries();
}

void Window::collectFlexSliceSettings()
{
    // Only an edited list replaces the stored one, so values the rows cannot show exactly
    // (more decimals, beyond their range) stay as they were read.
    const QList<FlexSliceEntry> now = flexSliceEntries();
    if (now == m_appliedFlexSlices)
        return;
    settings.slice.flexSlices = now;
    m_appliedFlexSlices = now;
}

// --- single-slice operations --------------------------------------------------------------------

QPixmap Window::horiSmoothing(QPixmap slice, int sf)
{
    return QPixmap::fromImage(imageFromMat(gaussianSmooth(greyMatFromImage(slice.toImage()), sf)));
}

QPixmap Window::sliceDimming(QPixmap slice, float width, int ratio)
{
    const double pixelSizeXUm = ui->inpProjPixelX->value();
    const double px = pixelSizeXUm > 0.0 ? double(width) / pixelSizeXUm * 1000.0 : 0.0;
    const int widthPx = std::isfinite(px) ? int(std::clamp(px, 0.0, 100000.0)) : 0;
    return QPixmap::fromImage(imageFromMat(dimInterior(greyMatFromImage(slice.toImage()), widthPx, ratio)));
}

QPixmap Window::removeBarrel(QPixmap slice, double *var)
{
    // Without coefficients there is nothing to correct.
    if (!var)
        return slice;
    std::array<double, 6> coeffs{};
    std::copy(var, var + 6, coeffs.begin());
    const QPixmap result = QPixmap::fromImage(imageFromMat(undistortBarrel(greyMatFromImage(slice.toImage()), coeffs)));
    qDebug() << "Barrel correction applied";
    return result;
}

// --- view presets -------------------------------------------------------------------------------

void Window::on_actionIsometric_triggered() { canvas->viewIsometric(); }
void Window::on_actionFront_triggered() { canvas->viewFront(); }
void Window::on_actionLeft_triggered() { canvas->viewLeft(); }
void Window::on_actionRear_triggered() { canvas->viewRear(); }
void Window::on_actionRight_triggered() { canvas->viewRight(); }
void Window::on_actionTop_triggered() { canvas->viewTop(); }
void Window::on_actionBottom_triggered() { canvas->viewBottom(); }
void Window::on_actionReset_view_triggered() { canvas->resetView(); }
void Window::on_pbCanvasViewIso_clicked() { canvas->viewIsometric(); }
void Window::on_pbCanvasViewTop_clicked() { canvas->viewTop(); }
void Window::on_pbCanvasViewBot_clicked() { canvas->viewBottom(); }
void Window::on_pbCanvasViewLeft_clicked() { canvas->viewLeft(); }
void Window::on_pbCanvasViewRight_clicked() { canvas->viewRight(); }
void Window::on_pbCanvasViewFront_clicked() { canvas->viewFront(); }
void Window::on_pbCanvasViewRear_clicked() { canvas->viewRear(); }
void Window::on_pbCanvasViewReset_clicked() { canvas->resetView(); }
void Window::on_pbCanvasViewRecenter_clicked() { canvas->resetCenter(); }

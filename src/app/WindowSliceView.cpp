// The slice tab: showing a run's or a package's layer images, moving through them, zooming,
// loading a print package and replacing one of its layers; and the preview cut of the 3D view.

#include "app/Window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QWheelEvent>
#include <algorithm>

#include "package/PackageImport.h"
#include "package/SliceViewer.h"
#include "scene/Scene.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

namespace {

constexpr int sliceTabIndex = 1;

} // namespace

int Window::shownSliceCount() const
{
    // sliceCount also follows the slicing range of the scene; the lists are what is shown.
    return !sliceFileNames.isEmpty() ? sliceFileNames.size() : sliceImages.size();
}

// --- showing a layer ------------------------------------------------------------------------

void Window::updateSliceView(int position)
{
    if (sliceImages.isEmpty() && sliceFileNames.isEmpty())
        return;
    const bool onDisk = !sliceFileNames.isEmpty();
    const int count = onDisk ? sliceFileNames.size() : sliceImages.size();
    sliceCount = count;
    const int p = std::clamp(position, 0, count - 1);
    {
        const QSignalBlocker blockSlider(ui->sliderSliceView);
        const QSignalBlocker blockNumber(ui->inpSliceNumber);
        ui->sliderSliceView->setMaximum(count - 1);
        ui->sliderSliceView->setValue(p);
        ui->inpSliceNumber->setMaximum(count - 1);
        ui->inpSliceNumber->setValue(p);
    }

    QImage picture;
    if (!onDisk) {
        picture = sliceImages.at(p).toImage();
    } else if (!packagePath.isEmpty()) {
        // A package's layers live only inside it; each is unpacked for the moment of reading.
        if (!package || package->path() != QFileInfo(packagePath).absoluteFilePath()) {
            package = std::make_unique<LpkPackage>();
            QString error;
            if (!package->open(packagePath, &error)) {
                qWarning().noquote() << "Package not readable:" << error;
                package.reset();
            }
        }
        QString error;
        if (package)
            picture = package->memberImage(QFileInfo(sliceFileNames.at(p)).fileName(), &error);
        if (picture.isNull())
            qWarning().noquote() << "Layer not shown:" << error;
    } else {
        picture = QImage(sliceFileNames.at(p));
    }
    // Packed layers (three grey pixels per RGB pixel) are shown at their real width.
    picture = withIslandMarks(expandPackedLayer(picture), p);
    currentSlice = QPixmap::fromImage(picture);
    ui->lblSliceSize->setText(picture.isNull() ? QString() : sliceSizeText(picture));
    if (p < int(sliceHeights.size()))
        ui->inpSliceHeight->setText(QString::number(double(sliceHeights[std::size_t(p)]), 'f', 3));
    if (p < sliceExposures.size())
        ui->inpSliceExposure->setText(QString::number(sliceExposures.at(p)));
    if (p < sliceLifts.size())
        ui->inpSliceLift->setText(QString::number(sliceLifts.at(p)));
    showSlicePicture();
}

void Window::showSlicePicture()
{
    if (currentSlice.isNull()) {
        ui->labelSliceView->clear();
        return;
    }
    ui->labelSliceView->setPixmap(currentSlice.scaled(int(currentSlice.width() * sliceViewScale),
                                                      int(currentSlice.height() * sliceViewScale),
                                                      Qt::KeepAspectRatio, Qt::FastTransformation));
    ui->labelSliceView->repaint();
}

void Window::updateSliceCommands()
{
    const bool hasPackage = !packagePath.isEmpty() && !sliceFileNames.isEmpty();
    ui->pbReplaceSlice->setEnabled(hasPackage);
    ui->pbReplaceSlice->setToolTip(hasPackage ? tr("Replace this slice of the package by a copy of another slice")
                                              : tr("Replacing a slice needs a print package: save or load one first"));
}

// --- navigation -----------------------------------------------------------------------------

void Window::on_sliderSliceView_valueChanged(int position)
{
    updateSliceView(position);
}

void Window::on_inpSliceNumber_valueChanged(int position)
{
    updateSliceView(position);
}

void Window::on_pbSViewStart_clicked()
{
    updateSliceView(0);
}

void Window::on_pbSViewEnd_clicked()
{
    updateSliceView(shownSliceCount() - 1);
}

void Window::on_pbSViewForward_clicked()
{
    const int next = forwardLayer(ui->inpSliceNumber->value(), shownSliceCount());
    if (next >= 0)
        updateSliceView(next);
}

void Window::on_pbSViewPrevious_clicked()
{
    const int previous = previousLayer(ui->inpSliceNumber->value());
    if (previous >= 0)
        updateSliceView(previous);
}

void Window::wheelEvent(QWheelEvent *event)
{
    if (ui->tabWidget->currentIndex() != sliceTabIndex) {
        QMainWindow::wheelEvent(event);
        return;
    }
    const double scale = zoomedSliceViewScale(sliceViewScale, event->angleDelta().y());
    if (scale != sliceViewScale) {
        sliceViewScale = scale;
        showSlicePicture();
    }
    event->accept();
}

void Window::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (ui && (!sliceImages.isEmpty() || !sliceFileNames.isEmpty()))
        showSlicePicture();
}

// --- preview cut of the 3D view -------------------------------------------------------------

void Window::setPreviewState(int state)
{
    previewState = state;
    ui->pbSlicePreview->setText(previewStateText(state));
    if (state == 0) {
        const QSignalBlocker block(ui->sliderSlicePreview);
        ui->sliderSlicePreview->setMaximum(int(ui->inpMaxZ->value() * 1000.0));
    }
    const double maxZ = ui->inpMaxZ->value();
    canvas->setSlicePreview(state, maxZ > 0 ? float(ui->sliderSlicePreview->value() / 1000.0 / maxZ) : 0.0f);
}

void Window::on_pbSlicePreview_clicked()
{
    setPreviewState(nextPreviewState(previewState));
}

void Window::on_sliderSlicePreview_valueChanged(int valueUm)
{
    const double maxZ = ui->inpMaxZ->value();
    ui->lblSliceHeight->setText(QString::asprintf("%1.2f", valueUm / 1000.0));
    canvas->setSlicePreview(previewState, maxZ > 0 ? float(valueUm / 1000.0 / maxZ) : 0.0f);
}

void Window::onPreviewSliderChange(float position)
{
    ui->sliderSlicePreview->setValue(previewSliderValueUm(ui->inpMaxZ->value(), position));
}

// --- print packages -------------------------------------------------------------------------

void Window::on_actionLoad_LBF_file_triggered()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load LPK format file"), lastFolder,
                                                      tr("LPK file format (*.lpk);;All Files (*)"));
    if (!path.isEmpty())
        importPackage(path);
}

bool Window::importPackage(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    auto opened = std::make_unique<LpkPackage>();
    QString error;
    if (!opened->open(path, &error)) {
        // What was shown before stays, so no later upload or replace acts on a half-read package.
        qWarning().noquote() << "LPK import failed:" << error;
        appendLog(tr("The package %1 was not loaded: %2").arg(QFileInfo(path).fileName(), error));
        QMessageBox::warning(this, tr("Unable to open file"), error);
        return false;
    }
    clearSlices();
    lastFolder = QFileInfo(path).absolutePath();
    packagePath = opened->path();
    const PackageSchedule &schedule = opened->schedule();
    sliceFileNames = opened->layerImagePaths();
    for (const PackageLayer &layer : schedule.layers) {
        sliceHeights.push_back(float(layer.zMm));
        sliceExposures << layer.exposureS;
        sliceLifts << layer.lift;
        layerCodes << layer.kind;
    }
    sliceCount = sliceFileNames.size();
    package = std::move(opened);
    if (cmbPrinter) {
        const int machine = cmbPrinter->findText(schedule.machine);
        if (machine >= 0)
            cmbPrinter->setCurrentIndex(machine);
    }
    ui->cbSliceOnDisk->setChecked(true);
    if (schedule.sliceThicknessUm > 0)
        ui->inpSliceThickness->setValue(schedule.sliceThicknessUm);
    updateSliceCommands();
    updateSliceView(0);
    ui->tabWidget->setCurrentIndex(sliceTabIndex);
    reportPackagePrintTime();
    const QString done = QString::asprintf("Loading LPK file completed in %.2f sec.", double(clock.elapsed()) / 1000.0);
    appendLog(done);
    qDebug().noquote() << done;
    return true;
}

void Window::on_pbReplaceSlice_clicked()
{
    const int count = shownSliceCount();
    if (!package || count < 1)
        return;
    const int current = ui->inpSliceNumber->value();
    bool ok = false;
    // Slice numbers run from 0 to count − 1; there is no slice `count` to copy.
    const int answer = QInputDialog::getInt(this, tr("Replace a slice"), tr("Enter the copied slice number: "),
                                            current, 0, count - 1, 1, &ok);
    if (!ok || answer == current)
        return;
    replaceSlice(current, answer);
}

bool Window::replaceSlice(int target, int source)
{
    QString error;
    if (!package || !package->replaceLayer(target, source, &error)) {
        if (error.isEmpty())
            error = tr("There is no print package to change.");
        qWarning().noquote() << "Slice not replaced:" << error;
        appendLog(tr("Slice %1 was not replaced: %2").arg(target).arg(error));
        QMessageBox::warning(this, tr("Replace a slice"), error);
        return false;
    }
    appendLog(tr("Slice %1 of %2 now holds a copy of slice %3.")
                  .arg(target)
                  .arg(QFileInfo(packagePath).fileName())
                  .arg(source));
    updateSliceView(target);
    return true;
}

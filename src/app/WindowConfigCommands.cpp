// The window's configuration commands: exposure calibration package, the settings dialogs
// (printer settings, the Alt+A administrator dialog) and the update check.

#include "app/Window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QShortcut>
#include <QtDebug>

#include "config/AppInfo.h"
#include "config/ui/AdminSetting.h"
#include "config/ui/ExposureCalibration.h"
#include "config/ui/printerSetting.h"
#include "package/Archiver.h"
#include "package/CalibrationPackage.h"
#include "ui_Window.h"
#include "update/FvUpdater.h"
#include "update/ui/FvUpdateWindows.h"
#include "view/ui/Canvas.h"

namespace {

// Sets a flag for the lifetime of a scope.
struct ScopedFlag
{
    bool &flag;
    explicit ScopedFlag(bool &f) : flag(f) { flag = true; }
    ~ScopedFlag() { flag = false; }
};

} // namespace

void Window::setupConfigCommands()
{
    // Exactly Alt: Alt+Shift+A is another key sequence and leaves the dialog closed.
    auto *admin = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this);
    admin->setObjectName(QStringLiteral("shortcutAdminSetting"));
    connect(admin, &QShortcut::activated, this, &Window::openAdminSetting);

    m_updateWindows = std::make_unique<FvUpdateWindows>(this);
    FvUpdater::sharedUpdater()->setPresenter(m_updateWindows.get());
    applyUpdateFeed();
}

void Window::applyUpdateFeed()
{
    const QString feed = settings.misc.updateFeedUrl;
    FvUpdater::sharedUpdater()->setFeedURL(feed);
    ui->actionCheck_for_Updates->setEnabled(!feed.isEmpty());
    ui->actionCheck_for_Updates->setToolTip(
        feed.isEmpty() ? tr("No update feed is set (key UpdateFeedUrl in the setting file).") : QString());
}

void Window::checkUpdateAtStarting()
{
    if (!settings.misc.updateFeedUrl.isEmpty()) {
        FvUpdater::sharedUpdater()->CheckForUpdatesSilent();
    } else if (!m_noFeedLogged) {
        m_noFeedLogged = true;
        qInfo() << "No update feed is set; updates are not looked up.";
    }
}

void Window::on_actionCheck_for_Updates_triggered()
{
    FvUpdater::sharedUpdater()->CheckForUpdatesNotSilent();
}

// --- settings dialogs ---------------------------------------------------------------------------

void Window::on_actionPrinter_Setting_triggered()
{
    EnvironmentSettings copy = settings;
    const Camera &camera = canvas->camera();
    copy.misc.wheelZoomDir = camera.wheelZoomDir;
    copy.misc.modelViewResponse = camera.response;
    copy.misc.zoomCenterMoving = camera.zoomCenterMoving;
    auto *dialog = new printerSetting(copy, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const EnvironmentSettings &v = dialog->values;
        Camera &camera = canvas->camera();
        camera.wheelZoomDir = v.misc.wheelZoomDir;
        camera.response = v.misc.modelViewResponse;
        camera.zoomCenterMoving = v.misc.zoomCenterMoving;
        settings.misc.wheelZoomDir = v.misc.wheelZoomDir;
        settings.misc.modelViewResponse = v.misc.modelViewResponse;
        settings.misc.zoomCenterMoving = v.misc.zoomCenterMoving;
        settings.misc.orthographicalProjection = v.misc.orthographicalProjection;
        emit signalChangeProjection(v.misc.orthographicalProjection);
        // The machine values went through the dialog untouched.
        settings.printer.stepperLimitXMm = v.printer.stepperLimitXMm;
        settings.printer.stepperLimitYMm = v.printer.stepperLimitYMm;
        settings.printer.stepperLimitZMm = v.printer.stepperLimitZMm;
        settings.print = v.print;
        if (v.printer.stepperLimitZMm > 0)
            canvas->setBuildHeight(float(v.printer.stepperLimitZMm));
        canvas->update();
        qDebug() << "Slicer setting has been changed.";
    });
    dialog->open();
}

void Window::openAdminSetting()
{
    auto *dialog = new AdminSetting(settings.misc.pixelGrayscaleUpdate, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        settings.misc.pixelGrayscaleUpdate = dialog->pixelGrayscaleUpdate();
        canvas->postProcess.contrastCurve = settings.misc.pixelGrayscaleUpdate;
    });
    dialog->open();
}

// --- exposure calibration -----------------------------------------------------------------------

void Window::on_actionExposure_Calibration_triggered()
{
    if (m_exporting || canvas->isSlicing())
        return;
    ui->cbDispOverride->setChecked(true);
    ExposureCalibration dialog(ui->inpDispOverrideX->value(), ui->inpDispOverrideY->value(),
                               ui->inpProjPixelX->value(), this);
    // The projector fields are the window's: they follow the dialog at once.
    connect(&dialog, &ExposureCalibration::projWidthChanged, ui->inpDispOverrideX, &QSpinBox::setValue);
    connect(&dialog, &ExposureCalibration::projHeightChanged, ui->inpDispOverrideY, &QSpinBox::setValue);
    connect(&dialog, &ExposureCalibration::pixelSizeChanged, this, [this](double size) {
        ui->inpProjPixelX->setValue(size);
        ui->inpProjPixelY->setValue(size);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Exposure calibration file name"), lastFolder,
                                                        tr("LPK file format (*.lpk);;All Files (*)"));
    if (chosen.isEmpty())
        return;
    // A name typed without any extension becomes a package the printer recognises.
    writeExposureCalibration(dialog.settings(),
                             QFileInfo(chosen).suffix().isEmpty() ? chosen + QStringLiteral(".lpk") : chosen);
}

bool Window::writeExposureCalibration(const CalibrationSettings &calibration, const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    lastFolder = QFileInfo(path).absolutePath();

    PackageDescription machine;
    if (cmbPrinter && !cmbPrinter->currentText().isEmpty())
        machine.machineName = cmbPrinter->currentText();
    machine.material = settings.slice.lastUsedMaterial;
    machine.antiAliasing = settings.print.horiAntiAliasing;
    machine.verticalMirror = settings.print.verticalMirror;
    machine.horizontalMirror = settings.print.horizontalMirror;
    machine.compensationXPercent = settings.slice.sliceScaleXPercent;
    machine.compensationYPercent = settings.slice.sliceScaleYPercent;
    machine.compensationZPercent = settings.slice.sliceScaleZPercent;
    const int machineIndex = cmbPrinter ? std::max(0, cmbPrinter->currentIndex()) : 0;

    ScopedFlag exporting(m_exporting);
    QProgressDialog progress(tr("Please wait") + QLatin1Char('\n') + tr("Writing LPK format..."), QString(), 0,
                             calibrationImageCount(calibration), this);
    progress.setObjectName(QStringLiteral("calibrationProgress"));
    progress.setWindowTitle(QStringLiteral("  ") + QLatin1String(AppInfo::name));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setCancelButton(nullptr);
    progress.show();
    Archiver archiver;
    archiver.setWaitCallback([] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    QString error;
    const bool ok = writeCalibrationPackage(
        calibration, machine, machineIndex, QFileInfo(path).absoluteFilePath(), archiver,
        [&progress](int done, int) {
            progress.setValue(done);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        },
        &error);
    progress.close();
    if (!ok) {
        reportExportError(error);
        return false;
    }
    const QString done = QString::asprintf("Saving LPK file completed in %.2f sec.", double(clock.elapsed()) / 1000.0);
    appendLog(done);
    qDebug().noquote() << done;
    return true;
}

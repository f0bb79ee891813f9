#include "config/ui/LbfSetting.h"

#include "config/ui/ProfileFields.h"
#include "config/ui/ResinExportOption.h"
#include "config/ui/newResinProfileWindow.h"
#include "ui_LbfSetting.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTimer>

LbfSetting::LbfSetting(QWidget *parent, const QString &profilesPath)
    : QDialog(parent), ui(new Ui::LbfSetting), m_path(profilesPath)
{
    ui->setupUi(this);
    updateInterlocks();
}

LbfSetting::~LbfSetting()
{
    delete ui;
}

void LbfSetting::setMachine(int machineId)
{
    m_machine = machineId;
    ui->inpMachine->setText(machineModelName(machineId));
    m_storeExisted = QFileInfo::exists(m_path);
    QList<ResinProfile> loaded;
    QString error;
    if (readResinProfiles(m_path, &loaded, &error))
        m_profiles = loaded;
    else if (m_storeExisted)
        qWarning().noquote() << error;
    refill();
}

void LbfSetting::setMirror(bool vertical, bool horizontal)
{
    ui->cmbVerticalMirror->setCurrentIndex(vertical ? 1 : 0);
    ui->cmbHorizontalMirror->setCurrentIndex(horizontal ? 1 : 0);
}

void LbfSetting::setLastFileLocation(const QString &folder)
{
    m_lastFolder = folder;
}

void LbfSetting::setMaterialAndThickness(const QString &material, int thicknessUm)
{
    m_material = material;
    m_thickness = thicknessUm;
    refill();
}

QString LbfSetting::material() const
{
    return ui->cmbMaterial->currentIndex() >= 0 ? ui->cmbMaterial->currentData().toString() : m_material;
}

int LbfSetting::thickness() const
{
    return ui->cmbSlicingThickness->currentIndex() >= 0 ? ui->cmbSlicingThickness->currentData().toInt()
                                                        : m_thickness;
}

double LbfSetting::normalExposure() const { return ui->inpNormalExp->value(); }
double LbfSetting::firstLayerExposure() const { return ui->inpFirstLayerExp->value(); }
double LbfSetting::supportExposure() const { return ui->inpBurnInExp->value(); }
int LbfSetting::firstLayerCount() const { return ui->inpFirstLayerCount->value(); }
double LbfSetting::compensationX() const { return ui->inpCompX->value(); }
double LbfSetting::compensationY() const { return ui->inpCompY->value(); }
double LbfSetting::compensationZ() const { return ui->inpCompZ->value(); }
int LbfSetting::antiAliasing() const { return ui->cmbAA->currentIndex(); }
int LbfSetting::dilationLevel() const { return ui->inpDilationLevel->value(); }
int LbfSetting::smoothingLevel() const { return ui->inpSmoothingLevel->value(); }
bool LbfSetting::flexSliceEnabled() const { return ui->cmbFlexSlice->currentIndex() != 0; }
bool LbfSetting::verticalMirror() const { return ui->cmbVerticalMirror->currentIndex() != 0; }
bool LbfSetting::horizontalMirror() const { return ui->cmbHorizontalMirror->currentIndex() != 0; }

ResinProfile LbfSetting::chosenProfile() const
{
    ResinProfile p;
    const int shown = shownIndex();
    if (shown >= 0)
        p = m_profiles[shown];
    p.MachineId = m_machine;
    p.ResinName = material();
    p.SliceThickness = thickness();
    readProfileFields(*ui, p);
    p.Note = ui->inpNote->text();
    return p;
}

int LbfSetting::shownIndex() const
{
    for (int i = 0; i < m_profiles.size(); ++i) {
        const ResinProfile &p = m_profiles[i];
        if (p.MachineId == m_machine && p.ResinName == m_material && p.SliceThickness == m_thickness)
            return i;
    }
    return -1;
}

void LbfSetting::refill()
{
    m_filling = true;
    for (int i = 0; i < m_profiles.size(); ++i)
        m_profiles[i].index = i;
    QStringList names;
    for (const ResinProfile &p : m_profiles) {
        if (p.MachineId == m_machine && !names.contains(p.ResinName))
            names << p.ResinName;
    }
    ui->cmbMaterial->clear();
    for (const QString &name : names)
        ui->cmbMaterial->addItem(name, name);
    if (!names.isEmpty() && !names.contains(m_material))
        m_material = names.first();
    ui->cmbMaterial->setCurrentIndex(names.indexOf(m_material));
    fillThicknesses();
    showRecord();
    m_filling = false;
}

void LbfSetting::fillThicknesses()
{
    QList<int> thicknesses;
    for (const ResinProfile &p : m_profiles) {
        if (p.MachineId == m_machine && p.ResinName == m_material && !thicknesses.contains(p.SliceThickness))
            thicknesses << p.SliceThickness;
    }
    const QSignalBlocker block(ui->cmbSlicingThickness);
    ui->cmbSlicingThickness->clear();
    for (int t : thicknesses)
        ui->cmbSlicingThickness->addItem(QString::number(t), t);
    if (!thicknesses.isEmpty() && !thicknesses.contains(m_thickness))
        m_thickness = thicknesses.first();
    ui->cmbSlicingThickness->setCurrentIndex(thicknesses.indexOf(m_thickness));
}

void LbfSetting::showRecord()
{
    const int i = shownIndex();
    if (i < 0)
        return;   // nothing stored for this choice: the fields keep their values
    const ResinProfile &p = m_profiles[i];
    {
        const QSignalBlocker b1(ui->inpDilationLevel);
        const QSignalBlocker b2(ui->cmbAA);
        showProfileFields(*ui, p);
        ui->inpNote->setText(p.Note);
    }
    updateInterlocks();
}

// Outline antialiasing excludes dilation and smoothing; smoothing only comes with a
// dilation or erosion.
void LbfSetting::updateInterlocks()
{
    const bool aa = ui->cmbAA->currentIndex() != 0;
    const bool dilation = ui->inpDilationLevel->value() != 0;
    ui->cmbAA->setEnabled(!dilation);
    ui->inpDilationLevel->setEnabled(!aa);
    ui->inpSmoothingLevel->setEnabled(!aa && dilation);
}

void LbfSetting::on_inpDilationLevel_valueChanged(int level)
{
    if (level == 0) {
        ui->inpSmoothingLevel->setValue(0);
    } else {
        const QSignalBlocker block(ui->cmbAA);
        ui->cmbAA->setCurrentIndex(0);
    }
    updateInterlocks();
}

void LbfSetting::on_cmbAA_currentIndexChanged(int)
{
    updateInterlocks();
}

void LbfSetting::on_cmbMaterial_currentIndexChanged(int index)
{
    if (m_filling || index < 0)
        return;
    m_material = ui->cmbMaterial->itemData(index).toString();
    m_filling = true;
    fillThicknesses();
    showRecord();
    m_filling = false;
}

void LbfSetting::on_cmbSlicingThickness_currentIndexChanged(int index)
{
    if (m_filling || index < 0)
        return;
    m_thickness = ui->cmbSlicingThickness->itemData(index).toInt();
    showRecord();
}

void LbfSetting::on_pbNewResinProfile_clicked()
{
    newResinProfileWindow w(this);
    w.setProfile(chosenProfile());
    if (w.exec() != QDialog::Accepted)
        return;
    ResinProfile p = w.profile();
    p.MachineId = m_machine;
    m_profiles << p;
    m_material = p.ResinName;
    m_thickness = p.SliceThickness;
    refill();
}

void LbfSetting::on_pbUpdateProfile_clicked()
{
    const int i = shownIndex();
    if (i < 0) {
        notice(tr("There is no resin profile to update; create one with \"New resin profile\"."));
        return;
    }
    ResinProfile p = chosenProfile();
    p.index = m_profiles[i].index;
    m_profiles[i] = p;
}

void LbfSetting::on_pbRenameProfile_clicked()
{
    if (shownIndex() < 0)
        return;
    QInputDialog input(this);
    input.setStyleSheet("*{background: white; }");
    input.setWindowTitle(tr("Please enter a new name"));
    input.setLabelText(tr("New resin name: "));
    input.setTextValue(m_material);
    if (input.exec() != QDialog::Accepted)
        return;
    const QString name = input.textValue().trimmed();
    if (name.isEmpty()) {
        notice(tr("A resin name cannot be empty."));
        return;
    }
    // The resin is renamed with all its thicknesses, so it stays one entry of the selector.
    for (ResinProfile &p : m_profiles) {
        if (p.MachineId == m_machine && p.ResinName == m_material)
            p.ResinName = name;
    }
    m_material = name;
    refill();
}

void LbfSetting::on_pbDeleteProfile_clicked()
{
    const int i = shownIndex();
    if (i < 0)
        return;
    if (m_profiles.size() == 1) {
        QMessageBox::warning(this, tr("Only single resin profile"),
                             tr("To delete this resin profile, please add another one first. \n"));
        return;
    }
    if (QMessageBox::question(this, windowTitle(), tr("Are you sure to remove current profile?"))
        != QMessageBox::Yes)
        return;
    m_profiles.removeAt(i);
    refill();
}

void LbfSetting::on_pbExportProfile_clicked()
{
    ResinExportOption option(this);
    if (option.exec() != QDialog::Accepted) {
        notice(tr("Incorrect option selected"));
        return;
    }
    const QList<ResinProfile> selected =
        profilesForExport(m_profiles, option.selection(), shownIndex(), m_machine, m_material);
    if (selected.isEmpty()) {
        notice(tr("There is no resin profile to export."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Save resin profile as a file"), m_lastFolder,
                                                      tr("Resin profile format (*.prf);;All Files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportResinProfiles(path, selected, option.note(), &error)) {
        qWarning().noquote() << error;
        QMessageBox::warning(this, tr("Export resin profile(s)"), error);
        return;
    }
    notice(tr("%1 resin profile(s) exported").arg(selected.size()));
}

void LbfSetting::on_pbImportProfile_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load a resin profile"), m_lastFolder,
                                                      tr("PRF(*.prf);;All Files(*)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix() != "prf") {
        notice(tr("Please choose a resin profile file"));
        return;
    }
    QList<ResinProfile> imported;
    QString error;
    if (!readResinProfiles(path, &imported, &error)) {
        qWarning().noquote() << error;
        QMessageBox::warning(this, tr("Import resin profile(s)"), error);
        return;
    }
    m_profiles += imported;
    refill();
    notice(tr("%1 resin profile(s) imported").arg(imported.size()));
}

void LbfSetting::on_buttonBox_accepted()
{
    accept();
}

void LbfSetting::on_buttonBox_rejected()
{
    reject();
}

void LbfSetting::done(int result)
{
    // Every way out (OK, Cancel, Escape, the window's close button) keeps the edits.
    if (!m_closed) {
        m_closed = true;
        storeProfiles();
    }
    QDialog::done(result);
}

bool LbfSetting::storeProfiles()
{
    // Without a store and without profiles there is nothing to keep; an empty file would
    // only hide the default profiles from the next start.
    if (!m_storeExisted && m_profiles.isEmpty())
        return true;
    QString error;
    if (writeResinProfiles(m_path, m_profiles, &error))
        return true;
    qWarning().noquote() << error;
    QMessageBox::warning(this, tr("Unable to save resin profiles"), error);
    return false;
}

void LbfSetting::notice(const QString &text)
{
    const QString padding(10, ' ');
    auto *box = new QMessageBox(QMessageBox::Information, "Orvell3D", padding + text + padding,
                                QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlags(box->windowFlags() | Qt::WindowStaysOnTopHint);
    box->show();
    QTimer::singleShot(1500, box, &QWidget::close);
}

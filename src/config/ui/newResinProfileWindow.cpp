#include "config/ui/newResinProfileWindow.h"

#include "ui_newResinProfileWindow.h"

#include "config/ui/ProfileFields.h"

#include <QMessageBox>

newResinProfileWindow::newResinProfileWindow(QWidget *parent)
    : QDialog(parent), ui(new Ui::newResinProfileWindow)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setProfile(ResinProfile());
}

newResinProfileWindow::~newResinProfileWindow()
{
    delete ui;
}

void newResinProfileWindow::setProfile(const ResinProfile &p)
{
    m_preset = p;
    ui->inpMaterial->setText(p.ResinName);
    ui->inpSliceThickness->setValue(p.SliceThickness);
    showProfileFields(*ui, p);
}

ResinProfile newResinProfileWindow::profile() const
{
    ResinProfile p = m_preset;
    p.ResinName = ui->inpMaterial->text().trimmed();
    p.SliceThickness = ui->inpSliceThickness->value();
    readProfileFields(*ui, p);
    return p;
}

void newResinProfileWindow::on_buttonBox_accepted()
{
    // A nameless profile could never be selected again.
    if (ui->inpMaterial->text().trimmed().isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("Please enter a material name."));
        ui->inpMaterial->setFocus();
        return;
    }
    accept();
}

// Outline antialiasing and dilation/smoothing exclude each other, as in the package dialog.
void newResinProfileWindow::on_cmbAA_currentIndexChanged(int index)
{
    ui->inpDilationLevel->setEnabled(index == 0);
    ui->inpSmoothingLevel->setEnabled(index == 0 && ui->inpDilationLevel->value() != 0);
}

void newResinProfileWindow::on_inpDilationLevel_valueChanged(int level)
{
    if (level == 0) {
        ui->cmbAA->setEnabled(true);
        ui->inpSmoothingLevel->setValue(0);
        ui->inpSmoothingLevel->setEnabled(false);
    } else {
        ui->cmbAA->setCurrentIndex(0);
        ui->cmbAA->setEnabled(false);
        ui->inpSmoothingLevel->setEnabled(true);
    }
}

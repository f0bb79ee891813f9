#pragma once

#include <QDialog>
#include <QList>

#include "config/ResinProfile.h"

namespace Ui {
class LbfSetting;
}

// The package dialog ("Configure LPK format"): chooses the resin profile and the package
// options, and edits, creates, renames, deletes, imports and exports profiles. It loads the
// profile store when its machine is set and writes it back whenever it closes (OK or Cancel),
// so profile edits persist even when the export is cancelled.
//
//   LbfSetting d(this);
//   d.setMachine(0); d.setMirror(v, h); d.setLastFileLocation(folder);
//   d.setMaterialAndThickness(material, thickness);
//   if (d.exec() == QDialog::Accepted) … d.chosenProfile(), d.verticalMirror(), …
class LbfSetting : public QDialog
{
    Q_OBJECT
public:
    explicit LbfSetting(QWidget *parent = nullptr, const QString &profilesPath = resinProfilesPath());
    ~LbfSetting() override;

    void setMachine(int machineId);
    void setMirror(bool vertical, bool horizontal);
    void setLastFileLocation(const QString &folder);
    void setMaterialAndThickness(const QString &material, int thicknessUm);

    // Results, read by the export.
    QString material() const;
    int thickness() const;
    double normalExposure() const;
    double firstLayerExposure() const;
    double supportExposure() const;
    int firstLayerCount() const;
    double compensationX() const;
    double compensationY() const;
    double compensationZ() const;
    int antiAliasing() const;
    int dilationLevel() const;
    int smoothingLevel() const;
    bool flexSliceEnabled() const;
    bool verticalMirror() const;
    bool horizontalMirror() const;
    // All of the above that belongs to a profile, as one record of the dialog's machine.
    ResinProfile chosenProfile() const;

    const QList<ResinProfile> &profiles() const { return m_profiles; }
    // Position of the shown record in profiles(), or -1 when none matches the selectors.
    int shownIndex() const;

    void done(int result) override;

private slots:
    void on_pbNewResinProfile_clicked();
    void on_pbDeleteProfile_clicked();
    void on_buttonBox_accepted();
    void on_cmbMaterial_currentIndexChanged(int index);
    void on_cmbSlicingThickness_currentIndexChanged(int index);
    void on_buttonBox_rejected();
    void on_pbUpdateProfile_clicked();
    void on_pbRenameProfile_clicked();
    void on_pbImportProfile_clicked();
    void on_pbExportProfile_clicked();
    void on_inpDilationLevel_valueChanged(int level);
    void on_cmbAA_currentIndexChanged(int index);

private:
    void refill();
    void fillThicknesses();
    void showRecord();
    void updateInterlocks();
    void notice(const QString &text);
    bool storeProfiles();

    Ui::LbfSetting *ui;
    QString m_path;
    QList<ResinProfile> m_profiles;
    bool m_storeExisted = false;
    int m_machine = 0;
    QString m_material;
    int m_thickness = 0;
    QString m_lastFolder;
    bool m_filling = false;
    bool m_closed = false;
};

#pragma once

#include <QtGlobal>

#include "config/ResinProfile.h"

// The exposure and correction inputs the package dialog and the new-profile dialog both have,
// under the same widget names in both forms.

template <typename Form>
void showProfileFields(Form &ui, const ResinProfile &p)
{
    ui.inpNormalExp->setValue(p.NormalExp);
    ui.inpFirstLayerCount->setValue(p.FirstLayerCount);
    ui.inpFirstLayerExp->setValue(p.FirstLayerExp);
    ui.inpBurnInExp->setValue(p.BurnInExp);
    ui.inpCompX->setValue(p.X_Compensation);
    ui.inpCompY->setValue(p.Y_Compensation);
    ui.inpCompZ->setValue(p.Z_Compensation);
    ui.cmbAA->setCurrentIndex(qBound(0, p.intAA, ui.cmbAA->count() - 1));
    ui.inpDilationLevel->setValue(p.DilationLevel);
    ui.inpSmoothingLevel->setValue(p.SmoothingLevel);
}

template <typename Form>
void readProfileFields(const Form &ui, ResinProfile &p)
{
    p.NormalExp = ui.inpNormalExp->value();
    p.FirstLayerCount = ui.inpFirstLayerCount->value();
    p.FirstLayerExp = ui.inpFirstLayerExp->value();
    p.BurnInExp = ui.inpBurnInExp->value();
    p.X_Compensation = ui.inpCompX->value();
    p.Y_Compensation = ui.inpCompY->value();
    p.Z_Compensation = ui.inpCompZ->value();
    p.intAA = ui.cmbAA->currentIndex();
    p.DilationLevel = ui.inpDilationLevel->value();
    p.SmoothingLevel = ui.inpSmoothingLevel->value();
}

#pragma once

#include <QGroupBox>

#include "imaging/HollowingRequest.h"

class QCheckBox;
class QDialog;
class QDoubleSpinBox;

// The hollowing part of the package dialog: on or off, the wall in millimetres, and pillars.
class HollowingOptionsBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit HollowingOptionsBox(QWidget *parent = nullptr);

    // Off: wallMm 0.
    HollowingRequest request() const;
    // A request with a wall switches the box on and shows its values; without one the box is
    // off and keeps its values.
    void setRequest(const HollowingRequest &request);

    // Puts a box into a dialog, above its buttons (the last item of its layout).
    static HollowingOptionsBox *addTo(QDialog *dialog, const HollowingRequest &request);

private:
    void updateInterlocks();

    QDoubleSpinBox *m_wall;
    QCheckBox *m_pillars;
    QDoubleSpinBox *m_radius;
    QDoubleSpinBox *m_pitch;
};

// The support tab and the support commands of the main window: dimension inputs with their
// sliders, size buttons, manual support mode, automatic grid supports and their keys.
#include "app/Window.h"
#include "ui_Window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "view/ui/Canvas.h"

namespace {

struct DimensionInput
{
    const char *name;     // the spin box; its slider is "slider" + the name without "inp"
    const char *label;
    double minimum, maximum, step, value;
    int decimals;
    int sliderScale;      // slider = value × scale
};

// Ranges are ours; the medium size and the program's defaults are the start values.
const DimensionInput dimensionInputs[] = {
    {"inpSupportContactDia", QT_TRANSLATE_NOOP("Window", "Contact diameter (mm)"), 0.1, 2.0, 0.05, 0.5, 2, 10},
    {"inpSupportTipLength", QT_TRANSLATE_NOOP("Window", "Tip length (mm)"), 0.5, 10.0, 0.1, 2.5, 1, 10},
    {"inpSupportInter2Dia", QT_TRANSLATE_NOOP("Window", "Upper diameter (mm)"), 0.3, 5.0, 0.01, 1.0, 2, 100},
    {"inpSupportInter1Dia", QT_TRANSLATE_NOOP("Window", "Lower diameter (mm)"), 0.3, 5.0, 0.01, 1.2, 2, 100},
    {"inpSupportBaseDia", QT_TRANSLATE_NOOP("Window", "Foot diameter (mm)"), 0.5, 10.0, 0.1, 2.0, 1, 10},
    {"inpSupportBaseThickness", QT_TRANSLATE_NOOP("Window", "Foot height (mm)"), 0.6, 5.0, 0.1, 1.0, 1, 10},
    {"inpSupportTipAngle", QT_TRANSLATE_NOOP("Window", "Top tip angle (°)"), 0, 89, 1, 45, 0, 1},
    {"inpSupportTipAngle2", QT_TRANSLATE_NOOP("Window", "Bottom tip angle (°)"), 0, 89, 1, 45, 0, 1},
    {"inpSupportTipOffset", QT_TRANSLATE_NOOP("Window", "Tip offset (mm)"), 0, 2.0, 0.05, 0.1, 2, 20},
};

template <typename T>
T *child(QWidget *root, const char *name)
{
    return root->findChild<T *>(QString::fromLatin1(name));
}

double valueOf(QWidget *root, const char *name)
{
    if (auto *d = child<QDoubleSpinBox>(root, name))
        return d->value();
    if (auto *i = child<QSpinBox>(root, name))
        return i->value();
    return 0;
}

} // namespace

void Window::setupSupportPanel()
{
    // The inputs scroll, so the panel never makes the window taller than the user wants.
    auto *tabLayout = qobject_cast<QVBoxLayout *>(ui->tabSupport->layout());
    auto *scroll = new QScrollArea(ui->tabSupport);
    scroll->setObjectName(QStringLiteral("saSupportInputs"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Nor wider: the side panel keeps the width the rest of the window gives it.
    scroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    scroll->setMinimumSize(0, 0);
    auto *page = new QWidget(scroll);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(page);
    tabLayout->insertWidget(tabLayout->indexOf(ui->lblSupportDiagram), scroll, 1);
    int at = 0;

    // Size buttons.
    auto *sizes = new QHBoxLayout;
    const char *sizeNames[] = {"pbSupportSmall", "pbSupportMedium", "pbSupportLarge", "pbSupportXL"};
    const char *sizeTexts[] = {QT_TR_NOOP("Small"), QT_TR_NOOP("Medium"), QT_TR_NOOP("Large"), QT_TR_NOOP("XL")};
    for (int k = 0; k < 4; ++k) {
        auto *b = new QPushButton(tr(sizeTexts[k]), page);
        b->setObjectName(QString::fromLatin1(sizeNames[k]));
        connect(b, &QPushButton::clicked, this, [this, k] { applySupportSize(k); });
        sizes->addWidget(b);
    }
    layout->insertLayout(at++, sizes);

    // Dimensions: a spin box and a slider each, mirroring one another.
    auto *dims = new QGroupBox(tr("Dimensions"), page);
    dims->setObjectName(QStringLiteral("gbxSupportDimensions"));
    auto *grid = new QGridLayout(dims);
    int row = 0;
    for (const DimensionInput &d : dimensionInputs) {
        auto *label = new QLabel(tr(d.label), dims);
        auto *spin = new QDoubleSpinBox(dims);
        spin->setObjectName(QString::fromLatin1(d.name));
        spin->setRange(d.minimum, d.maximum);
        spin->setSingleStep(d.step);
        spin->setDecimals(d.decimals);
        spin->setValue(d.value);
        auto *slider = new QSlider(Qt::Horizontal, dims);
        slider->setObjectName(QStringLiteral("slider") + QString::fromLatin1(d.name).mid(3));
        slider->setRange(int(std::lround(d.minimum * d.sliderScale)), int(std::lround(d.maximum * d.sliderScale)));
        slider->setValue(int(std::lround(d.value * d.sliderScale)));
        const int scale = d.sliderScale;
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this, slider, scale](double v) {
            const QSignalBlocker block(slider);
            slider->setValue(int(std::lround(v * scale)));
            sendSupportInputs();
        });
        connect(slider, &QSlider::valueChanged, spin, [spin, scale](int v) { spin->setValue(double(v) / scale); });
        grid->addWidget(label, row, 0);
        grid->addWidget(spin, row, 1);
        grid->addWidget(slider, row, 2);
        ++row;
    }
    auto *thin = new QCheckBox(tr("Thin tip"), dims);
    thin->setObjectName(QStringLiteral("cbSupportThinTip"));
    connect(thin, &QCheckBox::toggled, this, &Window::sendSupportInputs);
    grid->addWidget(thin, row++, 0, 1, 3);
    layout->insertWidget(at++, dims);

    // Angles of the overhang display and of manual supports.
    auto *angles = new QGroupBox(tr("Angles"), page);
    auto *ag = new QGridLayout(angles);
    const struct { const char *name, *label; int value; } angleInputs[] = {
        {"inpSupportThreshAngle", QT_TR_NOOP("Overhang angle (°)"), 45},
        {"inpSupportCriticalAngle", QT_TR_NOOP("Critical angle (°)"), 30},
        {"inpSupportSurfaceNormal", QT_TR_NOOP("Surface normal angle (°)"), 30},
    };
    row = 0;
    for (const auto &a : angleInputs) {
        auto *spin = new QSpinBox(angles);
        spin->setObjectName(QString::fromLatin1(a.name));
        spin->setRange(0, 90);
        spin->setValue(a.value);
        connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
            // 0 is what a file without the angles gives; the view keeps its own angle then.
            SupportEditor *e = canvas->supportEditor();
            if (const double t = valueOf(this, "inpSupportThreshAngle"); t > 0)
                canvas->supportThresholdDeg = float(t);
            if (const double c = valueOf(this, "inpSupportCriticalAngle"); c > 0)
                canvas->supportCriticalDeg = float(c);
            e->cosThresholdAngle = std::cos(canvas->supportThresholdDeg * float(M_PI) / 180);
            e->cosCriticalAngle = std::cos(canvas->supportCriticalDeg * float(M_PI) / 180);
            e->sinSurfaceNormal = std::sin(valueOf(this, "inpSupportSurfaceNormal") * M_PI / 180);
            canvas->update();
        });
        ag->addWidget(new QLabel(tr(a.label), angles), row, 0);
        ag->addWidget(spin, row++, 1);
    }
    layout->insertWidget(at++, angles);

    // Editing switches.
    auto *edit = new QGroupBox(tr("Editing"), page);
    auto *eg = new QGridLayout(edit);
    auto *branch = new QCheckBox(tr("Branch"), edit);
    branch->setObjectName(QStringLiteral("cbSupportBranch"));
    auto *flipX = new QRadioButton(tr("X flip copy"), edit);
    flipX->setObjectName(QStringLiteral("rbFlipCopyX"));
    flipX->setAutoExclusive(false);
    auto *flipY = new QRadioButton(tr("Y flip copy"), edit);
    flipY->setObjectName(QStringLiteral("rbFlipCopyY"));
    flipY->setAutoExclusive(false);
    auto *viewFull = new QRadioButton(tr("Whole supports"), edit);
    viewFull->setObjectName(QStringLiteral("rbSupportViewFull"));
    viewFull->setChecked(true);
    auto *viewContact = new QRadioButton(tr("Contacts only"), edit);
    viewContact->setObjectName(QStringLiteral("rbSupportViewContact"));
    auto *viewGroup = new QButtonGroup(edit);
    viewGroup->addButton(viewFull);
    viewGroup->addButton(viewContact);
    auto *clear = new QPushButton(tr("Delete All Supports"), edit);
    clear->setObjectName(QStringLiteral("pbDeleteAllSupports"));
    eg->addWidget(branch, 0, 0);
    eg->addWidget(flipX, 1, 0);
    eg->addWidget(flipY, 1, 1);
    eg->addWidget(viewFull, 2, 0);
    eg->addWidget(viewContact, 2, 1);
    auto *reset = new QPushButton(tr("Rebuild Supports"), edit);
    reset->setObjectName(QStringLiteral("pbResetSupportTips"));
    reset->setToolTip(tr("Rebuild the supports of the selected models (all when none is selected) with the "
                         "current dimensions"));
    eg->addWidget(reset, 3, 0, 1, 2);
    eg->addWidget(clear, 4, 0, 1, 2);
    connect(reset, &QPushButton::clicked, this, [this] {
        QProgressDialog progress(tr("Processing request..."), QString(), 0, 100, this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        canvas->supportEditor()->resetSupportTips([&progress](int percent) { progress.setValue(percent); });
        progress.setValue(100);
        canvas->update();
    });
    layout->insertWidget(at++, edit);
    layout->addStretch(1);

    auto flipChanged = [this, flipX, flipY] {
        canvas->supportEditor()->flipCopyMode = (flipX->isChecked() ? 1 : 0) | (flipY->isChecked() ? 2 : 0);
        canvas->xFlipCopy = flipX->isChecked();
        canvas->yFlipCopy = flipY->isChecked();
        canvas->update();
    };
    connect(flipX, &QRadioButton::toggled, this, flipChanged);
    connect(flipY, &QRadioButton::toggled, this, flipChanged);
    connect(branch, &QCheckBox::toggled, this, [this](bool on) {
        canvas->supportEditor()->branchMode = on;
        if (on) {
            ui->rbSupport1Pt->setChecked(true);
            if (canvas->supportMode > 0)
                enterSupportMode(1);
        }
    });
    connect(viewContact, &QRadioButton::toggled, this, [this](bool contact) {
        canvas->fullSupportView = !contact;
        canvas->supportEditor()->fullSupportView = !contact;
        canvas->update();
    });
    connect(ui->cbSupportPreview, &QCheckBox::toggled, this, [this](bool on) {
        canvas->supportEditor()->supportPreview = on;
        if (!on)
            canvas->supportEditor()->deleteSupportPreview();
        canvas->update();
    });

    // Actions: manual support mode and deleting all supports.
    actionManual_Supports = new QAction(tr("Manual Supports"), this);
    actionManual_Supports->setObjectName(QStringLiteral("actionManual_Supports"));
    actionManual_Supports->setCheckable(true);
    actionDelete_All_Supports = new QAction(tr("Delete All Supports"), this);
    actionDelete_All_Supports->setObjectName(QStringLiteral("actionDelete_All_Supports"));
    ui->menuSupport->insertAction(ui->actionAdd_support_linkers, actionManual_Supports);
    ui->menuSupport->insertAction(ui->actionAdd_support_linkers, actionDelete_All_Supports);
    connect(actionManual_Supports, &QAction::triggered, this, [this](bool on) {
        if (on)
            enterSupportMode(ui->rbSupport2Pt->isChecked() ? 2 : 1);
        else
            leaveSupportMode();
    });
    auto askDeleteAll = [this] {
        if (QMessageBox::question(this, tr("Clear all supports?"), tr("Do you want clear all supports?"),
                                  QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::No)
            emit signalDeleteAllSupports();
    };
    connect(actionDelete_All_Supports, &QAction::triggered, this, askDeleteAll);
    connect(clear, &QPushButton::clicked, this, askDeleteAll);
    connect(ui->rbSupport1Pt, &QRadioButton::clicked, this, [this] { enterSupportMode(1); });
    connect(ui->rbSupport2Pt, &QRadioButton::clicked, this, [this] { enterSupportMode(2); });
}

void Window::applySupportSettings()
{
    if (settings.support.pitchMm > 0)
        supportPitchMm = settings.support.pitchMm;
    canvas->supportEditor()->supportPreview = ui->cbSupportPreview->isChecked();
    sendSupportInputs();
}

void Window::applySupportSize(int size)
{
    const SupportSizePreset p = supportSizePreset(SupportSize(size));
    const QSignalBlocker blocks[] = {QSignalBlocker(child<QDoubleSpinBox>(this, "inpSupportContactDia")),
                                     QSignalBlocker(child<QDoubleSpinBox>(this, "inpSupportTipLength")),
                                     QSignalBlocker(child<QDoubleSpinBox>(this, "inpSupportInter1Dia")),
                                     QSignalBlocker(child<QDoubleSpinBox>(this, "inpSupportInter2Dia")),
                                     QSignalBlocker(child<QDoubleSpinBox>(this, "inpSupportBaseDia")),
                                     QSignalBlocker(child<QCheckBox>(this, "cbSupportThinTip"))};
    Q_UNUSED(blocks);
    child<QDoubleSpinBox>(this, "inpSupportContactDia")->setValue(double(p.contactDiaMm));
    child<QDoubleSpinBox>(this, "inpSupportTipLength")->setValue(double(p.tipLengthMm));
    child<QDoubleSpinBox>(this, "inpSupportInter1Dia")->setValue(double(p.inter1DiaMm));
    child<QDoubleSpinBox>(this, "inpSupportInter2Dia")->setValue(double(p.inter2DiaMm));
    child<QDoubleSpinBox>(this, "inpSupportBaseDia")->setValue(double(p.baseDiaMm));
    child<QCheckBox>(this, "cbSupportThinTip")->setChecked(p.thinTip);
    // The sliders follow their spin boxes.
    for (const DimensionInput &d : dimensionInputs) {
        auto *slider = child<QSlider>(this, qPrintable(QStringLiteral("slider") + QString::fromLatin1(d.name).mid(3)));
        const QSignalBlocker block(slider);
        slider->setValue(int(std::lround(valueOf(this, d.name) * d.sliderScale)));
    }
    sendSupportInputs();
}

void Window::sendSupportInputs()
{
    auto *thin = child<QCheckBox>(this, "cbSupportThinTip");
    if (!thin)
        return;
    canvas->supportEditor()->penetrationDistance = valueOf(this, "inpSupportTipOffset");
    emit sendSupportParameters(supportPitchMm, float(valueOf(this, "inpSupportBaseDia") / 2),
                               float(valueOf(this, "inpSupportInter1Dia") / 2),
                               float(valueOf(this, "inpSupportInter2Dia") / 2),
                               float(valueOf(this, "inpSupportContactDia") / 2),
                               float(valueOf(this, "inpSupportBaseThickness")), float(valueOf(this, "inpSupportTipLength")),
                               float(valueOf(this, "inpSupportTipAngle")), float(valueOf(this, "inpSupportTipAngle2")),
                               thin->isChecked());
}

void Window::on_actionCreate_Grid_Supports_triggered()
{
    const Scene *scene = canvas->scene();
    const int current = scene->currentObject();
    const Object *model = scene->object(current);
    if (current < 1 || !model || model->type != TypeModel) {
        showTimedMessage(tr("There is no selected model to proceed."), 1500);
        return;
    }
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("Please specify support pitch"), tr("Support pitch (mm): "),
                                               QLineEdit::Normal, QString::number(double(supportPitchMm), 'g', 6), &ok);
    if (!ok || text.isNull())
        return;
    bool number = false;
    const float pitch = text.trimmed().toFloat(&number);
    if (!number || !(pitch > 0) || !std::isfinite(pitch)) {
        const QString why = tr("The support pitch must be a number above 0 mm.");
        appendLog(why);
        QMessageBox::warning(this, QStringLiteral("Orvell3D"), why);
        return;
    }
    const double probes = SupportEditor::gridProbeCount(model->bbox, pitch);
    if (probes > maxAutoSupportProbes
        && QMessageBox::question(this, tr("Many supports"),
                                 tr("A pitch of %1 mm casts %2 probes under this model and may take long. Proceed?")
                                     .arg(double(pitch))
                                     .arg(probes, 0, 'f', 0),
                                 QMessageBox::Yes | QMessageBox::No)
               != QMessageBox::Yes)
        return;
    supportPitchMm = pitch;
    sendSupportInputs();
    emit signalAutoSupport();
}

void Window::enterSupportMode(int mode)
{
    if (mode == 2) {
        bool anyModel = false;
        for (int i = 1; i < canvas->scene()->objectCount() && !anyModel; ++i)
            anyModel = canvas->scene()->object(i)->type == TypeModel;
        if (!anyModel) {
            showTimedMessage(tr("There is no model to proceed."), 1500);
            ui->rbSupport1Pt->setChecked(true);
            return;
        }
        if (auto *branch = child<QCheckBox>(this, "cbSupportBranch"))
            branch->setChecked(false);
    }
    canvas->supportEditor()->clickCount = 0;
    canvas->setSupportMode(mode);
    setSupportManualButton();
}

void Window::leaveSupportMode()
{
    canvas->setSupportMode(0);
    setSupportManualButton();
}

void Window::onSupportModeOff() { leaveSupportMode(); }

void Window::setSupportManualButton()
{
    if (actionManual_Supports)
        actionManual_Supports->setChecked(canvas->supportMode > 0);
}

bool Window::supportKey(int key)
{
    if (canvas->supportMode <= 0)
        return false;
    SupportEditor *e = canvas->supportEditor();
    auto *contact = child<QDoubleSpinBox>(this, "inpSupportContactDia");
    switch (key) {
    case Qt::Key_E: contact->setValue(contact->value() + 0.05); return true;
    case Qt::Key_W: contact->setValue(contact->value() - 0.05); return true;
    case Qt::Key_F: {
        const int next = (e->flipCopyMode + 1) % 4;
        child<QRadioButton>(this, "rbFlipCopyX")->setChecked(next & 1);
        child<QRadioButton>(this, "rbFlipCopyY")->setChecked(next & 2);
        return true;
    }
    case Qt::Key_U:
        if (!e->branchMode)
            return false;
        ++e->branchCandidate;
        return true;
    case Qt::Key_Delete:
    case Qt::Key_D: {
        const int current = canvas->scene()->currentObject();
        const Object *o = canvas->scene()->object(current);
        if (current >= 1 && o && o->type == TypeSupport) {
            canvas->removeObj(current);
            return true;
        }
        return false;
    }
    default: return false;
    }
}

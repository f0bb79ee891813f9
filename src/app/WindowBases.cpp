// The main window's bases, support linkers and drain holes: their menu commands, the base
// and linker inputs and the drain-hole panel on the support tab.
#include "app/Window.h"
#include "ui_Window.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "view/ui/Canvas.h"

namespace {

const char *const kGridBaseResource = ":/stl/Grid_bottom_118x67.stl";

QDoubleSpinBox *millimetres(QWidget *parent, const char *name, double minimum, double maximum, double value)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setDecimals(2);
    box->setRange(minimum, maximum);
    box->setSingleStep(0.1);
    box->setValue(value);
    return box;
}

} // namespace

void Window::setupBasePanel()
{
    auto *layout = qobject_cast<QVBoxLayout *>(ui->tabSupport->layout());
    auto *group = new QGroupBox(tr("Bases and linkers"), ui->tabSupport);
    group->setObjectName(QStringLiteral("gbxBases"));
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Base margin (mm)"), group), 0, 0);
    grid->addWidget(millimetres(group, "inpBaseMargin", 0.1, 20.0, 1.0), 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Base thickness (mm)"), group), 1, 0);
    grid->addWidget(millimetres(group, "inpBaseThickness", 0.1, 10.0, 0.6), 1, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Linker distance (mm)"), group), 2, 0);
    auto *distance = new QSpinBox(group);
    distance->setObjectName(QStringLiteral("inpLinkerDistance"));
    distance->setRange(1, 50);
    distance->setValue(10);
    auto *slider = new QSlider(Qt::Horizontal, group);
    slider->setObjectName(QStringLiteral("sliderLinkerDistance"));
    slider->setRange(1, 50);
    slider->setValue(10);
    grid->addWidget(distance, 2, 1);
    grid->addWidget(slider, 2, 2);
    // With the support inputs, at the end of their scrolling page (before its stretch).
    if (auto *scroll = findChild<QScrollArea *>(QStringLiteral("saSupportInputs"));
        scroll && scroll->widget() && qobject_cast<QVBoxLayout *>(scroll->widget()->layout())) {
        auto *page = qobject_cast<QVBoxLayout *>(scroll->widget()->layout());
        page->insertWidget(std::max(0, page->count() - 1), group);
    } else {
        layout->insertWidget(layout->indexOf(ui->gbxDrainHole), group);
    }

    connect(distance, QOverload<int>::of(&QSpinBox::valueChanged), this, [this, slider](int mm) {
        const QSignalBlocker block(slider);
        slider->setValue(mm);
        canvas->linkerDistanceMm = mm;
    });
    connect(slider, &QSlider::valueChanged, distance, &QSpinBox::setValue);

    auto *place = new QPushButton(tr("Place a drain hole"), ui->gbxDrainHole);
    place->setObjectName(QStringLiteral("pbAddDrainHole"));
    place->setToolTip(tr("Click on a model's surface to drill the hole"));
    qobject_cast<QGridLayout *>(ui->gbxDrainHole->layout())->addWidget(place, 2, 0, 1, 2);
    connect(place, &QPushButton::clicked, this, &Window::on_pbAddDrainHole_clicked);
    auto drainChanged = [this] {
        canvas->drainHoleSettings.diameterMm = ui->inpDrainDia->value();
        canvas->drainHoleSettings.heightMm = ui->inpDrainHeight->value();
    };
    connect(ui->inpDrainDia, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, drainChanged);
    connect(ui->inpDrainHeight, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, drainChanged);
    drainChanged();
}

bool Window::hasModel() const
{
    for (int i = 1; i < canvas->scene()->objectCount(); ++i)
        if (canvas->scene()->object(i)->type == TypeModel)
            return true;
    return false;
}

void Window::on_actionCreate_a_base_triggered()
{
    const Scene *scene = canvas->scene();
    bool modelSelected = false;
    QList<int> ids = scene->selection();
    if (ids.isEmpty())
        ids << scene->currentObject();
    for (int id : ids)
        if (const Object *o = scene->object(id); o && id >= 1 && o->type == TypeModel)
            modelSelected = true;
    if (!modelSelected) {
        showTimedMessage(tr("There is no selected model to proceed."), 1500);
        return;
    }
    canvas->addRectBase(float(findChild<QDoubleSpinBox *>("inpBaseMargin")->value()),
                        float(findChild<QDoubleSpinBox *>("inpBaseThickness")->value()), 2);
}

void Window::on_actionAdd_global_base_triggered() { createGlobalBase(); }

void Window::createGlobalBase()
{
    if (!hasModel()) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    canvas->removeGlobalBase();
    canvas->addGlobalBase(float(findChild<QDoubleSpinBox *>("inpBaseMargin")->value()),
                          float(findChild<QDoubleSpinBox *>("inpBaseThickness")->value()));
}

void Window::on_actionCreate_ring_support_triggered()
{
    if (!hasModel()) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    leaveSupportMode();
    canvas->supportEditor()->deleteSupportPreview();
    canvas->scene()->changeSelObj({}, canvas->scene()->currentObject());
    ui->rbSupport1Pt->setChecked(true);
    ui->rbSupport2Pt->setChecked(false);
    canvas->ringBasePick = true;
    canvas->update();
}

void Window::on_actiongridBase_triggered()
{
    if (canvas->supportMode > 0) {
        showTimedMessage(tr("Can't add a grid base in support mode."), 1200);
        return;
    }
    openModelFile(QString::fromLatin1(kGridBaseResource));
}

void Window::on_actionAdd_support_linkers_triggered() { canvas->generateSupportLinkers(); }

void Window::on_actionDrainHole_triggered()
{
    on_pbAddDrainHole_clicked();
    ui->tabMenu->setCurrentWidget(ui->tabSupport);
    ui->gbxDrainHole->show();
}

void Window::on_pbAddDrainHole_clicked()
{
    if (!hasModel()) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    canvas->drainHolePlacing = true;
}

void Window::onDrainHoleCreated() { ui->gbxDrainHole->hide(); }

// The main window's model side: the object tree, the property panel with its move, rotate
// and scale inputs, the alignment buttons and the top-of-scene field.

#include "app/Window.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHash>
#include <QBrush>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QSet>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <functional>

#include "scene/Object.h"
#include "scene/Scene.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

namespace {

// What a row of the object tree stands for.
enum TreeRowKind {
    RowObject = 0,      // a model or one of its child objects
    RowInfo = 1,        // "Info" and its two count rows: stand for their model
    RowGroup = 2,       // "Supports", "Base", "Hollow": stand for the objects under them
};
constexpr int IdRole = Qt::UserRole;
constexpr int KindRole = Qt::UserRole + 1;

QStandardItem *treeRow(const QString &text, int id, TreeRowKind kind)
{
    auto *item = new QStandardItem(text);
    item->setData(id, IdRole);
    item->setData(int(kind), KindRole);
    item->setEditable(false);
    return item;
}

const QColor kSelectedRow(Qt::lightGray);

} // namespace

// --- object tree ------------------------------------------------------------------------------

void Window::updateModelList()
{
    ui->tabWidget->setCurrentIndex(0);
    rebuildModelTree();
    // Removals and clearing change the current object without announcing it.
    updateModelInfo(canvas->scene()->currentObject());
}

namespace {
// Rows with children are known by their model and their text across rebuilds.
QString expansionKey(const QStandardItem *item)
{
    return item->data(IdRole).toString() + QLatin1Char('/') + item->data(KindRole).toString() + QLatin1Char('/') +
           QString::number(item->row());
}
} // namespace

void Window::rebuildModelTree()
{
    const Scene *scene = canvas->scene();
    QTreeView *view = ui->modelTreeView;
    QSet<QString> expanded;
    std::function<void(QStandardItem *)> noteExpanded = [&](QStandardItem *parent) {
        for (int r = 0; r < parent->rowCount(); ++r) {
            QStandardItem *item = parent->child(r);
            if (item->hasChildren() && view->isExpanded(item->index())) {
                expanded.insert(expansionKey(item));
                noteExpanded(item);
            }
        }
    };
    noteExpanded(modelTreeModel->invisibleRootItem());

    // One pass over the list collects every model's children, so large support counts stay cheap.
    QHash<int, QList<int>> supports, bases, hollows;
    for (int id = 1; id < scene->objectCount(); ++id) {
        const Object *o = scene->object(id);
        const Object *owner = scene->object(o->parent);
        if (o->parent < 1 || !owner || owner->type != TypeModel)
            continue;
        if (o->type == TypeSupport)
            supports[o->parent] << id;
        else if (o->type == TypeBase)
            bases[o->parent] << id;
        else if (o->type == TypeHollowedModel)
            hollows[o->parent] << id;
    }

    modelTreeModel->clear();
    ui->modelTreeView->setHeaderHidden(true);
    const QList<int> &selection = scene->selection();
    auto addGroup = [&](QStandardItem *modelRow, const QString &title, int modelId, const QList<int> &ids) {
        if (ids.isEmpty())
            return;
        QStandardItem *group = treeRow(title, modelId, RowGroup);
        for (int id : ids) {
            QStandardItem *child = treeRow(scene->object(id)->name, id, RowObject);
            if (selection.contains(id))
                child->setBackground(kSelectedRow);
            group->appendRow(child);
        }
        modelRow->appendRow(group);
    };

    for (int id = 1; id < scene->objectCount(); ++id) {
        const Object *o = scene->object(id);
        if (o->type != TypeModel)
            continue;
        QStandardItem *row = treeRow(o->name, id, RowObject);
        if (!o->isShow) {
            QFont font = row->font();
            font.setItalic(true);
            font.setStrikeOut(true);
            row->setFont(font);
        }
        if (selection.contains(id))
            row->setBackground(kSelectedRow);

        const qulonglong vertices = o->mesh ? qulonglong(o->mesh->vertexCount()) : 0;
        const qulonglong triangles = o->mesh ? qulonglong(o->mesh->triangleCount()) : 0;
        QStandardItem *info = treeRow(tr("Info"), id, RowInfo);
        info->appendRow(treeRow(tr("Vertices: %1").arg(vertices), id, RowInfo));
        info->appendRow(treeRow(tr("Triangles: %1").arg(triangles), id, RowInfo));
        // Only a mesh the load-time check found fault with gets a third row.
        if (o->mesh && !o->mesh->checkSummary.isEmpty()) {
            QStandardItem *check = treeRow(tr("Check: %1").arg(o->mesh->checkSummary), id, RowInfo);
            check->setToolTip(check->text());   // longer than the panel is wide
            info->appendRow(check);
        }
        row->appendRow(info);
        addGroup(row, tr("Supports"), id, supports.value(id));
        addGroup(row, tr("Base"), id, bases.value(id));
        addGroup(row, tr("Hollow"), id, hollows.value(id));
        modelTreeModel->appendRow(row);
    }

    if (!expanded.isEmpty()) {
        std::function<void(QStandardItem *)> reopen = [&](QStandardItem *parent) {
            for (int r = 0; r < parent->rowCount(); ++r) {
                QStandardItem *item = parent->child(r);
                if (item->hasChildren() && expanded.contains(expansionKey(item))) {
                    view->expand(item->index());
                    reopen(item);
                }
            }
        };
        reopen(modelTreeModel->invisibleRootItem());
    }

    const bool several = selection.size() >= 2;
    ui->gbxAlignTool->setVisible(several);
    ui->actionGroup->setEnabled(several);
    ui->actionUngroup->setEnabled(several);
}

void Window::markTreeSelection()
{
    const QList<int> &selection = canvas->scene()->selection();
    // Only object rows carry a mark; group and info rows stand for objects but are not them.
    std::function<void(QStandardItem *)> mark = [&](QStandardItem *parent) {
        for (int r = 0; r < parent->rowCount(); ++r) {
            QStandardItem *item = parent->child(r);
            if (item->data(KindRole).toInt() == RowObject) {
                const bool selected = selection.contains(item->data(IdRole).toInt());
                item->setData(selected ? QVariant(QBrush(kSelectedRow)) : QVariant(), Qt::BackgroundRole);
            }
            if (item->data(KindRole).toInt() != RowInfo)
                mark(item);
        }
    };
    mark(modelTreeModel->invisibleRootItem());
}

QList<int> Window::treeRowObjects(const QModelIndex &index) const
{
    QList<int> ids;
    const QStandardItem *item = modelTreeModel->itemFromIndex(index);
    if (!item)
        return ids;
    const int kind = item->data(KindRole).toInt();
    if (kind == RowGroup) {
        for (int r = 0; r < item->rowCount(); ++r)
            ids << item->child(r)->data(IdRole).toInt();
    } else {
        ids << item->data(IdRole).toInt();
    }
    // The tree may be older than the list (a row clicked while the scene changes).
    const Scene *scene = canvas->scene();
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [scene](int id) { return id < 1 || id >= scene->objectCount(); }),
              ids.end());
    return ids;
}

void Window::onModelTreeClicked(const QModelIndex &index)
{
    QList<int> ids;
    for (const QModelIndex &selected : ui->modelTreeView->selectionModel()->selectedIndexes())
        for (int id : treeRowObjects(selected))
            if (!ids.contains(id))
                ids << id;

    const QList<int> clicked = treeRowObjects(index);
    int current = 0;
    if (!clicked.isEmpty() && ids.contains(clicked.last()))
        current = clicked.last();
    else if (!ids.isEmpty())
        current = ids.last();   // the clicked row was taken out of the selection with Ctrl

    bool allModels = true;
    for (int id : ids)
        allModels = allModels && canvas->scene()->object(id)->type == TypeModel;
    ui->gbxAlignTool->setVisible(ids.size() > 1 && allModels);

    emit modelSelected(ids, current);
    updateGroupActions();
    updateModelInfo(current);
    canvas->update();
}

void Window::updateGroupActions()
{
    if (!ui || !canvas)
        return;
    const bool several = canvas->scene()->selection().size() >= 2;
    ui->actionGroup->setEnabled(several);
    ui->actionUngroup->setEnabled(several);
}

bool Window::treeKeyPress(QKeyEvent *event)
{
    Scene *scene = canvas->scene();
    if (event->matches(QKeySequence::SelectAll)) {
        QList<int> models;
        for (int id = 1; id < scene->objectCount(); ++id)
            if (scene->object(id)->type == TypeModel)
                models << id;
        ui->modelTreeView->selectAll();
        emit modelSelected(models, models.isEmpty() ? 0 : models.last());
        ui->gbxAlignTool->setVisible(models.size() > 1);
        updateModelInfo(scene->currentObject());
        canvas->update();
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        ui->modelTreeView->clearSelection();
        emit modelSelected({}, 0);
        ui->gbxAlignTool->hide();
        updateModelInfo(0);
        canvas->update();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Arrow keys would move the tree's cursor without selecting anything in the scene.
        return true;
    default:
        return false;
    }
}

bool Window::eventFilter(QObject *watched, QEvent *event)
{
    if (canvas && watched == canvas)
        canvasMenuFilter(event);
    if (ui && watched == ui->modelTreeView) {
        bool handled = false;
        if (event->type() == QEvent::KeyPress)
            handled = treeKeyPress(static_cast<QKeyEvent *>(event));
        updateGroupActions();
        if (handled)
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Window::on_actionGroup_triggered()
{
    canvas->group();
    updateModelList();
}

void Window::on_actionUngroup_triggered()
{
    canvas->ungroup();
    updateModelList();
}

// --- top of scene -----------------------------------------------------------------------------

void Window::onUpdateGlobalZ(float z)
{
    ui->inpMaxZ->setValue(double(z));
    statusLabel->setText(tr("Top of scene: %1 mm").arg(double(z), 0, 'f', 2));
}

void Window::on_inpMaxZ_valueChanged(double zmax)
{
    const double thicknessUm = ui->inpSliceThickness->value();
    const double layers = thicknessUm > 0.0 ? std::ceil(zmax * 1000.0 / thicknessUm) + 1.0 : 0.0;
    sliceCount = layers < 2.0 || !std::isfinite(layers) ? 0 : int(layers);
}

void Window::on_inpSliceThickness_valueChanged(double)
{
    on_inpMaxZ_valueChanged(ui->inpMaxZ->value());
}

// --- property panel ---------------------------------------------------------------------------

void Window::modelInfoBlockSignals(bool block)
{
    const QList<QWidget *> inputs{ui->inpScaleX, ui->inpScaleY,  ui->inpScaleZ,  ui->inpMoveX,    ui->inpMoveY,
                                  ui->inpMoveZ,  ui->inpRotX,    ui->inpRotY,    ui->inpRotZ,     ui->sliderRotX,
                                  ui->sliderRotY, ui->sliderRotZ, ui->cbIsShow, ui->sliderOpacity};
    for (QWidget *input : inputs)
        input->blockSignals(block);
}

void Window::updateModelInfo(int id)
{
    markTreeSelection();
    const Object *o = canvas->scene()->object(id);
    if (!o)
        return;
    const int type = o->type;
    const bool fixedPlace = type == TypeSupport || type == TypeBase || type == TypeSupportLinker;
    // With nothing current (the build plate) there is nothing to edit.
    const bool none = id == 0;
    for (QWidget *input : {static_cast<QWidget *>(ui->inpMoveX), static_cast<QWidget *>(ui->inpMoveY),
                           static_cast<QWidget *>(ui->inpMoveZ), static_cast<QWidget *>(ui->inpRotX),
                           static_cast<QWidget *>(ui->inpRotY), static_cast<QWidget *>(ui->inpRotZ),
                           static_cast<QWidget *>(ui->sliderRotX), static_cast<QWidget *>(ui->sliderRotY),
                           static_cast<QWidget *>(ui->sliderRotZ)})
        input->setEnabled(!fixedPlace && !none);
    const bool scalable = (!fixedPlace || type == TypeBase) && !none;
    ui->inpScaleX->setEnabled(scalable);
    ui->inpScaleY->setEnabled(scalable);
    ui->inpScaleZ->setEnabled(scalable);
    ui->cbIsShow->setEnabled(!none);

    // Every input is filled with its signals blocked: a refresh is no edit (with the uniform
    // lock on, a scale input's handler would otherwise copy x into y and z).
    modelInfoBlockSignals(true);
    if (type != TypeSupport && type != TypeSupportLinker) {
        ui->inpScaleX->setValue(double(o->scale.x()));
        ui->inpScaleY->setValue(double(o->scale.y()));
        ui->inpScaleZ->setValue(double(o->scale.z()));
        showModelSize(id);
    }
    if (type != TypeBase) {
        ui->inpMoveX->setValue(double(o->move.x()));
        ui->inpMoveY->setValue(double(o->move.y()));
        ui->inpMoveZ->setValue(double(o->move.z() + o->moveZoff));
        ui->inpRotX->setValue(double(o->rotation.x()));
        ui->inpRotY->setValue(double(o->rotation.y()));
        ui->inpRotZ->setValue(double(o->rotation.z()));
        ui->sliderRotX->setValue(qRound(o->rotation.x()));
        ui->sliderRotY->setValue(qRound(o->rotation.y()));
        ui->sliderRotZ->setValue(qRound(o->rotation.z()));
        ui->cbIsShow->setChecked(o->isShow);
        ui->sliderOpacity->setValue(qRound(float(ui->sliderOpacity->maximum()) * o->opacity));
    }
    modelInfoBlockSignals(false);
}

void Window::showModelSize(int id)
{
    const Object *o = canvas->scene()->object(id);
    if (!o)
        return;
    // The measured box: the room the model takes on the plate, also when it is turned.
    QVector3D size;
    if (id != 0 && o->bbox.size() == 6)
        size = QVector3D(o->bbox[5] - o->bbox[4], o->bbox[3] - o->bbox[2], o->bbox[0] - o->bbox[1]);
    else if (id != 0)
        size = (o->maxCorner - o->minCorner) * o->scale;
    ui->inpSizeX->setValue(double(size.x()));
    ui->inpSizeY->setValue(double(size.y()));
    ui->inpSizeZ->setValue(double(size.z()));
}

void Window::moveSelectionXY(int axis, double value)
{
    Scene *scene = canvas->scene();
    const Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current)
        return;
    const float d = float(value) - current->move[axis];
    QVector3D shift;
    shift[axis] = d;
    for (int id : QList<int>(scene->selection())) {
        Object *o = scene->object(id);
        if (id < 1 || !o)
            continue;
        o->move += shift;
        scene->updateAABB(id, shift);
    }
    emit signalMoveSupports(shift);
    canvas->checkPosConflict();
    canvas->update();
}

void Window::on_inpMoveX_valueChanged(double value) { moveSelectionXY(0, value); }
void Window::on_inpMoveY_valueChanged(double value) { moveSelectionXY(1, value); }

void Window::on_inpMoveZ_valueChanged(double value)
{
    Scene *scene = canvas->scene();
    const Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current)
        return;
    const float d = float(value) - current->moveZoff - current->move.z();
    for (int id : QList<int>(scene->selection())) {
        Object *o = scene->object(id);
        if (id < 1 || !o || o->type == TypeBase)
            continue;
        o->move.setZ(o->move.z() + d);
        if (scene->hasChildren(id))
            scene->recalcChildren(id, 0, d);
        scene->updateAABB(id, QVector3D(0, 0, d));
    }
    canvas->checkPosConflict();
    canvas->update();
}

void Window::rotateCurrent(int axis, float degrees, bool measure)
{
    Scene *scene = canvas->scene();
    Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current)
        return;
    QVector3D rotation = current->rotation;
    rotation[axis] = degrees;
    scene->setObjectRotation(scene->currentObject(), rotation, measure);
    if (measure) {
        emit signalUpdateBBox();
        // Only the sizes: the input being typed into keeps its text.
        showModelSize(scene->currentObject());
    }
    canvas->update();
}

// The spin box keeps its decimals: the slider follows without feeding its whole degrees back.
void Window::on_inpRotX_valueChanged(double value)
{
    const QSignalBlocker block(ui->sliderRotX);
    ui->sliderRotX->setValue(qRound(value));
    rotateCurrent(0, float(value), true);
}

void Window::on_inpRotY_valueChanged(double value)
{
    const QSignalBlocker block(ui->sliderRotY);
    ui->sliderRotY->setValue(qRound(value));
    rotateCurrent(1, float(value), true);
}

void Window::on_inpRotZ_valueChanged(double value)
{
    Scene *scene = canvas->scene();
    const Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current)
        return;
    // Supports stand on the plate: they turn with the model about its z axis.
    const float turn = float(value) - current->rotation.z();
    if (scene->hasChildren(scene->currentObject()) && turn != 0.0f)
        scene->recalcChildren(scene->currentObject(), 1, turn);
    const QSignalBlocker block(ui->sliderRotZ);
    ui->sliderRotZ->setValue(qRound(value));
    rotateCurrent(2, float(value), true);
}

void Window::on_sliderRotX_valueChanged(int value)
{
    const QSignalBlocker block(ui->inpRotX);
    ui->inpRotX->setValue(value);
    rotateCurrent(0, float(value), true);
}

void Window::on_sliderRotY_valueChanged(int value)
{
    const QSignalBlocker block(ui->inpRotY);
    ui->inpRotY->setValue(value);
    rotateCurrent(1, float(value), true);
}

void Window::on_sliderRotZ_sliderPressed()
{
    const Scene *scene = canvas->scene();
    if (const Object *current = scene->object(scene->currentObject()))
        rotZAtPress = current->rotation.z();
}

void Window::on_sliderRotZ_valueChanged(int value)
{
    {
        const QSignalBlocker block(ui->inpRotZ);
        ui->inpRotZ->setValue(value);
    }
    if (ui->sliderRotZ->isSliderDown()) {
        // While dragged only the model turns; its supports follow once on release.
        rotateCurrent(2, float(value), false);
        return;
    }
    // Keys and page clicks change the value without a press and release.
    on_sliderRotZ_sliderPressed();
    on_sliderRotZ_sliderReleased();
}

void Window::on_sliderRotZ_sliderReleased()
{
    Scene *scene = canvas->scene();
    const int id = scene->currentObject();
    if (id == 0 || !scene->object(id))
        return;
    const int value = ui->sliderRotZ->value();
    if (scene->hasChildren(id))
        scene->recalcChildren(id, 1, float(value) - rotZAtPress);
    rotateCurrent(2, float(value), true);
}

void Window::scaleInputChanged(int axis, double value)
{
    Scene *scene = canvas->scene();
    const int id = scene->currentObject();
    if (id == 0 || !scene->object(id))
        return;
    QDoubleSpinBox *inputs[3] = {ui->inpScaleX, ui->inpScaleY, ui->inpScaleZ};
    if (ui->cbScaleLock->isChecked()) {
        for (int other = 0; other < 3; ++other) {
            if (other == axis)
                continue;
            const QSignalBlocker block(inputs[other]);
            inputs[other]->setValue(value);
        }
    }
    emit scaleChanged(inputs[0]->value(), inputs[1]->value(), inputs[2]->value());
    emit signalUpdateBBox();
    // The selection re-measures its boxes; a current object outside it needs its own.
    if (!scene->selection().contains(id))
        scene->refreshAABB(id, 0);
    updateModelInfo(id);
    canvas->checkPosConflict();
}

void Window::on_inpScaleX_valueChanged(double value) { scaleInputChanged(0, value); }
void Window::on_inpScaleY_valueChanged(double value) { scaleInputChanged(1, value); }
void Window::on_inpScaleZ_valueChanged(double value) { scaleInputChanged(2, value); }

void Window::on_cbIsShow_toggled(bool checked)
{
    Scene *scene = canvas->scene();
    Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current)
        return;
    current->isShow = checked;
    updateModelList();   // the row's struck-out look follows
    canvas->update();
}

void Window::on_sliderOpacity_valueChanged(int value)
{
    if (canvas->scene()->currentObject() == 0)
        return;
    emit signalChangeOpacity(float(value) / float(qMax(1, ui->sliderOpacity->maximum())));
}

// --- alignment --------------------------------------------------------------------------------

void Window::alignSelection(int mode)
{
    canvas->scene()->alignSelection(mode);
    canvas->checkPosConflict();
    canvas->update();
}

void Window::on_pbAlignTop_clicked() { alignSelection(0); }
void Window::on_pbAlignMiddle_clicked() { alignSelection(1); }
void Window::on_pbAlignBottom_clicked() { alignSelection(2); }
void Window::on_pbAlignLeft_clicked() { alignSelection(3); }
void Window::on_pbAlignCenter_clicked() { alignSelection(4); }
void Window::on_pbAlignRight_clicked() { alignSelection(5); }
void Window::on_pbAlignEqualWidth_clicked() { alignSelection(6); }
void Window::on_pbAlignEqualHeight_clicked() { alignSelection(7); }

// The main window's scene commands: the Edit menu, hiding and showing, the context menus of
// the 3D view and the object tree, and the keys of the view page.

#include "app/Window.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeView>

#include "scene/Arrange.h"
#include "scene/Object.h"
#include "scene/Scene.h"
#include "support/SupportEditor.h"
#include "ui_Window.h"
#include "view/ui/Canvas.h"

namespace {
// A right press that moves farther than this turned the view; its release opens no menu.
constexpr int kMenuSlopPx = 4;
} // namespace

// --- Edit menu ----------------------------------------------------------------------------------

void Window::on_actionDuplicate_models_triggered()
{
    const int current = canvas->scene()->currentObject();
    if (current == 0) {
        showTimedMessage(tr("There is no selected model to proceed."), 1500);
        return;
    }
    emit duplicateObj(current);
}

void Window::on_actionDelete_Models_triggered()
{
    if (canvas->supportMode > 0) {
        showTimedMessage(tr("In support mode, normal models can't be removed."), 1500);
        return;
    }
    Scene *scene = canvas->scene();
    const int current = scene->currentObject();
    if (current == 0)
        return;
    if (scene->selection().size() >= 2)
        canvas->removeObjList(scene->selection());
    else
        canvas->removeObj(current);
    canvas->update();
}

void Window::on_actionFlip_Models_triggered()
{
    Scene *scene = canvas->scene();
    Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() == 0 || !current) {
        showTimedMessage(tr("There is no selected model to proceed."), 1500);
        return;
    }
    scene->setObjectFlip(scene->currentObject(), !current->flip);
    emit signalModelFlip();
    updateModelInfo(scene->currentObject());
    canvas->update();
}

void Window::on_actionMove_to_Bottom_triggered()
{
    if (canvas->scene()->currentObject() != 0)
        emit signalMoveToBottom();
}

void Window::on_actionArrange_triggered()
{
    Scene *scene = canvas->scene();
    bool anyModel = false;
    for (int id = 1; id < scene->objectCount() && !anyModel; ++id)
        anyModel = scene->object(id)->type == TypeModel;
    if (!anyModel) {
        showTimedMessage(tr("There is no model to proceed."), 1500);
        return;
    }
    const ArrangeResult result = arrangeModels(*scene);
    appendLog(tr("Arranged %n model(s) on the plate.", nullptr, result.placed));
    updateModelInfo(scene->currentObject());
    canvas->update();
    if (!result.unplaced.isEmpty()) {
        const QString names = result.unplaced.join(QStringLiteral(", "));
        qWarning().noquote() << "Arrange: no room on the plate for" << names;
        appendLog(tr("No room on the plate for: %1").arg(names));
        QMessageBox::warning(this, tr("Arrange"),
                             tr("There is no room on the plate for these models; they were set beside it:\n%1")
                                 .arg(names));
    }
}

void Window::on_actionClear_models_triggered()
{
    if (canvas->supportMode > 0) {
        showTimedMessage(tr("In support mode, normal models can't be removed."), 1500);
        return;
    }
    if (canvas->scene()->objectCount() <= 1) {
        on_actionDelete_Models_triggered();
        return;
    }
    const auto answer = QMessageBox::question(this, tr("Clear all models"), tr("Are you sure to erase all models?"),
                                              QMessageBox::Yes | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    sceneChanged = false;
    ui->pbSlicePreview->setText(QStringLiteral("S0"));
    ui->inpSupportOpacity->setValue(100);
    emit signalClearAll();
}

void Window::on_actionUndo_triggered()
{
    canvas->undo();
    canvas->update();
}

// --- hiding and showing -------------------------------------------------------------------------

void Window::hideSelection(bool visible)
{
    // Linkers would be rebuilt for the visible models here; until the scene can rebuild them
    // they are kept as they are rather than removed for good.
    Scene *scene = canvas->scene();
    const QList<int> selected = scene->selection();
    for (int id : selected) {
        Object *o = scene->object(id);
        if (id >= 1 && o && (o->type == TypeModel || o->type == TypeSupportLinker))
            o->isShow = visible;
    }
    for (int id = 1; id < scene->objectCount(); ++id) {
        Object *o = scene->object(id);
        if (selected.contains(o->parent) && o->parent >= 1 && o->type != TypeHollowedModel)
            o->isShow = visible;
    }
    updateModelList();
    canvas->update();
}

void Window::unhideAll()
{
    Scene *scene = canvas->scene();
    for (int id = 1; id < scene->objectCount(); ++id)
        scene->object(id)->isShow = true;
    updateModelList();
    canvas->update();
}

void Window::showThisOnly()
{
    // The build plate is no model: it stays as it is, whatever is current.
    Scene *scene = canvas->scene();
    const int current = scene->currentObject();
    if (current < 1) {
        // Nothing chosen: hiding everything would leave an empty view and nothing to click.
        unhideAll();
        return;
    }
    const Object *currentObj = scene->object(current);
    const bool currentIsModel = current >= 1 && currentObj && currentObj->type == TypeModel;
    for (int id = 1; id < scene->objectCount(); ++id) {
        Object *o = scene->object(id);
        o->isShow = (o->parent == current && current >= 1) || (id == current && currentIsModel);
    }
    updateModelList();
    canvas->update();
}

// --- context menus ------------------------------------------------------------------------------

void Window::treeContextMenu(const QPoint &pos)
{
    QMenu menu(this);
    QAction *hide = menu.addAction(QIcon(QStringLiteral(":/icon/stop.ico")), tr("Hide"));
    QAction *unhide = menu.addAction(QIcon(QStringLiteral(":/icon/stop.ico")), tr("Unhide All"));
    QAction *only = menu.addAction(tr("Show This Only"));
    QAction *chosen = menu.exec(ui->modelTreeView->viewport()->mapToGlobal(pos));
    if (chosen == hide)
        hideSelection(false);
    else if (chosen == unhide)
        unhideAll();
    else if (chosen == only)
        showThisOnly();
}

void Window::canvasContextMenu(const QPoint &pos)
{
    if (ui->tabWidget->currentIndex() != 0)
        return;
    if (QGuiApplication::keyboardModifiers() == Qt::ShiftModifier)
        return;
    // The menu asked for at a right press waits for the release: a press that turns the view
    // must not open it.
    if (QGuiApplication::mouseButtons() & Qt::RightButton) {
        m_menuPending = true;
        m_menuPressPos = pos;
        return;
    }
    showCanvasMenu(pos);
}

bool Window::canvasMenuFilter(QEvent *event)
{
    if (!m_menuPending)
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if ((move->pos() - m_menuPressPos).manhattanLength() > kMenuSlopPx)
            m_menuPending = false;   // the view is being turned
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *release = static_cast<QMouseEvent *>(event);
        if (release->button() == Qt::RightButton) {
            m_menuPending = false;
            if ((release->pos() - m_menuPressPos).manhattanLength() <= kMenuSlopPx)
                showCanvasMenu(release->pos());
        }
    }
    return false;
}

void Window::showCanvasMenu(const QPoint &pos)
{
    Scene *scene = canvas->scene();
    const int current = scene->currentObject();
    const Object *currentObj = scene->object(current);
    const int type = current >= 1 && currentObj ? currentObj->type : TypeBuildPlate;
    auto icon = [](const char *name) { return QIcon(QString::fromLatin1(name)); };

    QMenu menu(this);
    QAction *duplicate = nullptr, *center = nullptr, *remove = nullptr, *bottom = nullptr, *lift = nullptr;
    QAction *resetMove = nullptr, *hide = nullptr, *group = nullptr, *ungroup = nullptr;
    QAction *addModel = nullptr, *loadScene = nullptr, *resetView = nullptr, *selectAll = nullptr;
    QAction *unhide = nullptr, *straight = nullptr, *vertical = nullptr;
    const bool dragging = QGuiApplication::mouseButtons() & Qt::LeftButton;
    if (canvas->supportMode == 0 && !dragging) {
        if (type == TypeModel) {
            duplicate = menu.addAction(icon(":/icon/copy.ico"), tr("Duplicate"));
            center = menu.addAction(icon(":/icon/box_recenter.ico"), tr("Make Center"));
            remove = menu.addAction(icon(":/icon/delete.ico"), tr("Delete"));
            bottom = menu.addAction(icon(":/icon/bottom.ico"), tr("Move to Bottom"));
            lift = menu.addAction(tr("Move Z+3mm"));
            resetMove = menu.addAction(tr("Reset Move (XY)"));
            hide = menu.addAction(tr("Hide"));
        } else if (type == TypeBuildPlate) {
            addModel = menu.addAction(icon(":/icon/add.ico"), tr("Add Model"));
            loadScene = menu.addAction(icon(":/icon/loadScene.ico"), tr("Load Scene"));
            loadScene->setEnabled(ui->actionLoad_scene_file->isEnabled());
            loadScene->setToolTip(ui->actionLoad_scene_file->toolTip());
            resetView = menu.addAction(icon(":/icon/box_reset.ico"), tr("Reset View"));
            selectAll = menu.addAction(tr("Select All"));
            unhide = menu.addAction(tr("Unhide All"));
        } else if (type == TypeSupport || type == TypeBase) {
            remove = menu.addAction(icon(":/icon/delete.ico"), tr("Delete"));
            if (type == TypeSupport) {
                straight = menu.addAction(tr("Make straight"));
                vertical = menu.addAction(tr("Make vertical"));
            }
        } else {
            return;
        }
    }
    QAction *rotCenter = menu.addAction(tr("Rot. center"));
    if (type == TypeModel && canvas->supportMode == 0 && !dragging) {
        group = menu.addAction(icon(":/icon/group.ico"), tr("Group"));
        ungroup = menu.addAction(icon(":/icon/ungroup.ico"), tr("Ungroup"));
    }

    QAction *chosen = menu.exec(canvas->mapToGlobal(pos));
    if (!chosen)
        return;
    if (chosen == duplicate) {
        on_actionDuplicate_models_triggered();
    } else if (chosen == center) {
        canvas->resetCenter();
        canvas->update();
    } else if (chosen == remove) {
        on_actionDelete_Models_triggered();
    } else if (chosen == bottom) {
        on_actionMove_to_Bottom_triggered();
    } else if (chosen == lift) {
        ui->inpMoveZ->setValue(ui->inpMoveZ->value() + 3.0);
    } else if (chosen == resetMove) {
        resetMoveXY();
    } else if (chosen == hide) {
        hideSelection(false);
    } else if (chosen == group) {
        on_actionGroup_triggered();
    } else if (chosen == ungroup) {
        on_actionUngroup_triggered();
    } else if (chosen == addModel) {
        on_load_triggered();
    } else if (chosen == loadScene) {
        ui->actionLoad_scene_file->trigger();
    } else if (chosen == resetView) {
        canvas->resetView();
    } else if (chosen == selectAll) {
        selectAllObjects();
    } else if (chosen == unhide) {
        unhideAll();
    } else if (chosen == rotCenter) {
        setRotationCenter();
    } else if (chosen == straight) {
        canvas->supportEditor()->makeSupportStraight();
        canvas->update();
    } else if (chosen == vertical) {
        canvas->supportEditor()->makeSupportVertical();
        canvas->update();
    }
}

void Window::resetMoveXY()
{
    Scene *scene = canvas->scene();
    scene->removeSupportLinkers();
    scene->removeGlobalBase();
    QList<int> ids = scene->selection();
    if (ids.isEmpty() && scene->currentObject() != 0)
        ids << scene->currentObject();
    for (int id : ids) {
        Object *o = scene->object(id);
        if (id < 1 || !o)
            continue;
        const QVector3D shift(-o->move.x(), -o->move.y(), 0.0f);
        o->move.setX(0.0f);
        o->move.setY(0.0f);
        scene->refreshAABB(id, 0);
        for (int child = 1; child < scene->objectCount(); ++child) {
            Object *c = scene->object(child);
            if (child == id || c->parent != id)
                continue;
            c->move += shift;
            scene->updateAABB(child, shift);
        }
    }
    canvas->checkPosConflict();
    updateModelInfo(scene->currentObject());
    canvas->update();
}

void Window::selectAllObjects()
{
    Scene *scene = canvas->scene();
    QList<int> all;
    for (int id = 1; id < scene->objectCount(); ++id)
        all << id;
    if (all.isEmpty())
        return;
    emit modelSelected(all, 1);
    updateModelList();
    updateModelInfo(1);
    canvas->update();
}

void Window::setRotationCenter()
{
    // The view turns about the middle of the current model's box, or of all models' boxes.
    Scene *scene = canvas->scene();
    QList<int> ids;
    const Object *current = scene->object(scene->currentObject());
    if (scene->currentObject() >= 1 && current && current->type == TypeModel)
        ids << scene->currentObject();
    else
        for (int id = 1; id < scene->objectCount(); ++id)
            if (scene->object(id)->type == TypeModel)
                ids << id;
    QVector3D lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    bool any = false;
    for (int id : ids) {
        const QList<float> &b = scene->object(id)->bbox;
        if (b.size() != 6)
            continue;
        lo = QVector3D(std::min(lo.x(), b[4]), std::min(lo.y(), b[2]), std::min(lo.z(), b[1]));
        hi = QVector3D(std::max(hi.x(), b[5]), std::max(hi.y(), b[3]), std::max(hi.z(), b[0]));
        any = true;
    }
    canvas->camera().gCenter = any ? -(lo + hi) * 0.5f : Camera::defaultCenter();
    canvas->update();
}

// --- keys of the view page ----------------------------------------------------------------------

void Window::keyPressEvent(QKeyEvent *event)
{
    if (ui->tabWidget->currentIndex() != 0) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    const int key = event->key();
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_O: ui->actionLoad_scene_file->trigger(); return;
        // Ctrl+S saves into the scene's file without asking while it is there.
        case Qt::Key_S:
            if (ui->actionSave_scene_file->isEnabled())
                saveSceneFile(false);
            return;
        case Qt::Key_M: ui->actionExport_STL->trigger(); return;
        case Qt::Key_N: on_actionNewScene_triggered(); return;
        case Qt::Key_Z: on_actionUndo_triggered(); return;
        case Qt::Key_G: on_actionGroup_triggered(); return;
        default: break;
        }
    } else if (mods == Qt::AltModifier && key == Qt::Key_G) {
        on_actionUngroup_triggered();
        return;
    } else if (mods == Qt::NoModifier) {
        if (supportKey(key))
            return;
        switch (key) {
        case Qt::Key_O: on_load_triggered(); return;
        case Qt::Key_A: ui->actionArrange->trigger(); return;
        case Qt::Key_Delete:
        case Qt::Key_D: on_actionDelete_Models_triggered(); return;
        case Qt::Key_R: canvas->resetView(); return;
        case Qt::Key_T: canvas->resetCenter(); return;
        case Qt::Key_Escape:
            leaveSupportMode();
            ui->rbSupport1Pt->setChecked(true);
            ui->rbSupport2Pt->setChecked(false);
            ui->gbxDrainHole->hide();
            canvas->ringBasePick = false;
            canvas->drainHolePlacing = false;
            canvas->deleteDrainHolePreview();
            emit modelSelected({}, 0);
            ui->modelTreeView->clearSelection();
            ui->gbxAlignTool->hide();
            updateModelInfo(0);
            canvas->update();
            return;
        default: break;
        }
    }
    QMainWindow::keyPressEvent(event);
}

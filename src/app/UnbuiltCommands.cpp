#include "app/UnbuiltCommands.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QWidget>

const QVector<UnbuiltCommand> &unbuiltCommands()
{
    // One line per command.
    static const QVector<UnbuiltCommand> table{
        // Rafts, painting.
        {"actionRaft", QT_TRANSLATE_NOOP("UnbuiltCommands", "Raft: adds a raft under the model. Not available in this version yet.")},
        {"actionDrawOnSlice", QT_TRANSLATE_NOOP("UnbuiltCommands", "Draw on Slice: paints on a layer image. Not available in this version yet.")},
        // Recipes and other formats.
        {"actionSave_recipe_file", QT_TRANSLATE_NOOP("UnbuiltCommands", "Save recipe file: saves the resin recipes. Not available in this version yet.")},
        {"actionSave_slices_into_CWS_format", QT_TRANSLATE_NOOP("UnbuiltCommands", "Save slices into CWS format. Not available in this version yet.")},
    };
    return table;
}

bool isUnbuiltCommand(const QString &objectName)
{
    for (const UnbuiltCommand &c : unbuiltCommands())
        if (objectName == QLatin1String(c.objectName))
            return true;
    return false;
}

void disableUnbuiltCommands(QWidget *window)
{
    for (const UnbuiltCommand &c : unbuiltCommands()) {
        const QString name = QString::fromLatin1(c.objectName);
        const QString tip = QCoreApplication::translate("UnbuiltCommands", c.toolTip);
        if (auto *action = window->findChild<QAction *>(name)) {
            action->setEnabled(false);
            action->setToolTip(tip);
            action->setStatusTip(tip);
        } else if (auto *button = window->findChild<QAbstractButton *>(name)) {
            button->setEnabled(false);
            button->setToolTip(tip);
        }
    }
}

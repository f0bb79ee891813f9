#pragma once

#include <QString>
#include <QVector>

class QWidget;

// Commands of the window whose capability this version does not have yet. Each stays visible
// but disabled, its tool tip saying what it will do; the change that builds a capability
// removes its lines from the table in UnbuiltCommands.cpp.
struct UnbuiltCommand
{
    const char *objectName;   // an action or a button of the window's form
    const char *toolTip;      // source text, translated in the "UnbuiltCommands" context
};

const QVector<UnbuiltCommand> &unbuiltCommands();

// True when the action or button of that object name is in the table.
bool isUnbuiltCommand(const QString &objectName);

// Disables every command of the table found among the window's children and sets its
// translated tool tip. Safe to call again (after a language change or after something
// enabled a command of the table).
void disableUnbuiltCommands(QWidget *window);

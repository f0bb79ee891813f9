#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

#include "config/EnvironmentSettings.h"

class QWidget;

// The environment settings that have an input on the main window, and the input that shows
// each of them (found by object name; inputs a form does not have are skipped).
//
// apply() puts the settings into the inputs, remember() notes what the inputs then show, and
// collect() copies back only what the user changed since. An input that cannot show a stored
// value exactly (out of its range, more decimals than it has) therefore does not alter the
// file behind the user's back, and an untouched file is written back as it was read.
class SettingsInputs
{
public:
    struct Binding
    {
        QString input;                                               // object name of the input
        std::function<QVariant(const EnvironmentSettings &)> read;   // the stored value
        std::function<void(EnvironmentSettings &, const QVariant &)> write;
        bool positiveOnly = false;   // zero or less (an absent key) leaves the input's default
    };

    SettingsInputs();

    const QVector<Binding> &bindings() const { return m_bindings; }

    // Sets every input under `root` that has a binding. Returns the names of the inputs set.
    QStringList apply(const EnvironmentSettings &settings, QWidget *root) const;
    // Notes the current value of every bound input under `root`.
    void remember(QWidget *root);
    // Forgets what remember() noted: the next collect() copies every input.
    void forget() { m_remembered.clear(); }
    // Copies the inputs whose value differs from the remembered one (all of them when nothing
    // was remembered) into `settings`, and remembers the new values.
    void collect(EnvironmentSettings &settings, QWidget *root);

    // The value an input shows as a variant (bool, int or double); invalid for other widgets.
    static QVariant inputValue(const QWidget *input);
    // Sets an input; false when the widget kind is not supported or the value does not fit
    // (a combo box index outside its items).
    static bool setInputValue(QWidget *input, const QVariant &value);

private:
    QVector<Binding> m_bindings;
    QHash<QString, QVariant> m_remembered;
};

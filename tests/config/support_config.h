#pragma once

// Small pieces shared by the configuration tests.

#include <QFile>
#include <QObject>

#include "config/ResinProfile.h"

// The named child of `parent`; the test program stops when there is none.
template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *c = parent->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no widget %s", name);
    return c;
}

// A profile record with the fields that find it, and its normal exposure (s).
inline ResinProfile profile(int machine, const QString &name, int thickness,
                            double normalExpS = ResinProfile().NormalExp)
{
    ResinProfile p;
    p.MachineId = machine;
    p.ResinName = name;
    p.SliceThickness = thickness;
    p.NormalExp = normalExpS;
    return p;
}

// Writes `text` to `path` and returns the path; the test program stops when it cannot.
inline QString writeTestFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
        qFatal("cannot write test file %s", qPrintable(path));
    return path;
}

#pragma once

#include <QString>

// True for the names `info` treats as print packages (".lpk" in any letter case).
bool isPackagePath(const QString &path);

// Prints what a print package holds and checks it; 0 when sound, 1 when it cannot be read or
// is damaged (one line on standard error says why).
int printPackageInfo(const QString &path);

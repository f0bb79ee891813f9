#pragma once

#include <QString>

// The folder with the interface translations ("orvell3d_*.qm") and their flag icons.
// In the build tree it is "languages" beside the program; an installed program
// (PREFIX/bin/orvell3d) finds it in PREFIX/share/orvell3d/languages, wherever PREFIX is
// (/usr, /usr/local, or a folder the package was unpacked into).
// Returns the first of these that holds a translation, else the folder beside the program.
QString languageFolderFor(const QString &programFolder);

#pragma once

#include <QString>

// Language code of a translation file: "orvell3d_de.qm" gives "de", "orvell3d_pt_BR.qm" gives "pt_BR".
QString languageCodeFromFileName(const QString &fileName);

// Language code of a locale name: "de_DE" gives "de"; a name without "_" is returned as it is.
QString languageCodeFromLocaleName(const QString &localeName);

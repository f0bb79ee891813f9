#include "app/Language.h"

QString languageCodeFromFileName(const QString &fileName)
{
    QString code = fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
    return code.mid(code.indexOf(QLatin1Char('_')) + 1);
}

QString languageCodeFromLocaleName(const QString &localeName)
{
    return localeName.left(localeName.lastIndexOf(QLatin1Char('_')));
}

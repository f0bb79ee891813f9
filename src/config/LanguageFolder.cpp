#include "config/LanguageFolder.h"

#include <QDir>
#include <QStringList>

QString languageFolderFor(const QString &programFolder)
{
    const QDir program(programFolder);
    const QStringList candidates = {program.filePath(QStringLiteral("languages")),
                                    program.filePath(QStringLiteral("../share/orvell3d/languages"))};
    for (const QString &candidate : candidates) {
        const QDir folder(candidate);
        if (!folder.entryList(QStringList{QStringLiteral("orvell3d_*.qm")}, QDir::Files).isEmpty())
            return folder.absolutePath();
    }
    return QDir(candidates.first()).absolutePath();
}

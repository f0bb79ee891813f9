#include "config/DataFolder.h"

#include <QDir>
#include <QStandardPaths>

QString dataFolder()
{
    const QByteArray overridden = qgetenv("ORVELL3D_DATA_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(QString::fromLocal8Bit(overridden));
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Orvell3D";
}

bool ensureDataFolder()
{
    return QDir().mkpath(dataFolder());
}

QString tempFolder()
{
    const QString path = dataFolder() + "/temp";
    return QDir().mkpath(path) ? path : QString();
}

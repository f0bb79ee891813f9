#include "config/DataFolder.h"

#include "config/SettingsFile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
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

bool prepareDataFolder(QString *error)
{
    const QString folder = dataFolder();
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists() || !QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create the data folder %1.").arg(folder);
        return false;
    }
    QString seedError;
    if (!writeSettingsFile(defaultSettingsFilePath(), defaultEnvironmentSettings(), &seedError))
        qWarning().noquote() << "Default settings were not written:" << seedError;
    return true;
}

QString tempFolder()
{
    const QString path = dataFolder() + "/temp";
    return QDir().mkpath(path) ? path : QString();
}

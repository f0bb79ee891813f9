#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QFont>
#include <QTextCodec>

#include "app/App.h"
#include "app/LogFile.h"
#include "config/AppInfo.h"
#include "config/DataFolder.h"

int main(int argc, char **argv)
{
    // The log file lives in the data folder, which a first start has to create (together with
    // default settings, so a new user is not greeted by a missing-settings error).
    QString folderError;
    const bool folderReady = prepareDataFolder(&folderError);

    openLogFile(dataFolder() + QLatin1Char('/') + logFileName(QDateTime::currentDateTime()));
    QTextCodec::codecForName("UTF-8");
    qInstallMessageHandler(logMessageHandler);
    if (!folderReady)
        qWarning().noquote() << "The data folder could not be prepared:" << folderError;

    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setKerning(true);
    QApplication::setFont(font);

    // The update check keeps the version the user skipped in the native settings of this pair.
    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::name));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvell3d.org"));

    App app(argc, argv);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppInfo::version));
    QCoreApplication::setApplicationName(QString::fromLatin1(AppInfo::name));

    QStringList files;
    for (const QString &arg : app.arguments().mid(1)) {
        if (!arg.startsWith(QLatin1Char('-')))
            files << arg;
    }
    app.openFiles(files);

    return app.exec();
}

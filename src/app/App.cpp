#include "app/App.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMetaEnum>
#include <QSplashScreen>
#include <QTimer>
#include <exception>

#include "app/UnbuiltCommands.h"
#include "app/Window.h"
#include "config/AppInfo.h"
#include "ui_Window.h"

App::App(int &argc, char **argv) : QApplication(argc, argv)
{
    QFile styleFile(QStringLiteral(":/gl/style.qss"));
    if (styleFile.open(QIODevice::ReadOnly | QIODevice::Text))
        setStyleSheet(QString::fromUtf8(styleFile.readAll()));

    window = new Window();

    m_splash = new QSplashScreen(QPixmap(QStringLiteral(":/img/logo_orvell.png")));
    m_splash->show();
    m_splash->showMessage(QStringLiteral("ORVELL3D V") + QString::fromLatin1(AppInfo::version) +
                              QStringLiteral(" is loading.."),
                          Qt::AlignRight | Qt::AlignBaseline, Qt::black);
    processEvents();

    QTimer::singleShot(3000, m_splash, &QWidget::close);
    QTimer::singleShot(3000, window, &QWidget::show);

    window->setWindowTitle(Window::baseTitle());
    window->ui->actionSave_scene_file->setEnabled(true);
    window->ui->actionLoad_scene_file->setEnabled(true);
    window->ui->actionSave_as_LBF_file->setEnabled(true);
    // Commands not built yet stay disabled.
    disableUnbuiltCommands(window);
}

App::~App()
{
    delete m_splash;
    delete window;
}

void App::openFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isFile()) {
            qWarning().noquote() << "Not a file, not opened:" << path;
            window->appendLog(tr("Not a file, not opened: %1").arg(path));
            continue;
        }
        if (info.suffix().compare(QLatin1String("o3d"), Qt::CaseInsensitive) == 0) {
            window->loadSceneFile(info.absoluteFilePath());
        } else if (info.suffix().compare(QLatin1String("lpk"), Qt::CaseInsensitive) == 0) {
            // A print package is opened in the slice tab, not read as a model.
            window->importPackage(info.absoluteFilePath());
        } else if (window->openModelFile(info.absoluteFilePath())) {
            window->lastFolder = info.absolutePath();
        }
    }
}

bool App::event(QEvent *event)
{
    if (event->type() == QEvent::FileOpen) {
        if (window)
            window->openModelFile(static_cast<QFileOpenEvent *>(event)->file());
        return true;
    }
    return QApplication::event(event);
}

namespace {
QByteArray eventTypeName(const QEvent *event)
{
    const char *key = QMetaEnum::fromType<QEvent::Type>().valueToKey(event->type());
    return key ? QByteArray(key) : QByteArray::number(int(event->type()));
}
}

bool App::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &ex) {
        qFatal("Error %s sending event %s to object %s (%s)", ex.what(), eventTypeName(event).constData(),
               qPrintable(receiver->objectName()), receiver->metaObject()->className());
    } catch (...) {
        qFatal("Error <unknown> sending event %s to object %s (%s)", eventTypeName(event).constData(),
               qPrintable(receiver->objectName()), receiver->metaObject()->className());
    }
    return false;
}

#include "package/ExportWorkspace.h"

#include "config/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtDebug>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackageFiles", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// "temp" of the data folder, or the system's temporary folder when that cannot be made.
QString exportParent()
{
    const QString temp = tempFolder();
    return temp.isEmpty() ? QDir::tempPath() : temp;
}

// Copies `from` to `to` and makes sure the bytes reached the disk; false on any short write.
bool copyDurably(const QString &from, const QString &to, QString *why)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *why = out.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            *why = out.errorString();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        *why = in.errorString();
        return false;
    }
    if (!out.flush() || ::fsync(out.handle()) != 0) {
        *why = out.error() != QFileDevice::NoError ? out.errorString() : qt_error_string(errno);
        return false;
    }
    return true;
}

} // namespace

bool isProcessRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString createExportFolder(QString *error)
{
    const QString parent = exportParent();
    QTemporaryDir dir(parent + QStringLiteral("/export-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!dir.isValid()) {
        setError(error, tr("Cannot create a working folder in %1: %2").arg(native(parent), dir.errorString()));
        return QString();
    }
    dir.setAutoRemove(false);
    return dir.path();
}

int removeStaleExportFiles(const QString &packageFolder)
{
    int removed = 0;
    static const QRegularExpression folderName(QStringLiteral("^export-(\\d+)-\\w{6}$"));
    const QDir temp(exportParent());
    for (const QString &name : temp.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QRegularExpressionMatch m = folderName.match(name);
        if (!m.hasMatch() || isProcessRunning(m.captured(1).toLongLong()))
            continue;
        if (QDir(temp.filePath(name)).removeRecursively())
            ++removed;
        else
            qWarning().noquote() << "Could not remove the stale working folder" << native(temp.filePath(name));
    }
    if (packageFolder.isEmpty())
        return removed;
    static const QRegularExpression partName(QStringLiteral("^\\..+\\.(\\d+)\\.part$"));
    QDir folder(packageFolder);
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = partName.match(name);
        if (m.hasMatch() && !isProcessRunning(m.captured(1).toLongLong()) && folder.remove(name))
            ++removed;
    }
    return removed;
}

QString partialPackagePath(const QString &packagePath)
{
    const QFileInfo info(packagePath);
    return info.absolutePath() + QStringLiteral("/.%1.%2.part").arg(info.fileName()).arg(QCoreApplication::applicationPid());
}

bool movePackageIntoPlace(const QString &built, const QString &packagePath, QString *error)
{
    const QByteArray target = QFile::encodeName(packagePath);
    // rename(2) replaces an older package in one step.
    if (std::rename(QFile::encodeName(built).constData(), target.constData()) == 0)
        return true;
    if (errno != EXDEV) {
        const QString reason = qt_error_string(errno);
        QFile::remove(built);
        setError(error, tr("Cannot replace %1: %2").arg(native(packagePath), reason));
        return false;
    }
    // The working folder is on another disk: copy beside the package, then rename.
    const QString partial = partialPackagePath(packagePath);
    QString why;
    const bool copied = copyDurably(built, partial, &why);
    QFile::remove(built);
    if (!copied) {
        QFile::remove(partial);
        setError(error, tr("Cannot write %1: %2").arg(native(packagePath), why));
        return false;
    }
    if (std::rename(QFile::encodeName(partial).constData(), target.constData()) != 0) {
        const QString reason = qt_error_string(errno);
        QFile::remove(partial);
        setError(error, tr("Cannot replace %1: %2").arg(native(packagePath), reason));
        return false;
    }
    return true;
}

#include "package/Archiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The archive tool goes when this program goes, however it ends: a killed export must not
// leave the tool writing a partial archive on its own. The kernel sends the signal when the
// thread that started the tool ends; every archive call runs on the thread that waits for it.
class ToolProcess : public QProcess
{
public:
    ToolProcess() : m_parentPid(::getpid()) {}

protected:
    // Runs in the child between fork and exec; the setting survives exec.
    void setupChildProcess() override
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The program may have died before the line above took effect.
        if (::getppid() != m_parentPid)
            ::_exit(127);
    }

private:
    pid_t m_parentPid;
};

constexpr int baseTimeoutMs = 30000;

QString tr(const char *text)
{
    return QCoreApplication::translate("Archiver", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The tool takes words starting with "-" as switches and "@" as list files, and expands
// wildcards; archive members and added files are plain names, so anything else is refused.
bool isPlainName(const QString &name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    if (name.startsWith('-') || name.startsWith('@'))
        return false;
    for (const QChar c : name) {
        if (c == '/' || c == '\\' || c == '*' || c == '?' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

// The last lines of the tool's output, enough to say why it failed.
QString tail(const QByteArray &output)
{
    QString text = QString::fromLocal8Bit(output).trimmed();
    QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString &l : lines) {
        const QString t = l.trimmed();
        if (!t.isEmpty())
            kept << t;
    }
    while (kept.size() > 4)
        kept.removeFirst();
    text = kept.join(' ');
    if (text.size() > 400)
        text = text.right(400);
    return text;
}

} // namespace

QString packagePassword()
{
    return QStringLiteral("KVTR570213");
}

Archiver::Archiver(const QString &program)
    : m_program(program)
{
}

bool Archiver::add(const QString &archivePath, const QString &folder, const QStringList &fileNames,
                   const QString &password, QString *error) const
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        setError(error, tr("The folder %1 to pack does not exist.").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    QStringList names = fileNames;
    if (names.isEmpty())
        names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    if (names.isEmpty()) {
        setError(error, tr("There are no files in %1 to pack.").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    qint64 bytes = 0;
    for (const QString &name : names) {
        const QFileInfo info(dir.filePath(name));
        if (!isPlainName(name) || !info.isFile()) {
            setError(error, tr("Cannot pack %1: it is not a file in %2.")
                                .arg(name, QDir::toNativeSeparators(folder)));
            return false;
        }
        bytes += info.size();
    }
    QStringList args = {"a", "-tzip", "-p" + password, "-mem=ZipCrypto", m_storeOnly ? "-mx0" : "-mx5",
                        "-bd", "-y", "--", QFileInfo(archivePath).absoluteFilePath()};
    args += names;
    const int timeout = m_timeoutMs > 0 ? m_timeoutMs : baseTimeoutMs + int(qMin<qint64>(bytes / 10000, 3600000));
    return run(args, dir.absolutePath(), timeout, archivePath, error);
}

bool Archiver::extractFlat(const QString &archivePath, const QString &member, const QString &outFolder,
                           const QString &password, QString *error) const
{
    if (!isPlainName(member)) {
        setError(error, tr("\"%1\" is not a valid name of a package entry.").arg(member));
        return false;
    }
    if (!QFileInfo(archivePath).isFile()) {
        setError(error, tr("The archive %1 does not exist.").arg(QDir::toNativeSeparators(archivePath)));
        return false;
    }
    const QString outAbs = QFileInfo(outFolder).absoluteFilePath();
    const QString target = outAbs + "/" + member;
    if (QFileInfo::exists(target)) {
        setError(error, tr("%1 already exists and is not overwritten.").arg(QDir::toNativeSeparators(target)));
        return false;
    }
    const QStringList args = {"e", "-tzip", "-p" + password, "-bd", "-y", "-aos", "-o" + outAbs, "--",
                              QFileInfo(archivePath).absoluteFilePath(), member};
    if (!run(args, QString(), m_timeoutMs > 0 ? m_timeoutMs : baseTimeoutMs, archivePath, error)) {
        // A wrong password or a damaged entry leaves a partial file behind; it did not exist before.
        QFile::remove(target);
        return false;
    }
    if (!QFileInfo(target).isFile()) {
        setError(error, tr("The archive %1 holds no %2.").arg(QDir::toNativeSeparators(archivePath), member));
        return false;
    }
    return true;
}

bool Archiver::extractFlat(const QString &archivePath, const QStringList &members, const QString &outFolder,
                           const QString &password, QString *error) const
{
    if (members.isEmpty())
        return true;
    if (!QFileInfo(archivePath).isFile()) {
        setError(error, tr("The archive %1 does not exist.").arg(QDir::toNativeSeparators(archivePath)));
        return false;
    }
    const QString outAbs = QFileInfo(outFolder).absoluteFilePath();
    for (const QString &member : members) {
        if (!isPlainName(member)) {
            setError(error, tr("\"%1\" is not a valid name of a package entry.").arg(member));
            return false;
        }
        if (QFileInfo::exists(outAbs + "/" + member)) {
            setError(error, tr("%1 already exists and is not overwritten.")
                                .arg(QDir::toNativeSeparators(outAbs + "/" + member)));
            return false;
        }
    }
    QStringList args = {"e", "-tzip", "-p" + password, "-bd", "-y", "-aos", "-o" + outAbs, "--",
                        QFileInfo(archivePath).absoluteFilePath()};
    args += members;
    const int timeout = m_timeoutMs > 0 ? m_timeoutMs : baseTimeoutMs + 100 * int(qMin(members.size(), 36000));
    return run(args, QString(), timeout, archivePath, error);
}

bool Archiver::extractWithPaths(const QString &archivePath, const QString &outFolder, const QString &memberName,
                                QString *error) const
{
    if (!isPlainName(memberName)) {
        setError(error, tr("\"%1\" is not a valid name of an archive entry.").arg(memberName));
        return false;
    }
    if (!QFileInfo(archivePath).isFile()) {
        setError(error, tr("The archive %1 does not exist.").arg(QDir::toNativeSeparators(archivePath)));
        return false;
    }
    const QStringList args = {"x", "-tzip", "-bd", "-y", "-aoa", "-r", "-o" + QFileInfo(outFolder).absoluteFilePath(),
                              "--", QFileInfo(archivePath).absoluteFilePath(), memberName};
    return run(args, QString(), m_timeoutMs > 0 ? m_timeoutMs : baseTimeoutMs, archivePath, error);
}

bool Archiver::list(const QString &archivePath, const QString &password, QList<ArchiveMember> *members,
                    QString *error) const
{
    members->clear();
    if (!QFileInfo(archivePath).isFile()) {
        setError(error, tr("The archive %1 does not exist.").arg(QDir::toNativeSeparators(archivePath)));
        return false;
    }
    const QStringList args = {"l", "-slt", "-tzip", "-p" + password, "-bd", "--",
                              QFileInfo(archivePath).absoluteFilePath()};
    QByteArray output;
    if (!run(args, QString(), m_timeoutMs > 0 ? m_timeoutMs : baseTimeoutMs, archivePath, error, &output))
        return false;
    // Technical listing: after the "----------" line, one block of "Key = value" lines per member.
    const QList<QByteArray> lines = output.split('\n');
    bool inMembers = false;
    ArchiveMember current;
    bool open = false;
    auto close = [&] {
        if (open)
            members->append(current);
        current = ArchiveMember();
        open = false;
    };
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!inMembers) {
            inMembers = line.startsWith("----------");
            continue;
        }
        if (line.isEmpty()) {
            close();
            continue;
        }
        const int eq = line.indexOf(" = ");
        const QByteArray key = eq < 0 ? line.trimmed() : line.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : line.mid(eq + 3);
        if (key == "Path") {
            close();
            current.path = QString::fromUtf8(value);
            open = true;
        } else if (key == "Size") {
            current.sizeBytes = value.trimmed().toLongLong();
        } else if (key == "Folder") {
            current.isFolder = value.trimmed() == "+";
        } else if (key == "Attributes") {
            const QList<QByteArray> words = value.trimmed().split(' ');
            current.isLink = !words.isEmpty() && words.last().startsWith('l');
            if (!words.isEmpty() && words.first().contains('D'))
                current.isFolder = true;
        }
    }
    close();
    return true;
}

bool Archiver::run(const QStringList &arguments, const QString &workingFolder, int timeoutMs,
                   const QString &archivePath, QString *error, QByteArray *outputOut) const
{
    const QString archive = QDir::toNativeSeparators(archivePath);
    ToolProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(m_program, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(10000)) {
        setError(error, tr("The archive tool \"%1\" could not be started (%2); %3 was not processed. "
                           "Install the package p7zip-full.")
                            .arg(m_program, process.errorString(), archive));
        return false;
    }
    // The tool must never sit waiting for an answer on its input.
    process.closeWriteChannel();

    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(50)) {
        output += process.readAll();
        if (process.state() == QProcess::NotRunning)
            break;
        const bool abandoned = m_wait && !m_wait();
        if (abandoned || clock.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished(5000);
            setError(error, abandoned ? tr("Work on %1 was cancelled.").arg(archive)
                                      : tr("The archive tool did not finish %1 within %2 s.")
                                            .arg(archive).arg(timeoutMs / 1000));
            return false;
        }
    }
    output += process.readAll();
    if (outputOut)
        *outputOut = output;
    if (process.exitStatus() != QProcess::NormalExit) {
        setError(error, tr("The archive tool stopped unexpectedly while working on %1.").arg(archive));
        return false;
    }
    if (process.exitCode() != 0) {
        setError(error, tr("The archive tool failed on %1 (exit code %2): %3")
                            .arg(archive).arg(process.exitCode()).arg(tail(output)));
        return false;
    }
    return true;
}

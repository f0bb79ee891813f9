#include "app/LogFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdlib>

namespace {
FILE *g_logStream = nullptr;
}

QString logFileName(const QDateTime &when)
{
    return QStringLiteral("debug_") + when.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".log");
}

bool openLogFile(const QString &path)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!f)
        return false;
    g_logStream = f;
    return true;
}

void setLogStream(FILE *stream)
{
    g_logStream = stream;
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    FILE *out = g_logStream;
    if (out) {
        const QByteArray stamp = QDateTime::currentDateTime().toString(QStringLiteral("MM-dd hh:mm:ss")).toLocal8Bit();
        const QByteArray text = message.toLocal8Bit();
        // One formatted write per line: stdio locks the stream for each call, so lines
        // from the loader threads never interleave inside a line.
        switch (type) {
        case QtDebugMsg:
            std::fprintf(out, "%s Debug: %s\n", stamp.constData(), text.constData());
            break;
        case QtWarningMsg:
            std::fprintf(out, "%s Warning: %s\n", stamp.constData(), text.constData());
            break;
        case QtCriticalMsg:
            std::fprintf(out, "%s Critical: %s\n", stamp.constData(), text.constData());
            break;
        case QtFatalMsg:
            std::fprintf(out, "%s Fatal: %s\n", stamp.constData(), text.constData());
            break;
        case QtInfoMsg:
            std::fprintf(out, "%s Info: %s\n", stamp.constData(), text.constData());
            break;
        default:
            std::fprintf(out, "%s ", stamp.constData());
            break;
        }
        std::fflush(out);
    }
    if (type == QtFatalMsg)
        std::abort();
}

int pruneLogFiles(const QString &folder, int keep)
{
    QDir dir(folder);
    const QStringList filters{QStringLiteral("debug*.log")};
    int removed = 0;
    QStringList logs = dir.entryList(filters, QDir::Files, QDir::Name);
    while (logs.size() > keep) {
        // A file that cannot be removed stops the clean-up instead of being retried forever.
        if (!dir.remove(logs.first()))
            break;
        ++removed;
        logs = dir.entryList(filters, QDir::Files, QDir::Name);
    }
    return removed;
}

#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <cstdio>

// The process-wide log: one file per run in the data folder, written by a message
// handler that every qDebug/qWarning/... of the program and of Qt goes through.

// "debug_" + time as "yyyyMMdd_HHmmss" + ".log".
QString logFileName(const QDateTime &when);

// Opens (truncating) the file the handler writes to. False when it cannot be opened;
// messages are then discarded and the program runs on.
bool openLogFile(const QString &path);

// Directs the handler to an already open stream (nullptr discards messages). Not owned.
void setLogStream(FILE *stream);

// The message handler: "MM-dd hh:mm:ss" + " " + level prefix + message + "\n", flushed.
// A fatal message aborts the process after its line is written.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Keeps the `keep` newest "debug*.log" files of the folder (by name, i.e. by time stamp)
// and deletes the older ones. Returns how many were deleted.
int pruneLogFiles(const QString &folder, int keep = 5);

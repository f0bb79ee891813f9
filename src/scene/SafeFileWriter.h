#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writes a file through a temporary file that replaces the old one only when every byte has
// reached the disk. QSaveFile alone is not enough: when the disk fills up part-way through
// a buffered write it can report success for a cut-off file, so this writer does its own
// buffering and checks the count of every write.
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString &path) : m_file(path) {}
    ~SafeFileWriter();

    bool open();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Makes the new file the file; false (the old one untouched) when anything failed.
    bool commit();
    // The system's reason for the first failure.
    QString errorString() const { return m_error; }

private:
    bool flush();
    bool fail(const QString &why);

    QSaveFile m_file;
    QByteArray m_buffer;
    QString m_error;
    bool m_failed = false;
};

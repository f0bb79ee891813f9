#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// A settings or profile file in Qt's INI format, read as text only.
//
// QSettings turns values such as "@Variant(…)" into typed values through a data stream while
// it parses the file; a broken length inside one makes it allocate without bound and the
// program dies before it sees a single value. This reader understands the same lines, groups,
// escapes and quotes, but never decodes a typed value: "@Variant(…)", "@Rect(…)" and the like
// read as absent and are listed in problems(), so the callers' defaults apply.
class IniFile
{
public:
    IniFile() = default;
    // Parses the whole text. Lines that are neither a group, a key nor a comment are skipped
    // and listed in problems().
    explicit IniFile(const QByteArray &text);

    // Group names in sorted order ("10" before "2"), as QSettings lists them.
    QStringList childGroups() const;
    // Keys directly inside a group, in sorted order.
    QStringList childKeys(const QString &group) const;

    bool contains(const QString &group, const QString &key) const;
    // The value as the user wrote it: escapes resolved, quotes removed, outer white space
    // dropped, commas kept as written. Empty when absent or refused.
    QString value(const QString &group, const QString &key) const;

    // One line per skipped line or refused value ("line 4: …"), for the log.
    const QStringList &problems() const { return m_problems; }

private:
    void parse(const QByteArray &text);

    QMap<QString, QString> m_values;   // "group/key" → text; keys outside any group have no prefix
    QStringList m_problems;
};

// Logs the file's problems as warnings, "<what>: line 4: …", at most ten and a count of the rest.
void logIniProblems(const QString &what, const IniFile &file);

#include "config/IniFile.h"

#include <QDebug>

namespace {

bool isIniSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isSpecial(char c)
{
    return c == '=' || c == '\n' || c == '\r' || c == '\\' || c == '"' || c == ';';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Plain bytes of a value as UTF-8, as Qt reads settings files declared UTF-8: hand-edited
// files are written that way, and bytes that are no UTF-8 become replacement characters.
QString decodeBytes(const char *b, int n)
{
    return QString::fromUtf8(b, n);
}

// One logical line: leading white space skipped, a line continued by "\" + line end or by an
// open quote, a ";" outside quotes starting a comment. False at the end of the text.
bool readLine(const QByteArray &data, int &pos, int &lineStart, int &lineLen, int &equalsPos)
{
    const int dataLen = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = pos;
    while (lineStart < dataLen && isIniSpace(data[lineStart]))
        ++lineStart;
    int i = lineStart;
    while (i < dataLen) {
        const char ch = data[i];
        if (!isSpecial(ch)) {
            ++i;
            continue;
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < dataLen) {
                const char c1 = data[i++];
                if (i < dataLen) {
                    const char c2 = data[i];
                    if ((c1 == '\n' && c2 == '\r') || (c1 == '\r' && c2 == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < dataLen && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < dataLen && isIniSpace(data[i]))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

// Group and key names: "%XX" and "%UXXXX" escapes, "\" as the group separator.
QString unescapeKey(const QByteArray &data, int from, int to)
{
    QString out;
    int i = from;
    while (i < to) {
        const char ch = data[i];
        if (ch == '\\') {
            out += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == to - 1) {
            out += QLatin1Char(ch);
            ++i;
            continue;
        }
        int first = i + 1;
        int digits = 2;
        if (data[first] == 'U') {
            ++first;
            digits = 4;
        }
        ushort code = 0;
        bool ok = first + digits <= to;
        for (int k = 0; ok && k < digits; ++k) {
            const int v = hexValue(data[first + k]);
            ok = v >= 0;
            code = ushort(code * 16 + (ok ? v : 0));
        }
        if (!ok) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        out += QChar(code);
        i = first + digits;
    }
    return out;
}

// A value: escapes ("\n", "\x41", "\101", "\" + line end), quotes that keep white space
// and separators, outer white space dropped. Commas stay as written.
QString unescapeValue(const QByteArray &data, int from, int to)
{
    QString out;
    bool inQuotes = false;
    bool quoted = false;
    int chopLimit = 0;
    int i = from;
    auto skipSpaces = [&] {
        while (i < to && (data[i] == ' ' || data[i] == '\t'))
            ++i;
    };
    skipSpaces();
    while (i < to) {
        const char ch = data[i];
        if (ch == '\\') {
            ++i;
            if (i >= to) {
                // A lone "\" at the very end keeps the white space before it.
                chopLimit = out.size();
                break;
            }
            const char e = data[i++];
            switch (e) {
            case 'a': out += QLatin1Char('\a'); break;
            case 'b': out += QLatin1Char('\b'); break;
            case 'f': out += QLatin1Char('\f'); break;
            case 'n': out += QLatin1Char('\n'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 't': out += QLatin1Char('\t'); break;
            case 'v': out += QLatin1Char('\v'); break;
            case '"':
            case '?':
            case '\'':
            case '\\': out += QLatin1Char(e); break;
            case 'x': {
                // As many hex digits as follow; the code keeps its low 16 bits.
                uint code = 0;
                bool any = false;
                while (i < to && hexValue(data[i]) >= 0) {
                    code = ((code << 4) | uint(hexValue(data[i]))) & 0xFFFFu;
                    any = true;
                    ++i;
                }
                if (any)
                    out += QChar(ushort(code));
                break;
            }
            case '\n':
            case '\r':
                if (i < to && (data[i] == '\n' || data[i] == '\r') && data[i] != e)
                    ++i;
                break;
            default:
                if (e >= '0' && e <= '7') {
                    uint code = uint(e - '0');
                    while (i < to && data[i] >= '0' && data[i] <= '7') {
                        code = ((code << 3) | uint(data[i] - '0')) & 0xFFFFu;
                        ++i;
                    }
                    out += QChar(ushort(code));
                }
                // any other escaped character is dropped
                break;
            }
            chopLimit = out.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            chopLimit = out.size();
            if (!inQuotes)
                skipSpaces();
        } else {
            int j = i + 1;
            while (j < to && data[j] != '\\' && data[j] != '"')
                ++j;
            out += decodeBytes(data.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted) {
        int n = out.size();
        while (n > chopLimit && (out[n - 1] == QLatin1Char(' ') || out[n - 1] == QLatin1Char('\t')))
            --n;
        out.truncate(n);
    }
    return out;
}

// "a//b/" → "a/b", as QSettings normalises key paths.
QString normalizedPath(const QString &path)
{
    // Most paths are plain already; splitting each one would cost most of a file's read.
    if (!path.startsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('/')) && !path.contains(QLatin1String("//")))
        return path;
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

} // namespace

IniFile::IniFile(const QByteArray &text)
{
    parse(text);
}

void IniFile::parse(const QByteArray &data)
{
    QString section;          // "" or "name/"
    int pos = 0;
    int lineNo = 1;
    int counted = 0;          // newlines are counted up to here
    int lineStart = 0;
    int lineLen = 0;
    int equalsPos = -1;
    while (readLine(data, pos, lineStart, lineLen, equalsPos)) {
        for (; counted < lineStart; ++counted)
            lineNo += data[counted] == '\n';
        auto problem = [&](const QString &what) {
            m_problems << QStringLiteral("line %1: %2").arg(lineNo).arg(what);
        };
        if (data[lineStart] == '[') {
            const int close = data.indexOf(']', lineStart);
            int nameEnd = close;
            if (close == -1 || close >= lineStart + lineLen) {
                problem(QStringLiteral("a group name without \"]\""));
                nameEnd = lineStart + lineLen;
            }
            const QByteArray name = data.mid(lineStart + 1, nameEnd - lineStart - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1)) + QLatin1Char('/');
            else
                section = unescapeKey(name, 0, name.size()) + QLatin1Char('/');
            continue;
        }
        if (equalsPos == -1) {
            problem(QStringLiteral("neither a group nor a key"));
            continue;
        }
        int keyEnd = equalsPos;
        while (keyEnd > lineStart && (data[keyEnd - 1] == ' ' || data[keyEnd - 1] == '\t'))
            --keyEnd;
        const QString key = normalizedPath(section + unescapeKey(data, lineStart, keyEnd));
        if (key.isEmpty() || normalizedPath(section) == key) {
            problem(QStringLiteral("a value without a key"));
            continue;
        }
        QString value = unescapeValue(data, equalsPos + 1, lineStart + lineLen);

        if (value.startsWith(QLatin1Char('@'))) {
            static const char *const typed[] = {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("};
            bool refused = value == QLatin1String("@Invalid()");
            for (const char *t : typed)
                refused = refused || (value.startsWith(QLatin1String(t)) && value.endsWith(QLatin1Char(')')));
            if (refused) {
                // The earlier value of a repeated key is gone too: this line replaced it.
                m_values.remove(key);
                problem(QStringLiteral("the value of %1 is a typed value, which is not read").arg(key));
                continue;
            }
            if (value.endsWith(QLatin1Char(')')) && value.startsWith(QLatin1String("@ByteArray(")))
                value = value.mid(11).chopped(1);
            else if (value.endsWith(QLatin1Char(')')) && value.startsWith(QLatin1String("@String(")))
                value = value.mid(8).chopped(1);
            else if (value.startsWith(QLatin1String("@@")))
                value.remove(0, 1);
        }
        m_values.insert(key, value);
    }
}

QStringList IniFile::childGroups() const
{
    QStringList groups;
    QString last;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        const int slash = it.key().indexOf(QLatin1Char('/'));
        if (slash < 0)
            continue;
        const QString group = it.key().left(slash);
        if (group != last) {
            groups << group;
            last = group;
        }
    }
    // Keys are sorted, so equal groups are mostly adjacent; a group like "a" can still be
    // split by "a-b/…" keys between "a/x" and "a/y".
    groups.removeDuplicates();
    groups.sort();
    return groups;
}

QStringList IniFile::childKeys(const QString &group) const
{
    const QString prefix = group.isEmpty() ? QString() : normalizedPath(group) + QLatin1Char('/');
    QStringList keys;
    for (auto it = m_values.lowerBound(prefix); it != m_values.constEnd(); ++it) {
        if (!it.key().startsWith(prefix))
            break;
        const QString rest = it.key().mid(prefix.size());
        if (!rest.contains(QLatin1Char('/')))
            keys << rest;
    }
    return keys;
}

bool IniFile::contains(const QString &group, const QString &key) const
{
    return m_values.contains(normalizedPath(group + QLatin1Char('/') + key));
}

QString IniFile::value(const QString &group, const QString &key) const
{
    return m_values.value(normalizedPath(group + QLatin1Char('/') + key));
}

void logIniProblems(const QString &what, const IniFile &file)
{
    const QStringList &problems = file.problems();
    const int shown = qMin(problems.size(), 10);
    for (int i = 0; i < shown; ++i)
        qWarning().noquote() << what + QStringLiteral(": ") + problems[i] + QStringLiteral(" (skipped)");
    if (problems.size() > shown)
        qWarning().noquote() << what + QStringLiteral(": %1 more lines skipped").arg(problems.size() - shown);
}

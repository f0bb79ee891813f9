#include "update/FvVersionComparator.h"

#include <QByteArray>
#include <QStringList>

namespace {

// Older types first: a string is older than a separator, a separator older than a number.
enum class PartType { String = 0, Separator = 1, Number = 2 };

PartType typeOf(QChar c)
{
    if (c == QLatin1Char('.') || c.isSpace() || c.isPunct())
        return PartType::Separator;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return PartType::Number;
    return PartType::String;
}

struct Part
{
    PartType type;
    QString text;
};

QList<Part> splitVersion(const QString &version)
{
    QList<Part> parts;
    for (const QChar c : version) {
        const PartType t = typeOf(c);
        if (!parts.isEmpty() && parts.last().type == t && t != PartType::Separator)
            parts.last().text += c;
        else
            parts.append(Part{t, QString(c)});
    }
    return parts;
}

int sign(int v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Decimal values of any length: without leading zeros, the longer is larger.
int compareNumbers(QString a, QString b)
{
    while (a.size() > 1 && a.startsWith(QLatin1Char('0')))
        a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(QLatin1Char('0')))
        b.remove(0, 1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return sign(a.compare(b));
}

} // namespace

int compareVersions(const QString &a, const QString &b)
{
    const QList<Part> pa = splitVersion(a);
    const QList<Part> pb = splitVersion(b);
    const int common = qMin(pa.size(), pb.size());
    for (int i = 0; i < common; ++i) {
        const Part &x = pa[i];
        const Part &y = pb[i];
        if (x.type != y.type)
            return int(x.type) < int(y.type) ? -1 : 1;
        int r = 0;
        if (x.type == PartType::Number)
            r = compareNumbers(x.text, y.text);
        else if (x.type == PartType::String)
            r = sign(qstrcmp(x.text.toUtf8(), y.text.toUtf8()));
        if (r != 0)
            return r;
    }
    if (pa.size() == pb.size())
        return 0;
    const bool aLonger = pa.size() > pb.size();
    const Part &extra = aLonger ? pa[common] : pb[common];
    const int longerIsNewer = extra.type == PartType::String ? -1 : 1;
    return aLonger ? longerIsNewer : -longerIsNewer;
}

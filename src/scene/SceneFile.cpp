#include "scene/SceneFile.h"

#include <QFileInfo>
#include <QHash>
#include <cmath>

#include "scene/SafeFileWriter.h"
#include "scene/Scene.h"

namespace {

// Asprintf formats in the C locale whatever the user's language, so "." is the decimal point.
QByteArray f3(const char *key, QVector3D v)
{
    return QString::asprintf("%s %f %f %f\n", key, double(v.x()), double(v.y()), double(v.z())).toUtf8();
}

bool isStored(const Object &o) { return o.type == TypeModel || o.type == TypeBase || o.type == TypeSupport; }

// The size line of a base; it also tells the reader which kind to make.
QVector3D baseSizeLine(const Object &o)
{
    const QVector3D extent = o.maxCorner - o.minCorner;
    if (o.name == QLatin1String("GlobalBase"))
        return QVector3D(1, 1, o.baseSize.z() > 0 ? o.baseSize.z() : extent.z());
    if (o.name == QLatin1String("RingBase"))
        return QVector3D(0, 0, o.maxCorner.z());   // the height it was cut at
    // A rectangular base's corners rise above its thickness; the size it was made with
    // keeps it from growing with every save.
    if (o.baseSize.x() > 0 && o.baseSize.y() > 0 && o.baseSize.z() > 0)
        return o.baseSize;
    return extent;
}

} // namespace

QByteArray sceneFileText(const Scene &scene)
{
    // Stored objects are numbered 1, 2, … in list order; anything else reads as 0.
    QHash<int, int> storedId;
    for (int i = 1; i < scene.objectCount(); ++i)
        if (isStored(*scene.object(i)))
            storedId.insert(i, storedId.size() + 1);
    auto idOf = [&](int id) { return storedId.value(id, 0); };

    QByteArray out;
    for (int i = 1; i < scene.objectCount(); ++i) {
        const Object &o = *scene.object(i);
        if (o.type == TypeModel) {
            out += "#object\n";
            out += "filename " + o.filename.toUtf8() + "\n";
            out += f3("scale", o.scale);
            out += f3("move", o.move);
            out += f3("rotation", o.rotation);
            out += QByteArray("isShow ") + (o.isShow ? "1" : "0") + "\n";
            out += QByteArray("selectable ") + (o.selectable ? "1" : "0") + "\n";
            out += QByteArray("flip ") + (o.flip ? "1" : "0") + "\n";
            out += QString::asprintf("opacity %f\n", double(o.opacity)).toUtf8();
            out += "parent " + QByteArray::number(idOf(o.parent)) + "\n";
            out += QString::asprintf("moveZoff %f\n", double(o.moveZoff)).toUtf8();
            out += "groupId " + QByteArray::number(o.groupId) + "\n";
        } else if (o.type == TypeBase) {
            out += "#baseplate\n";
            out += f3("size", baseSizeLine(o));
            out += f3("move", o.move);
            out += f3("scale", o.scale);
            out += "parent " + QByteArray::number(idOf(o.parent)) + "\n";
        } else if (o.type == TypeSupport) {
            const spUnit &u = o.support;
            out += "#support\n";
            out += "selId " + QByteArray::number(idOf(u.tipObjectId)) + " " + QByteArray::number(idOf(u.footObjectId))
                   + " " + QByteArray::number(idOf(o.parent)) + " " + (u.thinTip ? "1" : "0") + "\n";
            out += "radii ";
            for (float r : u.radii)
                out += QString::asprintf("%f ", double(r)).toUtf8();
            out += "\n";
            for (int k = 0; k < u.points.size(); ++k) {
                const QVector3D p = u.points[k] + o.move;
                out += QString::asprintf("point%d %f %f %f\n", k, double(p.x()), double(p.y()), double(p.z()))
                           .toUtf8();
            }
        }
    }
    return out;
}

bool writeSceneFile(const Scene &scene, const QString &path, QString *error)
{
    SafeFileWriter file(path);
    if (!file.open() || !file.write(sceneFileText(scene)) || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

namespace {

// Lines of the text, trimmed, with one line that can be put back.
class LineSource
{
public:
    explicit LineSource(const QByteArray &text) : m_text(text) {}

    // False at the end of the text or at an empty line, which ends reading.
    bool next(QString *line)
    {
        if (m_hasPending) {
            m_hasPending = false;
            *line = m_pending;
            return !line->isEmpty();
        }
        if (m_pos >= m_text.size())
            return false;
        int end = m_text.indexOf('\n', m_pos);
        if (end < 0)
            end = m_text.size();
        *line = QString::fromUtf8(m_text.constData() + m_pos, end - m_pos).trimmed();
        m_pos = end + 1;
        return !line->isEmpty();
    }
    void putBack(const QString &line)
    {
        m_pending = line;
        m_hasPending = true;
    }
    qint64 position() const { return std::min<qint64>(m_pos, m_text.size()); }

private:
    const QByteArray &m_text;
    int m_pos = 0;
    QString m_pending;
    bool m_hasPending = false;
};

bool startsBlock(const QString &line)
{
    return line.startsWith("#object") || line.startsWith("#basepl") || line.startsWith("#suppor");
}

// Fields split at single spaces; a field that is missing or does not parse reads as 0.
float field(const QStringList &fields, int i)
{
    return i < fields.size() ? fields[i].toFloat() : 0.0f;
}
int intField(const QStringList &fields, int i)
{
    return i < fields.size() ? fields[i].toInt() : 0;
}
QVector3D vec(const QString &line)
{
    const QStringList f = line.split(' ');
    return QVector3D(field(f, 1), field(f, 2), field(f, 3));
}
float value(const QString &line) { return field(line.split(' '), 1); }
// An id or group: a written "3", but also "3.000000" from other writers; anything that is no
// number in the int range reads as 0.
int intValue(const QString &line)
{
    const QString text = line.split(' ').value(1);
    bool ok = false;
    const int i = text.toInt(&ok);
    if (ok)
        return i;
    const double d = text.toDouble(&ok);
    return ok && std::isfinite(d) && std::abs(d) < 2e9 ? int(d) : 0;
}

bool finite(QVector3D v) { return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z()); }

// Reads one more property line; an early end or the start of the next block ends the block.
bool propertyLine(LineSource &src, QString *line)
{
    if (!src.next(line))
        return false;
    if (startsBlock(*line)) {
        src.putBack(*line);
        return false;
    }
    return true;
}

// The optional line `key` of a block: its value when the next line has it; otherwise the line
// stays for the next reader.
bool optionalLine(LineSource &src, const char *key, QString *line)
{
    if (!src.next(line))
        return false;
    if (line->split(' ').value(0).startsWith(QLatin1String(key)))
        return true;
    src.putBack(*line);
    return false;
}

constexpr int kMostSupportPoints = 10000;

void readModel(LineSource &src, SceneFileModel &m)
{
    QString line;
    if (!propertyLine(src, &line))
        return;
    const int space = line.indexOf(' ');
    m.path = space < 0 ? QString() : line.mid(space + 1);
    QStringList props;
    for (int k = 0; k < 7 && propertyLine(src, &line); ++k)
        props << line;
    props.reserve(7);
    while (props.size() < 7)
        props << QString();
    m.scale = vec(props[0]);
    m.move = vec(props[1]);
    m.rotation = vec(props[2]);
    m.isShow = value(props[3]) > 0;
    m.selectable = value(props[4]) > 0;
    m.flip = value(props[5]) > 0;
    m.opacity = value(props[6]);
    // A placement that is no number would make an object nobody can see, measure or slice.
    if (!finite(m.scale) || m.scale.x() == 0 || m.scale.y() == 0 || m.scale.z() == 0)
        m.scale = QVector3D(1, 1, 1);
    if (!finite(m.move))
        m.move = QVector3D();
    if (!finite(m.rotation))
        m.rotation = QVector3D();
    if (!std::isfinite(m.opacity))
        m.opacity = 1.0f;
    if (optionalLine(src, "parent", &line))
        m.parent = intValue(line);
    if (optionalLine(src, "moveZo", &line))
        m.moveZoff = value(line);
    if (optionalLine(src, "groupId", &line)) {
        const int g = intValue(line);
        m.groupId = g >= 0 ? g : -1;
    }
}

void readBase(LineSource &src, SceneFileBase &b)
{
    QString line;
    if (!propertyLine(src, &line))
        return;
    b.size = vec(line);
    if (!propertyLine(src, &line))
        return;
    b.move = vec(line);
    if (!propertyLine(src, &line))
        return;
    if (line.split(' ').value(0) == QLatin1String("scale")) {
        b.scale = vec(line);
        if (!propertyLine(src, &line))
            return;
    }
    b.parent = intValue(line);
    if (!finite(b.move))
        b.move = QVector3D();
    if (!finite(b.scale))
        b.scale = QVector3D(1, 1, 1);
}

// False when the record cannot make a sound support.
bool readSupport(LineSource &src, SceneFileSupport &s, QString *problem)
{
    QString line;
    if (!propertyLine(src, &line))
        return false;
    const QStringList ids = line.split(' ');
    s.tip = intField(ids, 1);
    s.foot = intField(ids, 2);
    s.parent = intField(ids, 3);
    s.thinTip = ids.size() > 4 && ids[4].toInt() == 1;
    if (!propertyLine(src, &line))
        return false;
    const QStringList radii = line.split(' ', Qt::SkipEmptyParts);
    if (radii.size() - 1 > kMostSupportPoints) {
        *problem = QString("A support with %1 points was skipped.").arg(radii.size() - 1);
        // Its point lines are passed over as ordinary lines.
        return false;
    }
    for (int k = 1; k < radii.size(); ++k)
        s.radii << radii[k].toFloat();
    for (int k = 0; k < s.radii.size() && propertyLine(src, &line); ++k)
        s.points << vec(line);
    if (s.radii.size() < 2 || s.points.size() != s.radii.size()) {
        *problem = QString("A support with %1 points and %2 radii was skipped.").arg(s.points.size()).arg(s.radii.size());
        return false;
    }
    for (int k = 0; k < s.points.size(); ++k) {
        if (!finite(s.points[k]) || !std::isfinite(s.radii[k]) || !(s.radii[k] > 0)) {
            *problem = QString("A support with a point or radius that is not a usable number was skipped.");
            return false;
        }
    }
    return true;
}

} // namespace

SceneDocument parseSceneFile(const QByteArray &text)
{
    SceneDocument doc;
    LineSource src(text);
    QString line;
    while (src.next(&line)) {
        SceneFileBlock block;
        if (line.startsWith("#object")) {
            block.kind = SceneFileBlock::Model;
            readModel(src, block.model);
        } else if (line.startsWith("#basepl")) {
            block.kind = SceneFileBlock::Base;
            readBase(src, block.base);
        } else if (line.startsWith("#suppor")) {
            block.kind = SceneFileBlock::Support;
            QString problem;
            if (!readSupport(src, block.support, &problem)) {
                if (problem.isEmpty())
                    problem = QStringLiteral("A support cut short by the end of the file was skipped.");
                doc.problems << problem;
                block.skipped = true;
            }
        } else {
            continue;
        }
        block.endOffset = src.position();
        doc.blocks << block;
    }
    return doc;
}

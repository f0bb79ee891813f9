#include "scene/ThreeMfReader.h"

#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>
#include <array>
#include <cmath>
#include <limits>
#include <new>

#include "scene/ZipReader.h"

namespace {

// Component nesting deeper than this is taken for a loop or an attack, not a design.
constexpr int maxComponentDepth = 32;
// The build may place one object many times; beyond this the scene could not be sliced anyway.
constexpr qint64 maxPlacedTriangles = 50'000'000;

// x' = A·x + t, read from the 3MF row-vector form "m00 m01 m02 m10 … m32".
struct Affine
{
    std::array<double, 9> a{1, 0, 0, 0, 1, 0, 0, 0, 1};   // row major
    std::array<double, 3> t{0, 0, 0};

    double determinant() const
    {
        return a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6]) +
               a[2] * (a[3] * a[7] - a[4] * a[6]);
    }
    // this ∘ inner: inner applied first.
    Affine after(const Affine &inner) const
    {
        Affine r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                r.a[i * 3 + j] = a[i * 3] * inner.a[j] + a[i * 3 + 1] * inner.a[3 + j] + a[i * 3 + 2] * inner.a[6 + j];
            r.t[i] = a[i * 3] * inner.t[0] + a[i * 3 + 1] * inner.t[1] + a[i * 3 + 2] * inner.t[2] + t[i];
        }
        return r;
    }
};

bool parseTransform(const QString &text, Affine *out)
{
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 12)
        return false;
    double m[12];
    for (int i = 0; i < 12; ++i) {
        bool ok = false;
        m[i] = parts.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(m[i]))
            return false;
    }
    // Row vector p·M: x' = m00·x + m10·y + m20·z + m30, so A's row i is column i of M.
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            out->a[i * 3 + j] = m[j * 3 + i];
        out->t[i] = m[9 + i];
    }
    return true;
}

struct Component
{
    QString objectId;
    QString path;          // another model part holding the object; empty: the same part
    Affine transform;
};

// A part name as the archive stores it: no leading "/", percent escapes decoded.
QString partPath(const QString &reference)
{
    QString path = QUrl::fromPercentEncoding(reference.trimmed().toUtf8());
    while (path.startsWith('/'))
        path.remove(0, 1);
    return path;
}

struct ParsedObject
{
    QString id;
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
    QList<Component> components;
    QString color;
    bool hasTriangles = false;
};

double unitToMm(const QString &unit)
{
    if (unit == QLatin1String("micron"))
        return 0.001;
    if (unit == QLatin1String("centimeter"))
        return 10.0;
    if (unit == QLatin1String("inch"))
        return 25.4;
    if (unit == QLatin1String("foot"))
        return 304.8;
    if (unit == QLatin1String("meter"))
        return 1000.0;
    return 1.0;   // millimeter, the default
}

// The element name without its namespace prefix, whatever prefix the writer chose.
QStringRef localName(const QXmlStreamReader &xml)
{
    const QStringRef q = xml.qualifiedName();
    const int colon = q.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? q : q.mid(colon + 1);
}

// An unprefixed attribute as a view into `attributes`, which must outlive it (the hot path
// of vertices and triangles, which would otherwise copy every number).
QStringRef plainAttribute(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.qualifiedName() == name)
            return a.value();
    }
    return QStringRef();
}

// A copy: the attribute list the reader hands out is a temporary.
QString attribute(const QXmlStreamReader &xml, const char *name)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.qualifiedName() == QLatin1String(name))
            return a.value().toString();
    }
    // Extension attributes carry a prefix ("p:path"); namespace declarations are not attributes.
    const QString suffix = QLatin1Char(':') + QLatin1String(name);
    for (const QXmlStreamAttribute &a : attributes) {
        const QStringRef q = a.qualifiedName();
        if (q.endsWith(suffix) && !q.startsWith(QLatin1String("xmlns:")))
            return a.value().toString();
    }
    return QString();
}

struct Bucket
{
    std::vector<float> vertices;
    std::vector<uint32_t> indices;
};

struct ParseState
{
    QList<ParsedObject> objects;
    QHash<QString, int> byId;
    QList<Component> buildItems;
    double unitMm = 1.0;
};

QString parseDocument(QXmlStreamReader &xml, ParseState &s, const ProgressFn &progress, qint64 totalBytes);

// Places objects, through their components (in this part or in other model parts), into one
// mesh per colour, in the order the colours are first placed.
class Builder
{
public:
    Builder(const ParseState &root, const ThreeMfPartReader &otherParts)
        : m_root(root), m_unitMm(root.unitMm), m_otherParts(otherParts)
    {
    }

    // partName empty: the root part.
    bool place(const QString &partName, const QString &objectId, const Affine &transform, int depth, QString *error)
    {
        if (depth > maxComponentDepth) {
            *error = QStringLiteral("object %1 is made of components nested more than %2 deep (or of itself)")
                         .arg(objectId).arg(maxComponentDepth);
            return false;
        }
        const ParseState *part = partNamed(partName, error);
        if (!part)
            return false;
        const auto it = part->byId.constFind(objectId);
        if (it == part->byId.constEnd()) {
            *error = QStringLiteral("the build refers to object %1, which %2 does not define")
                         .arg(objectId, partName.isEmpty() ? QStringLiteral("the file") : partName);
            return false;
        }
        const ParsedObject &o = part->objects.at(*it);
        if (o.hasTriangles && !placeMesh(o, transform, error))
            return false;
        for (const Component &c : o.components) {
            if (!place(c.path.isEmpty() ? partName : c.path, c.objectId, transform.after(c.transform), depth + 1, error))
                return false;
        }
        return true;
    }

    bool placeMesh(const ParsedObject &o, const Affine &m, QString *error)
    {
        const qint64 triangles = qint64(o.indices.size() / 3);
        if (m_triangles + triangles > maxPlacedTriangles) {
            *error = QStringLiteral("the build places more than %1 million triangles").arg(maxPlacedTriangles / 1000000);
            return false;
        }
        m_triangles += triangles;
        auto bucketIt = m_bucketOf.constFind(o.color);
        if (bucketIt == m_bucketOf.constEnd()) {
            bucketIt = m_bucketOf.insert(o.color, m_buckets.size());
            m_buckets.append(Bucket());
            m_colors << o.color;
        }
        Bucket &b = m_buckets[*bucketIt];
        const uint32_t base = uint32_t(b.vertices.size() / 3);
        const std::size_t n = o.vertices.size() / 3;
        b.vertices.reserve(b.vertices.size() + o.vertices.size());
        for (std::size_t k = 0; k < n; ++k) {
            const double x = o.vertices[3 * k], y = o.vertices[3 * k + 1], z = o.vertices[3 * k + 2];
            for (int r = 0; r < 3; ++r) {
                const double v = (m.a[r * 3] * x + m.a[r * 3 + 1] * y + m.a[r * 3 + 2] * z + m.t[r]) * m_unitMm;
                // Finite transforms and coordinates can still multiply past what a float holds.
                if (!(std::fabs(v) <= double(std::numeric_limits<float>::max()))) {
                    *error = QStringLiteral("object %1 is placed at coordinates too large to represent").arg(o.id);
                    return false;
                }
                b.vertices.push_back(float(v));
            }
        }
        // A mirroring placement turns the faces inside out unless the corners swap.
        const bool mirrored = m.determinant() < 0;
        b.indices.reserve(b.indices.size() + o.indices.size());
        for (std::size_t k = 0; k + 2 < o.indices.size(); k += 3) {
            b.indices.push_back(base + o.indices[k]);
            b.indices.push_back(base + o.indices[k + (mirrored ? 2 : 1)]);
            b.indices.push_back(base + o.indices[k + (mirrored ? 1 : 2)]);
        }
        return true;
    }

    void finish(ThreeMfModel &model)
    {
        for (int i = 0; i < m_buckets.size(); ++i) {
            Bucket &b = m_buckets[i];
            std::vector<uint32_t> reversed = reverseWinding(b.indices);
            model.meshes.append(Mesh(std::move(b.vertices), std::move(b.indices), std::move(reversed)));
            model.colors << m_colors.at(i);
        }
        model.placedTriangles = m_triangles;
    }

private:
    // A model part other than the root, read and parsed once (part names are case-insensitive).
    const ParseState *partNamed(const QString &name, QString *error)
    {
        if (name.isEmpty())
            return &m_root;
        const QString key = name.toLower();
        if (const auto it = m_parts.constFind(key); it != m_parts.constEnd())
            return it->get();
        QByteArray xml;
        if (!m_otherParts) {
            *error = QStringLiteral("a component refers to the model part %1, which is not available").arg(name);
            return nullptr;
        }
        if (!m_otherParts(name, &xml, error))
            return nullptr;
        auto state = std::make_shared<ParseState>();
        QXmlStreamReader reader(xml);
        reader.setNamespaceProcessing(false);
        const QString why = parseDocument(reader, *state, {}, xml.size());
        if (!why.isEmpty()) {
            *error = name + ": " + why;
            return nullptr;
        }
        m_parts.insert(key, state);
        return state.get();
    }

    const ParseState &m_root;
    double m_unitMm;
    const ThreeMfPartReader &m_otherParts;
    QHash<QString, std::shared_ptr<ParseState>> m_parts;
    QStringList m_colors;
    QHash<QString, int> m_bucketOf;
    QVector<Bucket> m_buckets;
    qint64 m_triangles = 0;
};

// One pass over the document; fills state or says why the document is not usable.
QString parseDocument(QXmlStreamReader &xml, ParseState &s, const ProgressFn &progress, qint64 totalBytes)
{
    ProgressMeter meter(progress);
    QString currentColor;
    bool colorGroupOpen = false;
    bool colorTaken = false;
    ParsedObject *object = nullptr;   // the object being read; QList keeps its address on append
    bool inResources = false, inBuild = false, inVertices = false, inTriangles = false, inComponents = false;
    qint64 tokens = 0;

    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if ((++tokens & 0xFFFF) == 0 && totalBytes > 0)
            meter.set(int(qMin<qint64>(99, xml.characterOffset() * 100 / totalBytes)));
        if (token == QXmlStreamReader::DTD)
            return QStringLiteral("the model part declares a document type, which 3MF files never do");
        if (token == QXmlStreamReader::EndElement) {
            const QStringRef name = localName(xml);
            if (name == QLatin1String("resources"))
                inResources = false;
            else if (name == QLatin1String("build"))
                inBuild = false;
            else if (name == QLatin1String("vertices"))
                inVertices = false;
            else if (name == QLatin1String("triangles"))
                inTriangles = false;
            else if (name == QLatin1String("components"))
                inComponents = false;
            else if (name == QLatin1String("colorgroup"))
                colorGroupOpen = false;
            else if (name == QLatin1String("object") && object)
                object = nullptr;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = localName(xml);
        if (name == QLatin1String("model")) {
            s.unitMm = unitToMm(attribute(xml, "unit"));
        } else if (name == QLatin1String("resources")) {
            inResources = true;
        } else if (name == QLatin1String("build")) {
            inBuild = true;
        } else if (inResources && name == QLatin1String("colorgroup")) {
            colorGroupOpen = true;
            colorTaken = false;
            currentColor.clear();
        } else if (colorGroupOpen && !colorTaken && name == QLatin1String("color")) {
            currentColor = attribute(xml, "color");
            colorTaken = true;
        } else if (inResources && name == QLatin1String("object")) {
            ParsedObject o;
            o.id = attribute(xml, "id");
            s.objects.append(o);
            object = &s.objects.last();
            if (!o.id.isEmpty())
                s.byId.insert(o.id, s.objects.size() - 1);
        } else if (object && name == QLatin1String("vertices")) {
            inVertices = true;
        } else if (object && name == QLatin1String("triangles")) {
            inTriangles = true;
        } else if (object && name == QLatin1String("components")) {
            inComponents = true;
        } else if (object && inVertices && name == QLatin1String("vertex")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const char *axis : {"x", "y", "z"}) {
                const QStringRef text = plainAttribute(attributes, QLatin1String(axis));
                const float value = text.isEmpty() ? 0.0f : text.toFloat();
                if (!std::isfinite(value))
                    return QStringLiteral("object %1 has a vertex coordinate that is not a finite number")
                        .arg(object->id);
                object->vertices.push_back(value);
            }
        } else if (object && inTriangles && name == QLatin1String("triangle")) {
            const qint64 count = qint64(object->vertices.size() / 3);
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const char *corner : {"v1", "v2", "v3"}) {
                bool ok = false;
                const qint64 v = plainAttribute(attributes, QLatin1String(corner)).toLongLong(&ok);
                if (!ok || v < 0 || v >= count)
                    return QStringLiteral("object %1 has a triangle with corner %2 = \"%3\", but %4 vertices")
                        .arg(object->id, QLatin1String(corner), attribute(xml, corner))
                        .arg(count);
                object->indices.push_back(uint32_t(v));
            }
            object->hasTriangles = true;
            // An object's colour is the one current when its triangles are read.
            object->color = currentColor;
        } else if (object && inComponents && name == QLatin1String("component")) {
            Component c;
            c.objectId = attribute(xml, "objectid");
            c.path = partPath(attribute(xml, "path"));
            const QString transform = attribute(xml, "transform");
            if (!transform.isEmpty() && !parseTransform(transform, &c.transform))
                return QStringLiteral("object %1 has a component with an unreadable transform").arg(object->id);
            object->components << c;
        } else if (inBuild && name == QLatin1String("item")) {
            Component c;
            c.objectId = attribute(xml, "objectid");
            c.path = partPath(attribute(xml, "path"));
            const QString transform = attribute(xml, "transform");
            if (!transform.isEmpty() && !parseTransform(transform, &c.transform))
                return QStringLiteral("a build item of object %1 has an unreadable transform").arg(c.objectId);
            s.buildItems << c;
        }
    }
    if (xml.hasError())
        return QStringLiteral("the model part is not valid XML (line %1: %2)")
            .arg(xml.lineNumber())
            .arg(xml.errorString());
    return QString();
}

} // namespace

Object::modelColor threeMfColorCode(const QString &color)
{
    // Colours are hexadecimal, so case does not matter; a fully opaque alpha is the same green.
    const bool green = color.compare(QLatin1String("#00FF00"), Qt::CaseInsensitive) == 0 ||
                       color.compare(QLatin1String("#00FF00FF"), Qt::CaseInsensitive) == 0;
    return Object::modelColor(green ? 1 : 0);
}

ThreeMfModel parse3mfModel(const QByteArray &bytes, const ProgressFn &progress, const ThreeMfPartReader &otherParts)
{
    ThreeMfModel model;
    try {
        QXmlStreamReader xml(bytes);
        // Prefixes are stripped by hand, so a file with an undeclared prefix still reads.
        xml.setNamespaceProcessing(false);
        ParseState s;
        model.error = parseDocument(xml, s, progress, bytes.size());
        if (!model.ok())
            return model;

        Builder builder(s, otherParts);
        if (s.buildItems.isEmpty()) {
            // No build: every mesh object once, where the file puts it.
            for (const ParsedObject &o : qAsConst(s.objects)) {
                if (o.hasTriangles && !builder.placeMesh(o, Affine(), &model.error))
                    return model;
            }
        } else {
            for (const Component &item : qAsConst(s.buildItems)) {
                if (!builder.place(item.path, item.objectId, item.transform, 0, &model.error))
                    return model;
            }
        }
        builder.finish(model);
        if (model.meshes.isEmpty())
            model.error = QStringLiteral("the 3MF file holds no objects with triangles");
    } catch (const std::bad_alloc &) {
        model = ThreeMfModel();
        model.error = QStringLiteral("not enough memory to read the file");
    }
    return model;
}

QString threeMfModelPartName(const QByteArray &archive, const ZipDirectory &dir)
{
    static const QString modelType = QStringLiteral("http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel");
    if (const ZipEntry *rels = dir.find(QStringLiteral("_rels/.rels"))) {
        QByteArray text;
        if (readZipEntry(archive, *rels, 16 * 1024 * 1024, &text, nullptr)) {
            QXmlStreamReader xml(text);
            xml.setNamespaceProcessing(false);
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement || localName(xml) != QLatin1String("Relationship"))
                    continue;
                if (attribute(xml, "Type").trimmed() != modelType)
                    continue;
                QString target = QUrl::fromPercentEncoding(attribute(xml, "Target").trimmed().toUtf8());
                while (target.startsWith('/'))
                    target.remove(0, 1);
                if (dir.find(target))
                    return dir.find(target)->name;
            }
        }
    }
    if (const ZipEntry *e = dir.find(QStringLiteral("3D/3dmodel.model")))
        return e->name;
    for (const ZipEntry &e : dir.entries) {
        if (e.name.section('/', -1).compare(QLatin1String("3dmodel.model"), Qt::CaseInsensitive) == 0)
            return e.name;
    }
    return QString();
}

ThreeMfModel read3mfArchive(const QByteArray &archive, const QString &displayName, QStringList *debugLines,
                            const ProgressFn &progress)
{
    ThreeMfModel model;
    const ZipDirectory dir = readZipDirectory(archive);
    if (!dir.ok()) {
        model.error = dir.error;
        *debugLines << QStringLiteral("Error loading XML file.");
        return model;
    }
    const QString part = threeMfModelPartName(archive, dir);
    if (part.isEmpty()) {
        model.error = QStringLiteral("the 3MF file has no model part (3D/3dmodel.model)");
        *debugLines << QStringLiteral("Error loading XML file.");
        return model;
    }
    *debugLines << QStringLiteral("Reading the model part %1 of %2").arg(part, displayName);
    const ZipEntry *entry = dir.find(part);
    const QString unsafe = unsafeMemberNameReason(entry->name);
    if (!unsafe.isEmpty() || entry->isLink) {
        model.error = unsafe.isEmpty() ? QStringLiteral("the model part %1 is a link").arg(part) : unsafe;
        *debugLines << QStringLiteral("Error loading XML file.");
        return model;
    }
    QByteArray xml;
    QString why;
    if (!readZipEntry(archive, *entry, maxThreeMfModelPartBytes, &xml, &why)) {
        model.error = why;
        *debugLines << QStringLiteral("Error loading XML file.");
        return model;
    }
    // Components may live in further model parts; together they get the one size budget.
    qint64 budget = maxThreeMfModelPartBytes - xml.size();
    const ThreeMfPartReader otherParts = [&](const QString &name, QByteArray *out, QString *error) {
        const ZipEntry *e = dir.find(name);
        if (!e) {
            *error = QStringLiteral("a component refers to the model part %1, which the file does not hold").arg(name);
            return false;
        }
        const QString unsafe = unsafeMemberNameReason(e->name);
        if (!unsafe.isEmpty() || e->isLink) {
            *error = unsafe.isEmpty() ? QStringLiteral("the model part %1 is a link").arg(name) : unsafe;
            return false;
        }
        if (!readZipEntry(archive, *e, budget, out, error))
            return false;
        budget -= out->size();
        return true;
    };
    model = parse3mfModel(xml, progress, otherParts);
    if (!model.ok() && model.error.startsWith(QLatin1String("the model part is not valid XML")))
        *debugLines << QStringLiteral("Error setting content.");
    return model;
}

#include "package/PackageImport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>

#include <cmath>

#include "scene/ZipReader.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackageImport", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The value after the first "=", trimmed; the key itself is not checked.
QString headerValue(const QString &line)
{
    const int eq = line.indexOf('=');
    return eq < 0 ? QString() : line.mid(eq + 1).trimmed();
}

// A number of the schedule; "nan", "inf" and overflowing values are no numbers, so no
// exposure or height can come out infinite.
double finiteNumber(const QString &text, bool *ok)
{
    bool read = false;
    const double v = text.toDouble(&read);
    *ok = read && std::isfinite(v);
    return *ok ? v : 0.0;
}

double headerNumber(const QString &line)
{
    bool ok = false;
    return finiteNumber(headerValue(line), &ok);
}

bool isPlainImageName(const QString &name)
{
    if (name.isEmpty() || name.startsWith('-') || name.startsWith('.'))
        return false;
    for (const QChar c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace

bool parseBuildscript(const QByteArray &text, PackageSchedule *out, QString *error)
{
    PackageSchedule s;
    // With its length: fromUtf8(QByteArray) stops at a NUL byte, which would take a file cut
    // short by zeros as a shorter valid one.
    QStringList lines = QString::fromUtf8(text.constData(), text.size()).split('\n');
    for (QString &l : lines)
        l = l.trimmed();
    if (lines.size() < 6) {
        setError(error, tr("buildscript.ini ends before its six header lines."));
        return false;
    }
    s.machine = headerValue(lines.at(0));
    // Thickness is stored in whole micrometres; a fraction is rounded rather than lost.
    const double thicknessUm = headerNumber(lines.at(1));
    s.sliceThicknessUm = std::fabs(thicknessUm) < 1e9 ? qRound(thicknessUm) : 0;
    s.declaredSliceCount = headerValue(lines.at(2)).toInt();
    s.normalExposureS = headerNumber(lines.at(3));
    s.firstLayerCount = headerValue(lines.at(4)).toInt();
    s.firstLayerExposureS = headerNumber(lines.at(5));

    for (int i = 6; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.isEmpty())
            continue;
        const QStringList cols = line.split(',', Qt::KeepEmptyParts);
        if (cols.size() < 5) {
            setError(error, tr("buildscript.ini line %1 has %2 columns instead of 5: \"%3\"")
                                .arg(i + 1).arg(cols.size()).arg(line.left(80)));
            return false;
        }
        PackageLayer layer;
        bool okZ = false, okE = false, okL = false, okK = false;
        layer.zMm = finiteNumber(cols.at(0).trimmed(), &okZ);
        layer.imageName = cols.at(1).trimmed();
        layer.exposureS = finiteNumber(cols.at(2).trimmed(), &okE);
        layer.lift = finiteNumber(cols.at(3).trimmed(), &okL);
        layer.kind = cols.at(4).trimmed().toInt(&okK);
        if (!okZ || !okE || !okL || !okK) {
            setError(error, tr("buildscript.ini line %1 holds a value that is not a number: \"%2\"")
                                .arg(i + 1).arg(line.left(80)));
            return false;
        }
        if (!isPlainImageName(layer.imageName)) {
            setError(error, tr("buildscript.ini line %1 names the image \"%2\", which is not a file name of the package.")
                                .arg(i + 1).arg(layer.imageName.left(80)));
            return false;
        }
        s.layers << layer;
    }
    *out = s;
    return true;
}

QHash<QString, QString> parseParametersIni(const QByteArray &text)
{
    QHash<QString, QString> values;
    QString section;
    for (QString line : QString::fromUtf8(text.constData(), text.size()).split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq > 0)
            values.insert(section + "/" + line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

LpkPackage::LpkPackage(const Archiver &archiver) : m_archiver(archiver) {}

LpkPackage::~LpkPackage() = default;

const ArchiveMember *LpkPackage::member(const QString &name) const
{
    const auto it = m_memberIndex.constFind(name);
    return it == m_memberIndex.constEnd() ? nullptr : &m_members.at(*it);
}

void LpkPackage::setMembers(const QList<ArchiveMember> &members)
{
    m_members = members;
    m_memberIndex.clear();
    for (int i = 0; i < m_members.size(); ++i)
        m_memberIndex.insert(m_members.at(i).path, i);
}

QString LpkPackage::tempFolder() const
{
    if (!m_temp) {
        m_temp = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/orvell3d-package-XXXXXX");
        if (!m_temp->isValid()) {
            m_temp.reset();
            return QString();
        }
    }
    return m_temp->path();
}

bool LpkPackage::extractToTemp(const QString &memberName, qint64 limit, QString *localPath, QString *error) const
{
    const ArchiveMember *m = member(memberName);
    if (!m || m->isFolder) {
        setError(error, tr("The package holds no %1.").arg(memberName));
        return false;
    }
    if (m->sizeBytes > limit) {
        setError(error, tr("%1 in the package is too large (%2 MB; at most %3 MB are unpacked).")
                            .arg(memberName)
                            .arg(double(m->sizeBytes) / 1e6, 0, 'f', 0)
                            .arg(double(limit) / 1e6, 0, 'f', 0));
        return false;
    }
    const QString folder = tempFolder();
    if (folder.isEmpty()) {
        setError(error, tr("No temporary folder could be created to read the package."));
        return false;
    }
    const QString target = folder + "/" + memberName;
    QFile::remove(target);
    if (!m_archiver.extractFlat(m_path, memberName, folder, packagePassword(), error))
        return false;
    // The listing may understate what the tool wrote; never keep more than the limit.
    if (QFileInfo(target).size() > limit) {
        QFile::remove(target);
        setError(error, tr("%1 in the package is larger than its listing says.").arg(memberName));
        return false;
    }
    *localPath = target;
    return true;
}

bool LpkPackage::open(const QString &packagePath, QString *error)
{
    m_path.clear();
    m_schedule = PackageSchedule();
    setMembers({});
    m_parameters.clear();

    QList<ArchiveMember> members;
    if (!m_archiver.list(packagePath, packagePassword(), &members, error))
        return false;
    for (const ArchiveMember &m : qAsConst(members)) {
        const QString unsafe = unsafeMemberNameReason(m.path);
        if (!unsafe.isEmpty() || m.isLink) {
            setError(error, tr("%1 is refused: %2.")
                                .arg(QFileInfo(packagePath).fileName(),
                                     unsafe.isEmpty() ? tr("the member \"%1\" is a link").arg(m.path) : unsafe));
            return false;
        }
    }
    m_path = QFileInfo(packagePath).absoluteFilePath();
    setMembers(members);

    auto readText = [this](const QString &name, QByteArray *text, QString *why) {
        QString local;
        if (!extractToTemp(name, maxPackageTextBytes, &local, why))
            return false;
        QFile f(local);
        const bool ok = f.open(QIODevice::ReadOnly);
        if (ok)
            *text = f.readAll();
        else
            setError(why, f.errorString());
        f.close();
        QFile::remove(local);
        return ok;
    };

    QByteArray script;
    PackageSchedule schedule;
    if (!readText("buildscript.ini", &script, error) || !parseBuildscript(script, &schedule, error)) {
        m_path.clear();
        setMembers({});
        return false;
    }
    m_schedule = schedule;
    QByteArray parameters;
    if (member("parameters.ini") && readText("parameters.ini", &parameters, nullptr))
        m_parameters = parseParametersIni(parameters);
    return true;
}

QStringList LpkPackage::layerImagePaths() const
{
    QStringList paths;
    const QString folder = QFileInfo(m_path).absolutePath();
    for (const PackageLayer &l : m_schedule.layers)
        paths << folder + "/" + l.imageName + ".png";
    return paths;
}

QImage LpkPackage::memberImage(const QString &memberName, QString *error) const
{
    QString local;
    if (!extractToTemp(memberName, m_maxLayerBytes, &local, error))
        return QImage();
    QImageReader reader(local, "png");
    QImage image = reader.read();
    QFile::remove(local);
    if (image.isNull())
        setError(error, tr("%1 in the package is not a readable PNG image: %2").arg(memberName, reader.errorString()));
    return image;
}

QImage LpkPackage::layerImage(int index, QString *error) const
{
    if (index < 0 || index >= m_schedule.layers.size()) {
        setError(error, tr("The package has no layer %1.").arg(index));
        return QImage();
    }
    return memberImage(m_schedule.layers.at(index).imageName + ".png", error);
}

QString LpkPackage::extractLayers(QString *error) const
{
    QStringList names;
    QSet<QString> seen;
    for (const PackageLayer &l : m_schedule.layers) {
        const QString name = l.imageName + ".png";
        const ArchiveMember *m = member(name);
        if (!m || seen.contains(name))
            continue;   // missing layers are the caller's to report, from the listing
        seen.insert(name);
        if (m->sizeBytes > m_maxLayerBytes) {
            setError(error, tr("%1 in the package is too large (%2 MB; at most %3 MB are unpacked).")
                                .arg(name)
                                .arg(double(m->sizeBytes) / 1e6, 0, 'f', 0)
                                .arg(double(m_maxLayerBytes) / 1e6, 0, 'f', 0));
            return QString();
        }
        names << name;
    }
    const QString base = tempFolder();
    if (base.isEmpty()) {
        setError(error, tr("No temporary folder could be created to read the package."));
        return QString();
    }
    QString folder = base + "/layers";
    for (int n = 2; QFileInfo::exists(folder); ++n)
        folder = base + QString("/layers_%1").arg(n);
    if (!QDir().mkpath(folder) || !m_archiver.extractFlat(m_path, names, folder, packagePassword(), error))
        return QString();
    return folder;
}

bool LpkPackage::replaceLayer(int targetIndex, int sourceIndex, QString *error)
{
    const int count = m_schedule.layers.size();
    if (!isOpen() || targetIndex < 0 || targetIndex >= count || sourceIndex < 0 || sourceIndex >= count) {
        setError(error, tr("There is no slice %1 to copy.").arg(sourceIndex));
        return false;
    }
    const QString source = m_schedule.layers.at(sourceIndex).imageName + ".png";
    const QString target = m_schedule.layers.at(targetIndex).imageName + ".png";
    QString local;
    if (!extractToTemp(source, m_maxLayerBytes, &local, error))
        return false;
    // The copy goes into a folder of its own, where the target name cannot collide.
    const QString folder = tempFolder() + "/replace";
    QDir().mkpath(folder);
    const QString renamed = folder + "/" + target;
    QFile::remove(renamed);
    if (!QFile::rename(local, renamed)) {
        QFile::remove(local);
        setError(error, tr("Cannot prepare %1 for the package.").arg(target));
        return false;
    }
    const bool added = m_archiver.add(m_path, folder, {target}, packagePassword(), error);
    QFile::remove(renamed);
    if (!added)
        return false;
    QList<ArchiveMember> members;
    if (m_archiver.list(m_path, packagePassword(), &members, nullptr))
        setMembers(members);
    return true;
}

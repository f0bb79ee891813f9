#include "config/ResinProfile.h"

#include "config/DataFolder.h"
#include "config/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <cmath>
#include <new>

namespace {

// A profile store holds a few dozen records; anything this large is not one.
constexpr qint64 maxStoreBytes = 8 * 1024 * 1024;
// Whole milliseconds of an hour: no resin needs longer, and it keeps sums in range.
constexpr double maxExposureMs = 3600000.0;

QString tr(const char *text)
{
    return QCoreApplication::translate("ResinProfile", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// A number within [lo, hi], or 0 for anything missing, malformed, non-finite or out of range.
double number(const IniFile &ini, const QString &group, const char *key, double lo, double hi)
{
    bool ok = false;
    const double v = ini.value(group, QLatin1String(key)).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < lo || v > hi)
        return 0;
    return v;
}

int integer(const IniFile &ini, const QString &group, const char *key, int lo, int hi)
{
    return static_cast<int>(std::trunc(number(ini, group, key, lo, hi)));
}

// A string value the way QSettings writes it in INI files, so its reader gives it back unchanged.
QByteArray iniString(const QString &value)
{
    QByteArray out;
    const QString str = value.startsWith('@') ? "@" + value : value;   // "@" starts a typed value
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    for (const QChar qc : str) {
        const ushort ch = qc.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        const bool hex = (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (escapeNextIfHex && hex) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (ch) {
        case '\0': out += "\\0"; escapeNextIfHex = true; break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (ch <= 0x1f || ch >= 0x7f) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHex = true;
            } else {
                out += char(ch);
            }
        }
    }
    if (needsQuotes || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

QByteArray iniDouble(double v)
{
    if (!std::isfinite(v))
        v = 0;
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toLatin1();
}

} // namespace

bool ResinProfile::operator==(const ResinProfile &o) const
{
    return MachineId == o.MachineId && ResinName == o.ResinName && SliceThickness == o.SliceThickness
           && NormalExp == o.NormalExp && BurnInExp == o.BurnInExp && FirstLayerCount == o.FirstLayerCount
           && FirstLayerExp == o.FirstLayerExp && X_Compensation == o.X_Compensation
           && Y_Compensation == o.Y_Compensation && Z_Compensation == o.Z_Compensation && intAA == o.intAA
           && Note == o.Note && index == o.index && DilationLevel == o.DilationLevel
           && SmoothingLevel == o.SmoothingLevel;
}

QStringList machineModelNames()
{
    return {"Stellan Arc 2.0", "Stellan Arc 8.9", "OrvellDLP 50"};
}

QString machineModelName(int machineId)
{
    return machineModelNames().value(machineId);
}

QString resinProfilesPath()
{
    return dataFolder() + "/profiles.ini";
}

int exposureToMs(double seconds)
{
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms) || ms <= 0)
        return 0;
    return static_cast<int>(std::llround(std::min(ms, maxExposureMs)));
}

QList<ResinProfile> resinProfilesFromText(const QByteArray &text, const QString &what)
{
    // Read as text: QSettings would decode "@Variant(…)" values while parsing, and a broken
    // one there ends the program.
    const IniFile g(text);
    if (!what.isEmpty())
        logIniProblems(what, g);
    QList<ResinProfile> profiles;
    int running = 0;
    for (const QString &group : g.childGroups()) {
        ResinProfile p;
        p.MachineId = integer(g, group, "MachineId", 0, 1000);
        p.ResinName = g.value(group, "ResinName");
        p.SliceThickness = integer(g, group, "SliceThickness", 0, 10000);
        p.NormalExp = integer(g, group, "NormalExp", 0, maxExposureMs) / 1000.0;
        p.BurnInExp = integer(g, group, "BurnInExp", 0, maxExposureMs) / 1000.0;
        p.FirstLayerCount = integer(g, group, "FirstLayerCount", 0, 100000);
        p.FirstLayerExp = integer(g, group, "FirstLayerExp", 0, maxExposureMs) / 1000.0;
        p.X_Compensation = number(g, group, "X_Compensation", -100, 100);
        p.Y_Compensation = number(g, group, "Y_Compensation", -100, 100);
        p.Z_Compensation = number(g, group, "Z_Compensation", -100, 100);
        p.intAA = integer(g, group, "intAA", 0, 1);
        p.DilationLevel = integer(g, group, "DilationLevel", -100, 100);
        p.SmoothingLevel = integer(g, group, "SmoothingLevel", -100, 100);
        p.Note = g.value(group, "Note");
        p.index = running++;
        profiles.append(p);
    }
    return profiles;
}

bool readResinProfiles(const QString &path, QList<ResinProfile> *profiles, QString *error)
{
    profiles->clear();
    QFile file(path);
    if (!file.exists()) {
        setError(error, tr("The profile file %1 does not exist.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, tr("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    if (file.size() > maxStoreBytes) {
        setError(error, tr("%1 is too large to be a resin profile file.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QByteArray data = file.read(maxStoreBytes);
    file.close();

    try {
        *profiles = resinProfilesFromText(data, tr("Resin profile file %1").arg(QDir::toNativeSeparators(path)));
    } catch (const std::bad_alloc &) {
        profiles->clear();
        setError(error, tr("Not enough memory to read %1.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

QByteArray resinProfilesText(const QList<ResinProfile> &profiles)
{
    QByteArray out;
    for (int i = 0; i < profiles.size(); ++i) {
        const ResinProfile &p = profiles[i];
        if (i > 0)
            out += '\n';
        out += '[' + QByteArray::number(i) + "]\n";
        out += "MachineId=" + QByteArray::number(p.MachineId) + '\n';
        out += "ResinName=" + iniString(p.ResinName) + '\n';
        out += "SliceThickness=" + QByteArray::number(p.SliceThickness) + '\n';
        out += "NormalExp=" + QByteArray::number(exposureToMs(p.NormalExp)) + '\n';
        out += "BurnInExp=" + QByteArray::number(exposureToMs(p.BurnInExp)) + '\n';
        out += "FirstLayerCount=" + QByteArray::number(p.FirstLayerCount) + '\n';
        out += "FirstLayerExp=" + QByteArray::number(exposureToMs(p.FirstLayerExp)) + '\n';
        out += "X_Compensation=" + iniDouble(p.X_Compensation) + '\n';
        out += "Y_Compensation=" + iniDouble(p.Y_Compensation) + '\n';
        out += "Z_Compensation=" + iniDouble(p.Z_Compensation) + '\n';
        out += "intAA=" + QByteArray::number(p.intAA) + '\n';
        out += "DilationLevel=" + QByteArray::number(p.DilationLevel) + '\n';
        out += "SmoothingLevel=" + QByteArray::number(p.SmoothingLevel) + '\n';
        out += "Note=" + iniString(p.Note) + '\n';
    }
    return out;
}

bool writeResinProfiles(const QString &path, const QList<ResinProfile> &profiles, QString *error)
{
    const QByteArray data = resinProfilesText(profiles);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        setError(error, tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

bool exportResinProfiles(const QString &path, const QList<ResinProfile> &profiles, const QString &appendNote,
                         QString *error)
{
    QList<ResinProfile> out = profiles;
    for (ResinProfile &p : out)
        p.Note += appendNote;
    return writeResinProfiles(path, out, error);
}

QList<ResinProfile> profilesForExport(const QList<ResinProfile> &profiles, ProfileExportSelection selection,
                                      int shownIndex, int machineId, const QString &material)
{
    QList<ResinProfile> out;
    switch (selection) {
    case ProfileExportSelection::OnlyShown:
        if (shownIndex >= 0 && shownIndex < profiles.size())
            out << profiles[shownIndex];
        break;
    case ProfileExportSelection::OnlyResin:
        for (const ResinProfile &p : profiles) {
            if (p.MachineId == machineId && p.ResinName == material)
                out << p;
        }
        break;
    case ProfileExportSelection::All:
        out = profiles;
        break;
    }
    return out;
}

bool installDefaultResinProfiles(QString *error)
{
    const QString path = resinProfilesPath();
    if (QFileInfo::exists(path))
        return true;
    if (!ensureDataFolder()) {
        setError(error, tr("Cannot create the folder %1.").arg(QDir::toNativeSeparators(dataFolder())));
        return false;
    }
    QFile shipped(":/profiles/profiles.ini");
    if (!shipped.open(QIODevice::ReadOnly)) {
        setError(error, tr("The default resin profiles are missing from this build."));
        return false;
    }
    const QByteArray data = shipped.readAll();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        setError(error, tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

ResinProfileManager::ResinProfileManager(const QString &path)
    : m_path(path)
{
}

bool ResinProfileManager::loadProfiles(QString *error)
{
    QList<ResinProfile> loaded;
    if (!readResinProfiles(m_path, &loaded, error))
        return false;
    m_profiles = loaded;
    return true;
}

QStringList ResinProfileManager::materials(int machineId) const
{
    QStringList out;
    for (const ResinProfile &p : m_profiles) {
        if (p.MachineId == machineId && !out.contains(p.ResinName))
            out << p.ResinName;
    }
    return out;
}

QList<int> ResinProfileManager::thicknesses(int machineId, const QString &material) const
{
    QList<int> out;
    for (const ResinProfile &p : m_profiles) {
        if (p.MachineId == machineId && p.ResinName == material)
            out << p.SliceThickness;
    }
    return out;
}

int ResinProfileManager::find(int machineId, const QString &material, int thicknessUm) const
{
    for (int i = 0; i < m_profiles.size(); ++i) {
        const ResinProfile &p = m_profiles[i];
        if (p.MachineId == machineId && p.ResinName == material && p.SliceThickness == thicknessUm)
            return i;
    }
    return -1;
}

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One resin profile: everything that depends on the resin and the layer thickness.
// Exposures are seconds in memory and whole milliseconds in files.
struct ResinProfile
{
    int MachineId = 0;              // 0 "Stellan Arc 2.0", 1 "Stellan Arc 8.9", 2 "OrvellDLP 50"
    QString ResinName;
    int SliceThickness = 50;        // µm
    double NormalExp = 8.0;         // s
    double BurnInExp = 0.0;         // s, support additional exposure
    int FirstLayerCount = 5;
    double FirstLayerExp = 60.0;    // s
    double X_Compensation = 0;      // %
    double Y_Compensation = 0;
    double Z_Compensation = 0;
    int intAA = 0;                  // 0 none, 1 one antialiased outline pass
    QString Note;
    int index = 0;                  // position in the list, renumbered when the list is refilled
    int DilationLevel = 0;          // > 0 dilate, < 0 erode (pixels)
    int SmoothingLevel = 0;

    bool operator==(const ResinProfile &o) const;
    bool operator!=(const ResinProfile &o) const { return !(*this == o); }
};

// The machine models a profile can belong to; an unknown id gives an empty name.
QStringList machineModelNames();
QString machineModelName(int machineId);

// The profile store in the data folder: "profiles.ini".
QString resinProfilesPath();

// Exposure in seconds as stored: whole milliseconds, to the nearest one (so 1.001 s stays
// 1001 ms despite binary rounding).
int exposureToMs(double seconds);

// Reads a profile store or a .prf exchange file: one group per profile ("0", "1", …) in the
// order the groups sort as text ("10" before "2"); index = running number. Keys that are
// missing, not numbers or outside their sensible range read as 0 (or empty), so damaged files
// load as zero-valued records instead of failing. Returns false (and an empty list) when the
// file is missing or cannot be read; error then says why.
bool readResinProfiles(const QString &path, QList<ResinProfile> *profiles, QString *error = nullptr);

// The profiles a file with this text holds, as readResinProfiles reads them. Its problems are
// logged under `what` unless that is empty. May throw std::bad_alloc.
QList<ResinProfile> resinProfilesFromText(const QByteArray &text, const QString &what = QString());

// Writes the profiles as groups "0", "1", … in list order, keys in the fixed order
// MachineId, ResinName, SliceThickness, NormalExp, BurnInExp, FirstLayerCount, FirstLayerExp,
// X/Y/Z_Compensation, intAA, DilationLevel, SmoothingLevel, Note. The file is replaced as a
// whole only when the new one is complete, so a failure leaves the old file as it was.
bool writeResinProfiles(const QString &path, const QList<ResinProfile> &profiles, QString *error = nullptr);

// The same file text writeResinProfiles produces (Qt INI format, readable by QSettings).
QByteArray resinProfilesText(const QList<ResinProfile> &profiles);

// Writes an exchange file holding exactly the given profiles, each with appendNote added to
// its note. An existing file is replaced, so no stale profiles of an older export remain.
bool exportResinProfiles(const QString &path, const QList<ResinProfile> &profiles, const QString &appendNote,
                         QString *error = nullptr);

// Which profiles an export takes: the shown one, all thicknesses of the shown resin (on the
// shown machine), or every profile.
enum class ProfileExportSelection { OnlyShown, OnlyResin, All };
QList<ResinProfile> profilesForExport(const QList<ResinProfile> &profiles, ProfileExportSelection selection,
                                      int shownIndex, int machineId, const QString &material);

// On a first start: installs the shipped default store when the data folder has no
// "profiles.ini" yet, so a new user can export a package at once. An existing store is never
// touched. Returns false with a reason when the store is missing and cannot be written.
// The start-up calls this before ResinProfileManager::loadProfiles().
bool installDefaultResinProfiles(QString *error = nullptr);

// The profile list the main window works with (resin selector, flex-slice profiles).
class ResinProfileManager
{
public:
    explicit ResinProfileManager(const QString &path = resinProfilesPath());

    // Reads the store into the list. A missing or unreadable store leaves the list as it was
    // and returns false.
    bool loadProfiles(QString *error = nullptr);

    const QList<ResinProfile> &profiles() const { return m_profiles; }
    QList<ResinProfile> &profiles() { return m_profiles; }
    QString path() const { return m_path; }

    // Distinct resin names of a machine, in list order.
    QStringList materials(int machineId) const;
    // Thicknesses (µm) of a machine's resin, in list order.
    QList<int> thicknesses(int machineId, const QString &material) const;
    // Position of the first profile with that triple, or -1.
    int find(int machineId, const QString &material, int thicknessUm) const;

private:
    QString m_path;
    QList<ResinProfile> m_profiles;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

#include "package/Archiver.h"

class QTemporaryDir;

// Reading an LPK print package back: its layer schedule, its layer images one at a time, and
// the replacement of one layer image by another.

// One line of the layer schedule in buildscript.ini.
struct PackageLayer
{
    double zMm = 0;
    QString imageName;     // "S000001_P1", without ".png"
    double exposureS = 0;
    double lift = 0;       // 4.0 after a layer's last image, 0.0 when another image of it follows
    int kind = 0;
};

// What buildscript.ini says: six header lines, read by position, then one line per image.
struct PackageSchedule
{
    QString machine;
    int sliceThicknessUm = 0;
    int declaredSliceCount = 0;   // the header's count; the layers list is what counts
    double normalExposureS = 0;
    int firstLayerCount = 0;
    double firstLayerExposureS = 0;
    QList<PackageLayer> layers;
};

// Parses buildscript.ini. A header value that is not a number reads as 0, as printers do; a
// missing header line, a layer line with fewer than five columns, a non-numeric column or an
// image name that is not a plain file name makes the whole file unusable (*error says which
// line), so a damaged schedule is never half taken over.
bool parseBuildscript(const QByteArray &text, PackageSchedule *out, QString *error);

// "key = value" lines of parameters.ini, keyed "Section/Key" ("MACHINE SETTINGS/Image size in X").
QHash<QString, QString> parseParametersIni(const QByteArray &text);

// Largest members that are unpacked: the text files and one layer image (uncompressed bytes).
constexpr qint64 maxPackageTextBytes = qint64(16) * 1024 * 1024;
constexpr qint64 maxLayerImageBytes = qint64(256) * 1024 * 1024;

// An opened package. Members are unpacked one at a time into a private temporary folder,
// never beside the package, and deleted as soon as they are read.
class LpkPackage
{
public:
    explicit LpkPackage(const Archiver &archiver = Archiver());
    ~LpkPackage();
    LpkPackage(const LpkPackage &) = delete;
    LpkPackage &operator=(const LpkPackage &) = delete;

    // Lists the package, refuses it when a member could escape a folder (a "..", an absolute
    // path, a drive letter, a link) and reads its schedule. On failure the object stays empty.
    bool open(const QString &packagePath, QString *error);
    bool isOpen() const { return !m_path.isEmpty(); }
    // Largest layer image that is unpacked (maxLayerImageBytes unless changed).
    void setMaxLayerBytes(qint64 bytes) { m_maxLayerBytes = bytes; }

    const QString &path() const { return m_path; }
    const PackageSchedule &schedule() const { return m_schedule; }
    const QList<ArchiveMember> &members() const { return m_members; }
    const QHash<QString, QString> &parameters() const { return m_parameters; }
    const ArchiveMember *member(const QString &name) const;

    // Package folder + "/" + image name + ".png" per layer, as the window lists them.
    QStringList layerImagePaths() const;

    // The image of schedule line `index`; a null image when it is missing, too large or not a
    // PNG (*error says which).
    QImage layerImage(int index, QString *error = nullptr) const;
    // Any PNG member by name.
    QImage memberImage(const QString &memberName, QString *error = nullptr) const;

    // Unpacks every layer image of the schedule that the package holds (each checked against
    // the size limit) into a fresh private folder, in one run of the archive tool, and returns
    // that folder; for checking a whole package at once. The folder goes with this object.
    QString extractLayers(QString *error) const;

    // Stores a copy of layer image `sourceIndex` under the name of layer `targetIndex`
    // (0-based schedule lines). The schedule is not changed.
    bool replaceLayer(int targetIndex, int sourceIndex, QString *error);

private:
    void setMembers(const QList<ArchiveMember> &members);
    bool extractToTemp(const QString &memberName, qint64 limit, QString *localPath, QString *error) const;
    QString tempFolder() const;

    Archiver m_archiver;
    QString m_path;
    PackageSchedule m_schedule;
    QList<ArchiveMember> m_members;
    QHash<QString, int> m_memberIndex;   // path → position in m_members
    QHash<QString, QString> m_parameters;
    qint64 m_maxLayerBytes = maxLayerImageBytes;
    mutable std::unique_ptr<QTemporaryDir> m_temp;
};

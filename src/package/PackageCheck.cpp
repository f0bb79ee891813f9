#include "package/PackageCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include "package/PackageImport.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackageCheck", text);
}

// Collects problems of one kind, naming only the first few.
class ProblemList
{
public:
    ProblemList(QStringList &out, QString summary) : m_out(out), m_summary(std::move(summary)) {}
    ~ProblemList()
    {
        if (m_count > shown)
            m_out << m_summary.arg(m_count - shown);
    }
    void add(const QString &text)
    {
        if (++m_count <= shown)
            m_out << text;
    }

private:
    static constexpr int shown = 5;
    QStringList &m_out;
    QString m_summary;
    int m_count = 0;
};

QSize expectedImageSize(const LpkPackage &package)
{
    bool okX = false, okY = false;
    const int x = package.parameters().value("MACHINE SETTINGS/Image size in X").toInt(&okX);
    const int y = package.parameters().value("MACHINE SETTINGS/Image size in Y").toInt(&okY);
    return okX && okY && x > 0 && y > 0 ? QSize(x, y) : QSize();
}

} // namespace

PackageReport checkPackage(const LpkPackage &package)
{
    PackageReport r;
    const PackageSchedule &schedule = package.schedule();
    r.layerLines = schedule.layers.size();
    r.expectedSize = expectedImageSize(package);

    QStringList layerNames;
    for (const PackageLayer &l : schedule.layers)
        layerNames << l.imageName + ".png";
    for (const ArchiveMember &m : package.members()) {
        if (m.path.startsWith("Preview_") && m.path.endsWith(".png"))
            ++r.previews;
        else if (m.path != "buildscript.ini" && m.path != "parameters.ini" && !layerNames.contains(m.path))
            r.otherMembers << m.path;
    }

    if (schedule.layers.isEmpty())
        r.problems << tr("buildscript.ini lists no layers");
    if (schedule.declaredSliceCount != schedule.layers.size())
        r.problems << tr("buildscript.ini announces %1 slices but lists %2")
                          .arg(schedule.declaredSliceCount)
                          .arg(schedule.layers.size());
    if (!package.member("parameters.ini"))
        r.problems << tr("parameters.ini is missing");

    {
        ProblemList falling(r.problems, tr("... and %1 more lines whose height falls or repeats"));
        for (int i = 1; i < schedule.layers.size(); ++i) {
            const PackageLayer &before = schedule.layers.at(i - 1);
            const PackageLayer &l = schedule.layers.at(i);
            if (l.zMm < before.zMm)
                falling.add(tr("line %1 (%2) is lower than the line before it: %3 mm after %4 mm")
                                .arg(i + 1).arg(l.imageName).arg(l.zMm).arg(before.zMm));
            else if (l.zMm == before.zMm && before.lift != 0.0)
                falling.add(tr("line %1 (%2) repeats the height %3 mm of a finished layer")
                                .arg(i + 1).arg(l.imageName).arg(l.zMm));
        }
    }

    QString error;
    const QString folder = package.extractLayers(&error);
    if (folder.isEmpty()) {
        r.problems << tr("the layer images could not be unpacked: %1").arg(error);
        return r;
    }
    ProblemList missing(r.problems, tr("... and %1 more missing layer images"));
    ProblemList unreadable(r.problems, tr("... and %1 more layer images that are not PNG"));
    ProblemList wrongSize(r.problems, tr("... and %1 more layer images of the wrong size"));
    for (const QString &name : qAsConst(layerNames)) {
        const QString local = folder + "/" + name;
        if (!package.member(name) || !QFile::exists(local)) {
            missing.add(tr("%1 is missing").arg(name));
            continue;
        }
        ++r.layerImagesFound;
        QImageReader reader(local);
        const QSize size = reader.size();
        if (reader.format() != "png" || !size.isValid()) {
            unreadable.add(tr("%1 is not a PNG image").arg(name));
            continue;
        }
        if (!r.firstImageSize.isValid())
            r.firstImageSize = size;
        const QSize &e = r.expectedSize;
        // Packed layers hold three grey pixels in each RGB pixel.
        const bool packed = e.isValid() && size == QSize(e.width() / 3, e.height());
        if (e.isValid() && size != e && !packed)
            wrongSize.add(tr("%1 is %2 x %3 pixels, not %4 x %5")
                              .arg(name).arg(size.width()).arg(size.height()).arg(e.width()).arg(e.height()));
    }
    return r;
}

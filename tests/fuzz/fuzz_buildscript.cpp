// Links: orvell_package orvell_imaging
// The package schedule (buildscript.ini): any bytes give either a refusal with a reason or a
// schedule with finite heights and exposures, one layer per non-blank line after the six
// header lines, and image names that stay inside the package folder.
#include <QList>
#include <cmath>

#include "package/PackageImport.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    PackageSchedule s;
    s.machine = QStringLiteral("untouched");
    QString error;
    if (!parseBuildscript(text, &s, &error)) {
        FUZZ_CHECK(!error.isEmpty());
        // A refused file leaves the caller's schedule as it was.
        FUZZ_CHECK(s.machine == QLatin1String("untouched") && s.layers.isEmpty());
        return 0;
    }
    FUZZ_CHECK(std::isfinite(s.normalExposureS) && std::isfinite(s.firstLayerExposureS));

    // Counted apart from the parser: lines after the sixth that hold more than blanks.
    const QList<QByteArray> lines = text.split('\n');
    int layerLines = 0;
    for (int i = 6; i < lines.size(); ++i) {
        if (!QString::fromUtf8(lines.at(i).constData(), lines.at(i).size()).trimmed().isEmpty())
            ++layerLines;
    }
    FUZZ_CHECK(lines.size() >= 6);
    FUZZ_CHECK(s.layers.size() == layerLines);

    for (const PackageLayer &l : s.layers) {
        FUZZ_CHECK(std::isfinite(l.zMm) && std::isfinite(l.exposureS) && std::isfinite(l.lift));
        FUZZ_CHECK(!l.imageName.isEmpty() && !l.imageName.contains('/') && !l.imageName.contains('\\')
                   && !l.imageName.startsWith('.'));
    }
    return 0;
}

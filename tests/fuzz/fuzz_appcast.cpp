// Links: orvell_update Qt5::Xml Qt5::Network
// The update feed: any bytes give a verdict; an offered update is newer than the running
// version and not the skipped one, with a web address for its notes; version comparison is
// antisymmetric.
#include "support_fuzz.h"
#include "update/AppcastFeed.h"
#include "update/FvVersionComparator.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString running = QStringLiteral("0.78");
    const QString skipped = QStringLiteral("0.80");
    const AppcastVerdict v =
        readAppcast(QByteArray(reinterpret_cast<const char *>(data), int(size)), fvPlatformToken(), running, skipped);
    switch (v.kind) {
    case AppcastVerdict::Update: {
        const QString offered = v.update.enclosureVersion;
        FUZZ_CHECK(compareVersions(offered, running) > 0);
        FUZZ_CHECK(compareVersions(running, offered) < 0);
        FUZZ_CHECK(offered != skipped);
        const QString scheme = v.update.releaseNotesLink.scheme();
        FUZZ_CHECK(scheme == "http" || scheme == "https");
        break;
    }
    case AppcastVerdict::Error:
        FUZZ_CHECK(!v.message.isEmpty());
        break;
    case AppcastVerdict::NoUpdate:
        break;
    }
    return 0;
}

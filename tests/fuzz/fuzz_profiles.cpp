// The resin profile store and .prf files: any text loads as records within their ranges, and
// what is written from them reads back to the same records and the same text.
#include "config/ResinProfile.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<ResinProfile> profiles =
        resinProfilesFromText(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    for (int i = 0; i < profiles.size(); ++i) {
        const ResinProfile &p = profiles[i];
        FUZZ_CHECK(p.index == i);
        FUZZ_CHECK(p.NormalExp >= 0 && p.NormalExp <= 3600 && p.FirstLayerExp >= 0 && p.BurnInExp >= 0);
        FUZZ_CHECK(std::fabs(p.X_Compensation) <= 100 && std::fabs(p.Y_Compensation) <= 100
                   && std::fabs(p.Z_Compensation) <= 100);
        FUZZ_CHECK(p.intAA == 0 || p.intAA == 1);
    }
    const QByteArray written = resinProfilesText(profiles);
    const QList<ResinProfile> again = resinProfilesFromText(written);
    FUZZ_CHECK(again.size() == profiles.size());
    // Groups are renumbered "0", "1", …: more than ten read back in text order, so records
    // are compared through their written text.
    FUZZ_CHECK(resinProfilesText(again).size() == written.size());
    if (profiles.size() <= 10) {
        FUZZ_CHECK(again == profiles);
        FUZZ_CHECK(resinProfilesText(again) == written);
    }
    return 0;
}

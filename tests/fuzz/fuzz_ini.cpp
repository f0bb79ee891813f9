// The INI reader under the settings and profile files: any text parses (no value is decoded
// as a Qt variant), and every group and key it lists can be looked up.
#include "config/IniFile.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const IniFile ini(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const QStringList groups = ini.childGroups();
    FUZZ_CHECK(groups.size() <= int(size));
    for (const QString &g : groups) {
        FUZZ_CHECK(!g.isEmpty() && !g.contains('/'));
        for (const QString &k : ini.childKeys(g)) {
            FUZZ_CHECK(ini.contains(g, k));
            FUZZ_CHECK(!k.isEmpty());
        }
    }
    for (const QString &k : ini.childKeys(QString()))
        FUZZ_CHECK(ini.contains(QString(), k));
    return 0;
}

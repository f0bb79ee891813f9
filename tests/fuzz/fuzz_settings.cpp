// The environment settings file: any text loads (nothing is decoded as a Qt variant), and
// what is written from the result reads back to the same settings and the same text.
#include "config/SettingsFile.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const EnvironmentSettings s = settingsFromText(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    FUZZ_CHECK(s.misc.windowWidth >= 960 && s.misc.windowHeight >= 600);
    FUZZ_CHECK(s.misc.gpuIdleTime > 0 && s.print.grayScale >= 127);
    FUZZ_CHECK(s.printer.printers.size() <= int(size) && s.slice.flexSlices.size() <= int(size));

    const QByteArray written = settingsFileText(s);
    const EnvironmentSettings again = settingsFromText(written);
    FUZZ_CHECK(again == s);
    FUZZ_CHECK(settingsFileText(again) == written);
    return 0;
}

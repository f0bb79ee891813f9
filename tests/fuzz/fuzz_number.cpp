// The number parser of the text readers against Qt's converters, which it must match: a
// number either reads as Qt reads it or is refused where Qt refuses it.
#include <QByteArray>
#include <QString>
#include <cstring>

#include "scene/NumberParsing.h"
#include "support_fuzz.h"

FUZZ_QUIET_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *b = reinterpret_cast<const char *>(data);
    const char *e = b + size;
    // Qt skips white space at both ends; the readers split it off before calling.
    for (std::size_t i = 0; i < size; ++i) {
        const char c = b[i];
        if (c == ' ' || (c >= '\t' && c <= '\r') || c == '\0' || uint8_t(c) >= 0x80)
            return 0;
    }

    double value = 0;
    if (parseDouble(b, e, value)) {
        bool qtOk = false;
        const double qt = QString::fromLatin1(b, int(size)).toDouble(&qtOk);
        if (qtOk) {
            FUZZ_CHECK((std::isnan(qt) && std::isnan(value)) || std::memcmp(&qt, &value, sizeof value) == 0);
        } else {
            FUZZ_CHECK(value == 0.0);   // an underflow such as 1e-400, which Qt calls a failure
        }
        const float t = truncateToFiveDecimals(value);
        if (std::isfinite(value) && std::fabs(value) < 1e30)
            FUZZ_CHECK(std::fabs(double(t)) <= std::fabs(value) * (1 + 1e-6) + 1e-30);
    }

    int64_t integer = 0;
    bool qtOk = false;
    const qlonglong qt = QByteArray(b, int(size)).toLongLong(&qtOk, 10);
    const bool ours = parseInt64(b, e, integer);
    // Qt takes "+" and "-" signs and no other characters, as the parser does.
    FUZZ_CHECK(ours == qtOk);
    if (ours)
        FUZZ_CHECK(integer == qt);
    return 0;
}

#include "scene/NumberParsing.h"

#include <QString>
#include <cmath>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exact powers of ten as doubles; 10^22 is the largest one a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// For text already known to have the form of a decimal number.
bool parseWithQt(const char *begin, const char *end, double &value, bool isDecimal)
{
    bool ok = false;
    value = QString::fromLatin1(begin, int(end - begin)).toDouble(&ok);
    // Qt reports an underflow such as "1e-400" as a failure with the value 0; the text is
    // a number all the same, so it reads as 0 (an overflow stays a failure).
    if (!ok && isDecimal && value == 0.0)
        ok = true;
    return ok;
}

} // namespace

bool parseDouble(const char *begin, const char *end, double &value)
{
    const char *p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    uint64_t mantissa = 0;
    int significant = 0;     // digits taken into the mantissa after its first non-zero digit
    int exponent = 0;        // power of ten applied to the mantissa
    bool anyDigit = false;
    bool tooLong = false;
    for (; p < end && isDigit(*p); ++p) {
        anyDigit = true;
        if (significant < 19) {
            mantissa = mantissa * 10 + uint64_t(*p - '0');
            if (mantissa != 0)
                ++significant;
        } else {
            tooLong = true;
        }
    }
    if (p < end && *p == '.') {
        ++p;
        for (; p < end && isDigit(*p); ++p) {
            anyDigit = true;
            if (significant < 19) {
                mantissa = mantissa * 10 + uint64_t(*p - '0');
                if (mantissa != 0)
                    ++significant;
                --exponent;
            } else {
                tooLong = true;
            }
        }
    }
    if (!anyDigit) {
        // Not a plain decimal; "inf" and "nan" are the only other words Qt takes.
        const int n = int(end - begin);
        if (n >= 3 && n <= 4)
            return parseWithQt(begin, end, value, false);
        return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool expNegative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            expNegative = *p == '-';
            ++p;
        }
        if (p == end || !isDigit(*p))
            return false;
        int e = 0;
        for (; p < end && isDigit(*p); ++p) {
            if (e < 100000)
                e = e * 10 + (*p - '0');
        }
        exponent += expNegative ? -e : e;
    }
    if (p != end)
        return false;

    // One correctly rounded operation on two exact doubles gives the correctly rounded
    // result; anything outside that range goes through Qt's own converter.
    if (!tooLong && mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        double d = double(mantissa);
        if (exponent < 0)
            d /= kPow10[-exponent];
        else
            d *= kPow10[exponent];
        value = negative ? -d : d;
        return true;
    }
    return parseWithQt(begin, end, value, true);
}

bool parseInt64(const char *begin, const char *end, int64_t &value)
{
    const char *p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end)
        return false;
    // The magnitude of INT64_MIN is one more than INT64_MAX.
    const uint64_t limit = uint64_t(INT64_MAX) + (negative ? 1 : 0);
    uint64_t v = 0;
    for (; p < end; ++p) {
        if (!isDigit(*p))
            return false;
        // Checked before it happens: with 20 digits the product itself would wrap around
        // and "18446744073709551618" would read as 2.
        const uint64_t digit = uint64_t(*p - '0');
        if (v > (limit - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = negative ? int64_t(0 - v) : int64_t(v);
    return true;
}

float truncateToFiveDecimals(double value)
{
    // std::trunc instead of a 32-bit integer cast: the cast overflows for coordinates
    // beyond ±21474.83647 mm. Adding +0 turns a truncated -0 into +0.
    return float((std::trunc(value * 100000.0) + 0.0) / 100000.0);
}

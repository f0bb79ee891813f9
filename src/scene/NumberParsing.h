#pragma once

#include <cstdint>

// Number parsing for the text model readers. Coordinates must read exactly as the
// C-locale QString::toDouble reads them, whatever the user's locale, because they are
// truncated to five decimals afterwards and a one-ulp difference can move the result.

// Parses the whole of [begin, end) as a decimal number: optional sign, digits with an
// optional point, optional exponent. Also accepts "inf" and "nan" as QString::toDouble
// does; callers reject non-finite values themselves. False for anything else.
bool parseDouble(const char *begin, const char *end, double &value);

// Parses the whole of [begin, end) as an optionally signed decimal integer that fits
// in 64 bits. False for anything else.
bool parseInt64(const char *begin, const char *end, int64_t &value);

// Truncates toward zero to a multiple of 0.00001 (model files carry noise below that).
// Zero comes out as +0.
float truncateToFiveDecimals(double value);

#pragma once

#include <QString>

// Compares two version strings part by part: runs of digits are numbers, runs of other
// non-punctuation characters are strings, and every punctuation or space character (the "."
// above all) is a separator part of its own. Numbers compare by value, strings byte-wise;
// a string is older than a separator, a separator older than a number. When one version is
// the other plus more parts, a trailing string marks a pre-release (1.0b is older than 1.0)
// and anything else a newer release (1.0.1 is newer than 1.0).
//
// Returns -1 when `a` is older than `b`, 0 when they are the same, 1 when `a` is newer.
int compareVersions(const QString &a, const QString &b);

#pragma once
#include <QString>

// Versions such as "1.0.10.2": compared by their dot-separated numbers, so "1.0.10" is newer
// than "1.0.9". A part that is not a number is compared as text; missing trailing parts count
// as 0 ("1.0" equals "1.0.0").
// Returns a negative number when a < b, 0 when equal, a positive number when a > b.
int compareVersions(const QString& a, const QString& b);

// True when `offered` is a later version than `running`. An empty offer is never newer.
bool isNewerVersion(const QString& offered, const QString& running);

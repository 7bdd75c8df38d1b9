#pragma once
#include <QString>

// `length` characters drawn from letters and digits with the system's strong random source.
// A length of 0 or less gives the empty text.
QString randomAlphanumericString(qint64 length);

// "512 Byte", "1.00 KB", "1.00 MB" (no larger unit), through the translation tables.
QString formatByteSize(qint64 bytes);

// "HH:MM:SS"; hours are not capped.
QString formatDuration(qint64 seconds);

// At most kMaxShownCharacters of `text` (a pair of surrogates is never split), with an ellipsis
// when cut: texts from the service or from file names are drawn in widgets that measure them
// whole, and a title of megabytes would stall the window.
constexpr qsizetype kMaxShownCharacters = 300;
QString shownText(const QString& text);

// The translation of `key` (with its translator comment), or the key itself.
QString localizedString(const char* key, const char* comment);

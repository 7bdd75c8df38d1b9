#pragma once
#include <QString>
#include <QUrl>
#include <optional>

// How many leading bytes of a video file identify it.
inline constexpr qint64 kVideoSignPrefixBytes = 10485760;

// The video's identity: lower-case hexadecimal MD5 of the first min(size, 10 MiB) bytes of the
// file. No value when the file is missing (silently), is not a regular file, its attributes
// cannot be read (one log line) or it cannot be read in full. Stateless; safe on any thread.
std::optional<QString> videoSign(const QString& path);
std::optional<QString> videoSign(const QUrl& fileUrl);

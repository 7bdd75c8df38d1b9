#pragma once
#include <QByteArray>
#include <QString>

namespace platform {
// Replaces the file at `path` with `data` through a temporary file beside it. The new file takes
// the old one's place only when every byte was written and flushed; otherwise (a full disk, a
// size limit, a folder that cannot be written) the old file stays as it was, one line naming the
// file and the cause is logged, and the result is false.
bool writeWholeFile(const QString& path, const QByteArray& data);
}  // namespace platform

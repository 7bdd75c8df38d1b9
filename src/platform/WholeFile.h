#pragma once
#include <QByteArray>
#include <QString>

namespace platform {
// Replaces the file at `path` with `data` through a temporary file beside it. The new file takes
// the old one's place only when every byte was written and flushed; otherwise (a full disk, a
// size limit, a folder that cannot be written) the old file stays as it was, one line naming the
// file and the cause is logged, and the result is false.
bool writeWholeFile(const QString& path, const QByteArray& data);

// Removes the temporary files a write of `path` left when its process was killed in the middle
// ("<name>.XXXXXX" beside it). Called when `path` is first read, before this process writes it.
void sweepWholeFileLeftovers(const QString& path);
// Whether `name` is such a temporary file of a file named `of`.
bool isWholeFileLeftover(const QString& name, const QString& of);
}  // namespace platform

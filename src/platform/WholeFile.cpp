#include "platform/WholeFile.h"

#include "platform/Log.h"

#include <QSaveFile>

#include <cerrno>

namespace platform {
bool writeWholeFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    const auto fail = [&](const QString& cause) {
        file.cancelWriting();
        logLine(QStringLiteral("Could not write %1: %2").arg(path, cause));
        return false;
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // QSaveFile buffers: a write that fails (disk full) shows only when the buffer goes out, and
    // commit() alone may still report success then. Flush and check before the file replaces the old.
    if (file.write(data) != data.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return fail(errno ? qt_error_string(errno) : file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
}  // namespace platform

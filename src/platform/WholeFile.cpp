#include "platform/WholeFile.h"

#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

bool isWholeFileLeftover(const QString& name, const QString& of) {
    // QSaveFile's temporary name: the file's own name, a dot and six letters or digits.
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    return !of.isEmpty() && name.startsWith(of) && suffix.match(QStringView(name).mid(of.size())).hasMatch();
}

void sweepWholeFileLeftovers(const QString& path) {
    const QFileInfo file(path);
    const QDir folder = file.dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (isWholeFileLeftover(name, file.fileName()) && QFile::remove(folder.filePath(name)))
            logLine(QStringLiteral("Removed %1, left by a write that was cut short").arg(folder.filePath(name)));
    }
}
}  // namespace platform

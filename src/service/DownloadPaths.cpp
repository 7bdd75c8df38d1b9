#include "service/DownloadPaths.h"

#include "shared/AppInfo.h"
#include "shared/TextHelpers.h"

#include <QDir>
#include <QFileInfo>

QString downloadCachesDirectoryPath() {
    const QString path = AppInfo::caches();
    QDir().mkpath(path);  // may have been removed while the program runs
    return path;
}

QString downloadVideoDirectoryPath() {
    const QString path = QDir(AppInfo::applicationSupport()).filePath(QStringLiteral("DownloadVideo"));
    QDir().mkpath(path);
    return path;
}

QString downloadListPath() {
    return QDir(downloadCachesDirectoryPath()).filePath(QStringLiteral("downloadInfo.bat"));
}

bool pathTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString unusedRandomFilePath(const QString& directory, const QString& suffix) {
    const QDir dir(directory);
    QString path;
    do {
        path = dir.filePath(randomAlphanumericString(10) + suffix);
    } while (pathTaken(path));
    return path;
}

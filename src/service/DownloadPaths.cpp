#include "service/DownloadPaths.h"

#include "shared/AppInfo.h"

#include <QDir>

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

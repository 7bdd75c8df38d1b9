#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {
std::optional<QString> appGroupContainer(const QString& group) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return std::nullopt;
    return QDir(base).filePath(group);
}

std::optional<QString> userDirectory(DirectoryKind kind) {
    QString path;
    switch (kind) {
    case DirectoryKind::Caches: path = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation); break;
    case DirectoryKind::ApplicationSupport:
        path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        break;
    case DirectoryKind::Preferences:
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        break;
    case DirectoryKind::Other: path = QDir::homePath(); break;
    }
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QString configDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString ownCachesDirectory(const QString& identifier) {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).filePath(identifier);
}
}  // namespace platform

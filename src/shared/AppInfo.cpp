#include "shared/AppInfo.h"

#include "platform/Bundle.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>

#ifndef TAVVEL_WEBSITE_URL
#define TAVVEL_WEBSITE_URL "https://www.tavvel.invalid"
#endif

QString AppInfo::appGroup() {
    return QStringLiteral("Q7ZK3M8WRT.tavvel");
}

QString AppInfo::composeVersion(const std::optional<QString>& shortVersion, const std::optional<QString>& build) {
    if (!shortVersion || !build)
        return QStringLiteral("1.0.0.0");
    return *shortVersion + QLatin1Char('.') + *build;
}

QString AppInfo::composeVersionWithBuild(const std::optional<QString>& shortVersion,
                                         const std::optional<QString>& build) {
    if (!shortVersion || !build)
        return QStringLiteral("1.0.0");
    return *shortVersion + QLatin1Char('(') + *build + QLatin1Char(')');
}

QString AppInfo::version() {
    static const QString value = [] {
        const auto b = platform::mainBundle();
        return composeVersion(b.shortVersion, b.build);
    }();
    return value;
}

QString AppInfo::versionWithBuild() {
    static const QString value = [] {
        const auto b = platform::mainBundle();
        return composeVersionWithBuild(b.shortVersion, b.build);
    }();
    return value;
}

QString AppInfo::directory(platform::DirectoryKind kind) {
    QString path;
    if (const auto container = platform::appGroupContainer(appGroup())) {
        path = *container;
        switch (kind) {
        case platform::DirectoryKind::Caches: path += QStringLiteral("/Caches"); break;
        case platform::DirectoryKind::ApplicationSupport: path += QStringLiteral("/Application Support"); break;
        case platform::DirectoryKind::Preferences: path += QStringLiteral("/Preferences"); break;
        case platform::DirectoryKind::Other: break;
        }
    } else {
        const auto base = platform::userDirectory(kind);
        if (!base) {
            qFatal("no user directory for the requested kind");
        }
        path = QDir(*base).filePath(platform::mainBundle().identifier.value_or(QStringLiteral("Tavvel")));
    }
    if (!QFileInfo::exists(path))
        QDir().mkpath(path);  // a failure shows when the caller uses the path
    return path;
}

QString AppInfo::applicationSupport() {
    static const QString value = directory(platform::DirectoryKind::ApplicationSupport);
    return value;
}

QString AppInfo::caches() {
    static const QString value = directory(platform::DirectoryKind::Caches);
    return value;
}

QUrl AppInfo::pageAddress(const QUrl& website, const QString& page) {
    // Appended as a path component: resolving would drop the last segment of a base without "/".
    QUrl url = website;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + page);
    return url;
}

QUrl AppInfo::website() {
    static const QUrl value(QStringLiteral(TAVVEL_WEBSITE_URL));
    return value;
}

QUrl AppInfo::helpPage() {
    static const QUrl value = pageAddress(website(), QStringLiteral("67.html"));
    return value;
}

QUrl AppInfo::uploadPage() {
    static const QUrl value = pageAddress(website(), QStringLiteral("39.html"));
    return value;
}

QUrl AppInfo::termsPage() {
    static const QUrl value = pageAddress(website(), QStringLiteral("60.html"));
    return value;
}

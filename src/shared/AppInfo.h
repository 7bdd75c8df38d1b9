#pragma once
#include <QString>
#include <QUrl>
#include <optional>

#include "platform/Paths.h"

// Fixed facts of the build: application group, versions, shared directories, web pages.
// Every member is computed once, on first use.
class AppInfo {
public:
    AppInfo() = delete;

    static QString appGroup();            // "Q7ZK3M8WRT.tavvel"
    static QString version();             // "<short>.<build>", fallback "1.0.0.0"
    static QString versionWithBuild();    // "<short>(<build>)", fallback "1.0.0"
    static QString applicationSupport();  // "<container>/Application Support"
    static QString caches();              // "<container>/Caches" (main program only)
    static QUrl website();
    static QUrl helpPage();    // website + "67.html"
    static QUrl uploadPage();  // website + "39.html"
    static QUrl termsPage();   // website + "60.html"

    // The directory of a kind inside the shared container, created when missing.
    static QString directory(platform::DirectoryKind kind);

    // Pure pieces, for the fallbacks.
    static QString composeVersion(const std::optional<QString>& shortVersion, const std::optional<QString>& build);
    static QString composeVersionWithBuild(const std::optional<QString>& shortVersion,
                                           const std::optional<QString>& build);
    static QUrl pageAddress(const QUrl& website, const QString& page);
};

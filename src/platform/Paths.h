#pragma once
#include <QString>
#include <optional>

namespace platform {
enum class DirectoryKind { Caches, ApplicationSupport, Preferences, Other };

// The application group's shared container: $XDG_DATA_HOME/<group>. Absent only when no
// data location can be found at all.
std::optional<QString> appGroupContainer(const QString& group);

// The user's own folder of a kind, used when there is no container.
std::optional<QString> userDirectory(DirectoryKind kind);

// This program's own configuration folder ($XDG_CONFIG_HOME) and caches folder
// ($XDG_CACHE_HOME/<identifier>).
QString configDirectory();
QString ownCachesDirectory(const QString& identifier);
}  // namespace platform

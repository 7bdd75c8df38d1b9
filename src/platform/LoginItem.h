#pragma once
#include <QString>
#include <QStringList>

namespace platform {
// The login item of a program: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<identifier>.desktop.

QString autostartEntryPath(const QString& identifier);

// Writes the entry (atomically) to start `program` at login, or removes it. A running program
// is left alone either way. False when the entry could not be written or removed.
bool setLoginItemEnabled(const QString& identifier, const QString& program, bool enabled);

// True when the entry exists and its Exec starts exactly `program`.
bool loginItemStarts(const QString& identifier, const QString& program);

// Brings the entry in line with the installation: enabled, an entry that starts `program`
// (written again only when it is missing or starts something else); disabled, no entry.
bool refreshLoginItem(const QString& identifier, const QString& program, bool enabled);

// The Exec value that runs `arguments`, quoted and escaped by the Desktop Entry rules, so a
// path with spaces, quotes, dollars, backslashes or percent signs starts the right program.
QString desktopEntryExec(const QStringList& arguments);
}  // namespace platform

#include "platform/gui/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "platform/Log.h"

namespace platform {
namespace {
void openFolder(const QString& filePath) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(filePath).absolutePath()));
}

// The first value of key `key` in group `group` of a desktop-entry style file; a value may list
// several entries separated by ';'.
QString firstEntryValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inGroup = false;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed().section(QLatin1Char(';'), 0, 0).trimmed();
    }
    return {};
}
}  // namespace

void showInFileManager(const QString& filePath) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(filePath);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(filePath).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [filePath](QDBusPendingCallWatcher* done) {
        const QDBusPendingReply<> reply = *done;
        if (reply.isError()) {
            logLine(QStringLiteral("show in file manager failed: ") + reply.error().message());
            openFolder(filePath);
        }
        done->deleteLater();
    });
}

QString fileManagerName() {
    const QString mime = QStringLiteral("inode/directory");
    // The user's choice first, then the system's (the order freedesktop.org's MIME applications rules give).
    QStringList lists;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& list : lists) {
        const QString entry = firstEntryValue(list, QStringLiteral("Default Applications"), mime);
        if (entry.isEmpty())
            continue;
        const QString desktop = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
        const QString name = desktop.isEmpty()
                                 ? QString()
                                 : firstEntryValue(desktop, QStringLiteral("Desktop Entry"), QStringLiteral("Name"));
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("File Manager");
}
}  // namespace platform

#include "platform/LoginItem.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "platform/WholeFile.h"

namespace platform {
QString autostartEntryPath(const QString& identifier) {
    return QDir(configDirectory()).filePath(QStringLiteral("autostart/") + identifier + QStringLiteral(".desktop"));
}

namespace {
// A value of the key file: a backslash and the control characters take escapes.
QString keyFileString(const QString& text) {
    QString value;
    for (const QChar c : text) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

// The raw Exec value of the entry's [Desktop Entry] group; empty when there is none.
QString entryExecValue(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.section(u'=', 0, 0).trimmed() == QLatin1String("Exec"))
            return line.section(u'=', 1).trimmed();
    }
    return {};
}
}  // namespace

QString desktopEntryExec(const QStringList& arguments) {
    QStringList quoted;
    for (const QString& argument : arguments) {
        // Inside double quotes the quote, backquote, dollar and backslash take a backslash;
        // a literal percent sign is doubled, as field codes start with it.
        QString inner;
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                inner += u'\\';
            inner += c;
            if (c == u'%')
                inner += u'%';
        }
        quoted << u'"' + inner + u'"';
    }
    // The value is then a string of the key file, where a backslash itself is escaped again.
    return keyFileString(quoted.join(u' '));
}

bool setLoginItemEnabled(const QString& identifier, const QString& program, bool enabled) {
    const QString path = autostartEntryPath(identifier);
    if (!enabled)
        return !QFile::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // TryExec: once the program is gone (uninstalled, moved), sessions skip the entry.
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=%1\n"
                              "Comment=Plays the video wallpaper\n"
                              "TryExec=%2\n"
                              "Exec=%3\n"
                              "Terminal=false\n"
                              "NoDisplay=true\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(QFileInfo(program).fileName(), keyFileString(program), desktopEntryExec({program}));
    return writeWholeFile(path, entry.toUtf8());
}

bool loginItemStarts(const QString& identifier, const QString& program) {
    return entryExecValue(autostartEntryPath(identifier)) == desktopEntryExec({program});
}

bool refreshLoginItem(const QString& identifier, const QString& program, bool enabled) {
    if (enabled && loginItemStarts(identifier, program))
        return true;
    return setLoginItemEnabled(identifier, program, enabled);
}
}  // namespace platform

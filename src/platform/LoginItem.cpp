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
    QString value;
    for (const QChar c : quoted.join(u' ')) {
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

bool setLoginItemEnabled(const QString& identifier, const QString& program, bool enabled) {
    const QString path = autostartEntryPath(identifier);
    if (!enabled)
        return !QFile::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=%1\n"
                              "Comment=Plays the video wallpaper\n"
                              "Exec=%2\n"
                              "Terminal=false\n"
                              "NoDisplay=true\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(QFileInfo(program).fileName(), desktopEntryExec({program}));
    return writeWholeFile(path, entry.toUtf8());
}
}  // namespace platform

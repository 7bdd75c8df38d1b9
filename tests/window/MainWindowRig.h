#pragma once
// The main window's test programs: the program's one application delegate, made as a start-up
// after the first import makes it, on a screen away from the origin.
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/window/MainWindowController.h"
#include "MainWindow/window/PreviewPageLoader.h"
#include "platform/AppLauncher.h"
#include "platform/DefaultsSuite.h"
#include "platform/LoginItem.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"

#include <QCoreApplication>
#include <QFile>

namespace mainwindowtest {
// Runs before main() makes the application object: a screen away from the origin, Chromium
// without its sandbox (the tests run as root), and the build tree's preview plugin.
inline const bool kEnvironment = [] {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + SCREENS_JSON);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    qputenv("TAVVEL_SERVICE_URL", "http://127.0.0.1:9");
    previewpage::lookFirstIn(QStringLiteral(TAVVEL_PLUGIN_DIR));
    return true;
}();

inline QString autostartEntry() {
    return platform::autostartEntryPath(QString::fromLatin1(platform::kHelperIdentifier));
}

// One per process, like the program's: a start after the first import, at this version (no
// install report, no first-run login item), with auto-start on and no autostart entry yet.
inline AppDelegate& delegate() {
    static AppDelegate* shared = [] {
        Preferences::sharedDefaults().setObject(QStringLiteral("appVersion"), AppInfo::version());
        Preferences::sharedDefaults().synchronize();
        Preferences::shared().setAlreadyImportVideo(true);
        Preferences::shared().setAutolaunch(true);
        QFile::remove(autostartEntry());
        auto* made = new AppDelegate(MainParts::make());
        made->applicationDidFinishLaunching();
        return made;
    }();
    return *shared;
}

inline MainWindowController& controller() {
    return delegate().mainWindowController();
}
}  // namespace mainwindowtest

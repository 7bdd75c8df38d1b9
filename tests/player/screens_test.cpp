// Two screens showing the same picture (a cloned output): one rectangle, two screens. Each
// screen gets its own wallpaper window.
#include "PlayerFakes.h"
#include "player/DesktopWallpaperPlatform.h"
#include "player/DesktopWallpaperWindow.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {
// Runs before main() makes the application object, so the platform sees the screen file.
const bool kClonedScreens = [] {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + CLONED_SCREENS_JSON);
    return true;
}();
}  // namespace

TEST(Screens, ClonedScreensEachGetTheirOwnWindow) {
    ASSERT_TRUE(kClonedScreens);
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    for (const auto arrangement : {VideoPlayerScreenType::dynamic, VideoPlayerScreenType::lonely}) {
        SCOPED_TRACE(int(arrangement));
        TestLibrary library;
        library.suite.setInteger(PreferencesKey::monitorArrange, qint64(arrangement));
        library.suite.setInteger(PreferencesKey::screenIndex, 1);
        Preferences prefs(library.suite);
        VideoPlayerManager manager(desktopWallpaperPlatform(), prefs, library.db);
        manager.setupWindows();
        QList<QScreen*> shown;
        for (const auto& window : manager.windowList())
            shown.append(static_cast<DesktopWallpaperWindow&>(*window).widget()->windowHandle()->screen());
        const QList<QScreen*> all = QGuiApplication::screens();
        const QScreen* other = all.at(0) == QGuiApplication::primaryScreen() ? all.at(1) : all.at(0);
        if (arrangement == VideoPlayerScreenType::dynamic)
            EXPECT_EQ(QSet<QScreen*>(shown.begin(), shown.end()).size(), 2);
        else
            EXPECT_EQ(shown, QList<QScreen*>{const_cast<QScreen*>(other)});
    }
}

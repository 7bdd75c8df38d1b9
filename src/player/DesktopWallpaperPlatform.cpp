#include "player/DesktopWallpaperPlatform.h"

#include "platform/Log.h"
#include "platform/WallpaperProblem.h"
#include "platform/gui/WaylandLayerShell.h"
#include "platform/gui/X11Desktop.h"
#include "player/DesktopWallpaperWindow.h"
#include "player/LayerWallpaperWindow.h"
#include "player/MpvPlayer.h"
#include "player/VideoRenderer.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
// The player's one place that tells of a desktop on which no wallpaper can be shown: in the log,
// and to the main window, again whenever the user's choice has cleared what it showed.
void reportWallpaperUnavailable(bool atStart) {
    if (!atStart && !platform::wallpaperProblem().isEmpty())
        return;
    platform::logLine(QStringLiteral(
        "no wallpaper on this desktop: the Wayland compositor offers neither a layer shell nor an X server, so a "
        "window of the player would be an ordinary window over the others; none is shown"));
    platform::reportWallpaperProblem(
        QObject::tr("This desktop cannot show a video wallpaper: its Wayland compositor offers neither a layer "
                    "shell nor an X server."));
}

class DesktopPlatform final : public WallpaperPlatform {
public:
    DesktopPlatform() {
        if (cannotShowWallpaper())
            reportWallpaperUnavailable(true);
        if (platform::isX11())
            connect(&platform::X11CurrentDesktopWatcher::shared(),
                    &platform::X11CurrentDesktopWatcher::currentDesktopChanged, this,
                    &WallpaperPlatform::activeSpaceDidChange);
    }

    // The primary screen first.
    static QList<QScreen*> orderedScreens() {
        QList<QScreen*> result;
        QScreen* primary = QGuiApplication::primaryScreen();
        if (primary)
            result.append(primary);
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen != primary)
                result.append(screen);
        }
        return result;
    }

    // On Wayland without a layer shell every window of Qt's is an ordinary one, raised over the
    // user's work: such a desktop has no screen for a wallpaper.
    static bool cannotShowWallpaper() {
        return !platform::LayerShell::shared() && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    }

    QList<QRect> screens() const override {
        if (platform::LayerShell* shell = platform::LayerShell::shared())
            return shell->outputs();
        if (cannotShowWallpaper()) {
            reportWallpaperUnavailable(false);
            return {};
        }
        QList<QRect> result;
        for (QScreen* screen : orderedScreens())
            result.append(screen->geometry());
        return result;
    }

    std::unique_ptr<WallpaperWindow> makeWindow(const QRect& screen, const QRect& playerViewFrame, MediaPlayer& player,
                                                QObject* clickTarget) override {
        if (platform::LayerShell* shell = platform::LayerShell::shared())
            return std::make_unique<LayerWallpaperWindow>(*shell, int(screens().indexOf(screen)), playerViewFrame,
                                                          player.renderer());
        return std::make_unique<DesktopWallpaperWindow>(screen, playerViewFrame, player.renderer(), clickTarget);
    }

    std::unique_ptr<WallpaperWindow> makeWindowOnScreen(int screenIndex, const QRect& screen,
                                                        const QRect& playerViewFrame, MediaPlayer& player,
                                                        QObject* clickTarget) override {
        if (platform::LayerShell* shell = platform::LayerShell::shared()) {
            const QList<QRect> outputs = shell->outputs();
            const int index = screenIndex >= 0 && screenIndex < outputs.size() && outputs.at(screenIndex) == screen
                                  ? screenIndex
                                  : int(outputs.indexOf(screen));
            return std::make_unique<LayerWallpaperWindow>(*shell, index, playerViewFrame, player.renderer());
        }
        const QList<QScreen*> all = orderedScreens();
        QScreen* target = screenIndex >= 0 && screenIndex < all.size() ? all.at(screenIndex) : nullptr;
        if (!target || target->geometry() != screen)
            return makeWindow(screen, playerViewFrame, player, clickTarget);
        return std::make_unique<DesktopWallpaperWindow>(screen, playerViewFrame, player.renderer(), clickTarget,
                                                        target);
    }

    // Layer surfaces are drawn in shared memory: the software renderer draws straight into it.
    std::unique_ptr<MediaPlayer> makePlayer() override {
        return std::make_unique<MpvPlayer>(platform::LayerShell::shared() ? makeSoftwareRenderer()
                                                                          : makeVideoRenderer());
    }
};
}  // namespace

WallpaperPlatform& desktopWallpaperPlatform() {
    static auto* platform = new DesktopPlatform;
    return *platform;
}

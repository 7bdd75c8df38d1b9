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
// and to the main window for as long as the player runs.
void reportWallpaperUnavailable() {
    platform::logLine(QStringLiteral(
        "no wallpaper on this desktop: the Wayland compositor offers no layer shell and would place a window of the "
        "player as an ordinary window over the others; none is shown"));
    platform::reportLastingWallpaperProblem(
        QObject::tr("This desktop cannot show a video wallpaper: its Wayland compositor offers no layer shell, and "
                    "would place the video over your windows."));
}

// Where nothing can be shown nothing is decoded: the play list goes on as anywhere else, over a
// player that opens no file.
class SilentPlayer final : public MediaPlayer {
public:
    quint64 replaceItem(const QUrl& url) override {
        current_ = url.isEmpty() ? 0 : ++last_;
        return current_;
    }
    quint64 currentItem() const override { return current_; }
    void play() override { playing_ = true; }
    void pause() override { playing_ = false; }
    bool isPlaying() const override { return playing_; }
    void seekToZero() override {}
    void setMuted(bool muted) override { muted_ = muted; }
    bool isMuted() const override { return muted_; }
    void setVolume(float volume) override { volume_ = volume; }
    float volume() const override { return volume_; }

private:
    quint64 current_ = 0, last_ = 0;
    bool playing_ = false, muted_ = false;
    float volume_ = 1;
};

class DesktopPlatform final : public WallpaperPlatform {
public:
    DesktopPlatform() {
        if (cannotShowWallpaper())
            reportWallpaperUnavailable();
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
    // user's work, and so is an X11 one through XWayland but under GNOME: such a desktop has no
    // screen for a wallpaper.
    static bool cannotShowWallpaper() {
        if (platform::LayerShell::shared())
            return false;
        return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
               (platform::LayerShell::waylandSession() && !platform::LayerShell::keepsX11DesktopBelow());
    }

    QList<QRect> screens() const override {
        if (platform::LayerShell* shell = platform::LayerShell::shared())
            return shell->outputs();
        if (cannotShowWallpaper())
            return {};
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
        if (cannotShowWallpaper())
            return std::make_unique<SilentPlayer>();
        return std::make_unique<MpvPlayer>(platform::LayerShell::shared() ? makeSoftwareRenderer()
                                                                          : makeVideoRenderer());
    }
};
}  // namespace

WallpaperPlatform& desktopWallpaperPlatform() {
    static auto* platform = new DesktopPlatform;
    return *platform;
}

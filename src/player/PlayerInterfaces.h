#pragma once
#include <QList>
#include <QObject>
#include <QRect>
#include <QUrl>
#include <memory>

class VideoRenderer;

// The one media player of the desktop player, as the play list sees it. Items are identified
// by the number replaceItem returns, so events of an item that has since been replaced can be
// told apart. Events are always delivered later from the event loop, never inside a call.
class MediaPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Loads `url` in place of the current item (an empty URL leaves no item). The player keeps
    // its rate: a playing player plays the new item, a paused one stays paused on it.
    // Returns the new item's number (0 for no item).
    virtual quint64 replaceItem(const QUrl& url) = 0;
    virtual quint64 currentItem() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;  // the rate is not zero
    virtual void seekToZero() = 0;
    virtual void setMuted(bool muted) = 0;
    virtual bool isMuted() const = 0;
    virtual void setVolume(float volume) = 0;  // 0 .. 1
    virtual float volume() const = 0;
    // Why the last item that failed did.
    enum class Failure { unplayable, noVideoTrack };
    virtual Failure lastFailure() const { return Failure::unplayable; }
    // What draws the frames for the windows; null for players that show nothing.
    virtual VideoRenderer* renderer() { return nullptr; }
    // Switched off: gives back what playing holds (the item is unloaded; the next replaceItem
    // loads one again).
    virtual void releaseMemory() {}

signals:
    void itemStarted(quint64 item);  // the item decodes: its first frame or sample is out
    void itemEnded(quint64 item);    // played to its end
    void itemFailed(quint64 item);   // could not be opened or decoded, or has no picture
};

// One wallpaper window on one screen.
class WallpaperWindow {
public:
    virtual ~WallpaperWindow() = default;
    virtual void setDesktopLevel() = 0;  // the window layer of the desktop, behind other windows
    virtual void orderFront() = 0;       // shown, above the desktop icons
    virtual void orderBack() = 0;        // shown, below the desktop icons
    virtual void orderOut() = 0;         // hidden
};

// Screens, windows and the player, as the platform makes them.
class WallpaperPlatform : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Geometry of every screen in logical pixels, the primary screen first.
    virtual QList<QRect> screens() const = 0;
    // A window covering `screen`, whose player view lies at `playerViewFrame` (window
    // coordinates; may reach beyond the window, which clips it) and shows `player`.
    virtual std::unique_ptr<WallpaperWindow> makeWindow(const QRect& screen, const QRect& playerViewFrame,
                                                        MediaPlayer& player, QObject* clickTarget) = 0;
    // The same on screen number `screenIndex` of screens(): screens may share a rectangle
    // (cloned outputs, separate X screens), so a platform that can tell them apart does it here.
    virtual std::unique_ptr<WallpaperWindow> makeWindowOnScreen(int screenIndex, const QRect& screen,
                                                                const QRect& playerViewFrame, MediaPlayer& player,
                                                                QObject* clickTarget) {
        Q_UNUSED(screenIndex);
        return makeWindow(screen, playerViewFrame, player, clickTarget);
    }
    virtual std::unique_ptr<MediaPlayer> makePlayer() = 0;

signals:
    // The user switched to another workspace.
    void activeSpaceDidChange();
};

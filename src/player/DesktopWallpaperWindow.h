#pragma once
#include "player/PlayerInterfaces.h"
#include "views/Activation.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class PlayerView;
class QScreen;
class VideoFrameSource;

// How an X11 wallpaper window is kept below the user's windows.
enum class WallpaperKind {
    desktop,    // of the desktop window type, in the window manager's desktop layer
    below,      // "below" state, above an opaque file manager's desktop, clicks passed through
    unmanaged,  // override-redirect at the bottom of the stack: for window managers without desktop windows
};

// The top-level widget of one wallpaper window: it covers its screen, holds one player view
// and reports a click to its target's "tapVideoPlayerViewAction".
class WallpaperWindowWidget final : public QWidget {
    Q_OBJECT
public:
    // `target` is the screen the window belongs to (null: the one at the rectangle's centre).
    // Of the "below" kind every click goes to the window below (input shape set again at each map).
    WallpaperWindowWidget(const QRect& screen, const QRect& playerViewFrame, VideoFrameSource* source,
                          QObject* clickTarget, QScreen* target = nullptr, WallpaperKind kind = WallpaperKind::desktop);
    PlayerView* playerView() const { return playerView_; }
    // Called at each MapNotify of the window: the window manager has placed it by then.
    void setOnMapped(std::function<void()> onMapped) { onMapped_ = std::move(onMapped); }

protected:
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PlayerView* playerView_ = nullptr;
    QPointer<QObject> clickTarget_;
    ClickTracker click_;
    WallpaperKind kind_ = WallpaperKind::desktop;
    std::function<void()> onMapped_;
};

// A wallpaper window on X11, on every workspace and below every other window. Over a file
// manager's transparent desktop (or none) it is a frameless window of the desktop window type,
// stacked among the desktop windows, and lowered again once mapped: mutter stacks a window that
// maps while another has the focus just under that one, over the icons. Over an opaque desktop,
// which would hide it, it has no desktop type but the "below" state, which keeps it above every
// desktop window, and lets every click through to the file manager. Under a window manager with
// no desktop windows (i3) it is a window no window manager handles, at the bottom of the stack.
// It decides again whenever the window manager's client list changes (a file manager that starts
// or quits), making its X window anew when the kind changes.
class DesktopWallpaperWindow final : public QObject, public WallpaperWindow {
public:
    DesktopWallpaperWindow(const QRect& screen, const QRect& playerViewFrame, VideoFrameSource* source,
                           QObject* clickTarget, QScreen* target = nullptr);
    ~DesktopWallpaperWindow() override;

    void setDesktopLevel() override;
    void orderFront() override;
    void orderBack() override;
    void orderOut() override;

    WallpaperWindowWidget* widget() const { return widget_; }
    // Whether the window lies over an opaque desktop (the "below" kind).
    bool coversOpaqueDesktop() const { return kind_ == WallpaperKind::below; }

private:
    enum class Order { none, front, back, out };
    void makeWidget();
    void dropWidget();
    void redecide();
    void apply(Order order);
    void writeLevel();
    void show();
    void mapped();
    WallpaperKind currentKind() const;

    QRect screen_, playerViewFrame_;
    QPointer<VideoFrameSource> source_;
    QPointer<QObject> clickTarget_;
    QPointer<QScreen> target_;
    QPointer<WallpaperWindowWidget> widget_;
    WallpaperKind kind_ = WallpaperKind::desktop;
    bool desktopLevel_ = false;  // setDesktopLevel was asked for
    Order order_ = Order::none;
};

#pragma once
#include "player/PlayerInterfaces.h"
#include "views/Activation.h"

#include <QPointer>
#include <QWidget>

class PlayerView;
class QScreen;
class VideoFrameSource;

// The top-level widget of one wallpaper window: it covers its screen, holds one player view
// and reports a click to its target's "tapVideoPlayerViewAction".
class WallpaperWindowWidget final : public QWidget {
    Q_OBJECT
public:
    // `target` is the screen the window belongs to (null: the one at the rectangle's centre).
    // `passInput`: every click goes to the window below (input shape set again at each map).
    WallpaperWindowWidget(const QRect& screen, const QRect& playerViewFrame, VideoFrameSource* source,
                          QObject* clickTarget, QScreen* target = nullptr, bool passInput = false);
    PlayerView* playerView() const { return playerView_; }

protected:
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PlayerView* playerView_ = nullptr;
    QPointer<QObject> clickTarget_;
    ClickTracker click_;
    bool passInput_ = false;
};

// A wallpaper window on X11, on every workspace and below every other window. Over a file
// manager's transparent desktop (or none) it is a frameless window of the desktop window type,
// stacked among the desktop windows. Over an opaque one, which would hide it, it has no desktop
// type but the "below" state, which keeps it above every desktop window, and lets every click
// through to the file manager. It decides again whenever the window manager's client list
// changes (a file manager that starts or quits), making its X window anew when the kind changes.
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
    bool coversOpaqueDesktop() const { return overOpaque_; }

private:
    enum class Order { none, front, back, out };
    void makeWidget();
    void dropWidget();
    void redecide();
    void apply(Order order);
    void writeLevel();
    void show();

    QRect screen_, playerViewFrame_;
    QPointer<VideoFrameSource> source_;
    QPointer<QObject> clickTarget_;
    QPointer<QScreen> target_;
    QPointer<WallpaperWindowWidget> widget_;
    bool overOpaque_ = false;
    bool desktopLevel_ = false;  // setDesktopLevel was asked for
    Order order_ = Order::none;
};

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
    WallpaperWindowWidget(const QRect& screen, const QRect& playerViewFrame, VideoFrameSource* source,
                          QObject* clickTarget, QScreen* target = nullptr);
    PlayerView* playerView() const { return playerView_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PlayerView* playerView_ = nullptr;
    QPointer<QObject> clickTarget_;
    ClickTracker click_;
};

// A wallpaper window on X11: a frameless window of the desktop window type, which the window
// manager keeps below every other window and on every workspace.
class DesktopWallpaperWindow final : public WallpaperWindow {
public:
    DesktopWallpaperWindow(const QRect& screen, const QRect& playerViewFrame, VideoFrameSource* source,
                           QObject* clickTarget, QScreen* target = nullptr);
    ~DesktopWallpaperWindow() override;

    void setDesktopLevel() override;
    void orderFront() override;
    void orderBack() override;
    void orderOut() override;

    WallpaperWindowWidget* widget() const { return widget_; }

private:
    QPointer<WallpaperWindowWidget> widget_;
    bool desktopTypeSet_ = false;
};

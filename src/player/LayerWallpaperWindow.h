#pragma once
#include "player/PlayerInterfaces.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <memory>

class VideoRenderer;
namespace platform {
class LayerShell;
class LayerSurface;
}  // namespace platform

// A wallpaper window on a Wayland compositor with a layer shell: a surface on the bottom layer
// of one output, above the compositor's own background and below every window, drawn by the
// renderer into shared memory at each frame. The compositor has no layer for desktop icons
// apart from it, so in front of and behind the icons are the same place.
class LayerWallpaperWindow final : public QObject, public WallpaperWindow {
    Q_OBJECT
public:
    LayerWallpaperWindow(platform::LayerShell& shell, int outputIndex, const QRect& playerViewFrame,
                         VideoRenderer* renderer);
    ~LayerWallpaperWindow() override;

    void setDesktopLevel() override {}
    void orderFront() override { show(); }
    void orderBack() override { show(); }
    void orderOut() override;

private:
    void show();
    void reopen();
    void draw();

    std::unique_ptr<platform::LayerSurface> surface_;
    QRect playerViewFrame_;
    QPointer<VideoRenderer> renderer_;
    bool attached_ = false;
    bool due_ = false;              // a frame came while no picture could be drawn
    bool wanted_ = false;           // shown, not ordered out
    bool shown_ = false;            // the compositor configured the surface since it was made
    bool reopenedAtOnce_ = false;   // since the output's last description
    bool reopenOnOutputs_ = false;  // closed before it was shown: made again at the output's next description
};

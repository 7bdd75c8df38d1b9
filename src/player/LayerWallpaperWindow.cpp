#include "player/LayerWallpaperWindow.h"

#include "platform/Log.h"
#include "platform/gui/WaylandLayerShell.h"
#include "player/FrameBlit.h"
#include "player/VideoRenderer.h"

LayerWallpaperWindow::LayerWallpaperWindow(platform::LayerShell& shell, int outputIndex, const QRect& playerViewFrame,
                                           VideoRenderer* renderer)
    : surface_(shell.makeSurface(outputIndex)), playerViewFrame_(playerViewFrame), renderer_(renderer) {
    if (!surface_)
        return;
    connect(surface_.get(), &platform::LayerSurface::readyToDraw, this, [this] {
        shown_ = true;
        if (due_)
            draw();
    });
    // A compositor closes the surfaces of an output it switches off. While that output is still
    // there the surface is made again: at once when it was shown (once until the output describes
    // itself anew, so a compositor that closes every surface cannot keep the player busy), else
    // once the output describes itself anew (it may be off still).
    connect(surface_.get(), &platform::LayerSurface::closed, this, [this] {
        if (!wanted_ || !surface_->hasOutput())
            return;
        platform::logLine(QStringLiteral("wayland: the compositor closed the wallpaper of an output it still has"));
        if (shown_ && !reopenedAtOnce_) {
            reopenedAtOnce_ = true;
            QMetaObject::invokeMethod(this, &LayerWallpaperWindow::reopen, Qt::QueuedConnection);
        } else {
            reopenOnOutputs_ = true;
        }
    });
    connect(&shell, &platform::LayerShell::outputsChanged, this, [this] {
        reopenedAtOnce_ = false;
        if (reopenOnOutputs_)
            reopen();
    });
    if (renderer_)
        connect(renderer_, &VideoRenderer::frameChanged, this, [this] {
            due_ = true;
            draw();
        });
}

LayerWallpaperWindow::~LayerWallpaperWindow() {
    if (renderer_ && attached_)
        renderer_->detachSurface();
}

void LayerWallpaperWindow::reopen() {
    reopenOnOutputs_ = false;
    if (wanted_ && surface_ && surface_->hasOutput() && !surface_->isShown()) {
        shown_ = false;
        surface_->show();
        due_ = true;
    }
}

void LayerWallpaperWindow::show() {
    wanted_ = true;
    if (!surface_ || surface_->isShown())
        return;
    shown_ = false;
    surface_->show();
    if (renderer_ && !attached_) {
        renderer_->attachSurface();
        attached_ = true;
    }
    due_ = true;  // the first picture, as soon as the compositor gives the size
}

void LayerWallpaperWindow::orderOut() {
    wanted_ = false;
    reopenOnOutputs_ = false;
    if (!surface_)
        return;
    surface_->hide();
    if (renderer_ && attached_) {
        renderer_->detachSurface();
        attached_ = false;
    }
}

void LayerWallpaperWindow::draw() {
    if (!surface_ || !surface_->isShown() || !surface_->canDraw())
        return;
    const QSize logical = surface_->size(), pixels = surface_->pictureSize();
    // The compositor scales (on the GPU on a real desktop): the picture holds what shows of the
    // frame at the frame's own pixels, never more than the output has there.
    const QSize frameSize = renderer_ ? renderer_->frameSize() : QSize();
    if (surface_->canScale() && !frameSize.isEmpty() && !logical.isEmpty() &&
        playerViewFrame_.contains(QRect(QPoint(), logical))) {
        const ViewportPlan plan = viewportPlan(frameSize, playerViewFrame_, logical, pixels);
        if (!plan.part.isEmpty()) {
            QImage* picture = surface_->beginFrame(plan.picture, plan.source);
            if (!picture)
                return;
            if (!renderer_->drawPart(*picture, plan.part))
                picture->fill(Qt::black);
            due_ = false;
            surface_->present();
            return;
        }
    }
    QImage* picture = surface_->beginFrame();
    if (!picture)
        return;
    // Before the first frame (or without a player) the surface is black, as the X11 window is.
    // The frame is in logical pixels; the picture has the output's real ones.
    const auto x = [&](int v) { return int(qint64(v) * pixels.width() / logical.width()); };
    const auto y = [&](int v) { return int(qint64(v) * pixels.height() / logical.height()); };
    const QRect frame(QPoint(x(playerViewFrame_.left()), y(playerViewFrame_.top())),
                      QPoint(x(playerViewFrame_.left() + playerViewFrame_.width()) - 1,
                             y(playerViewFrame_.top() + playerViewFrame_.height()) - 1));
    if (!renderer_ || !renderer_->drawFrame(*picture, frame))
        picture->fill(Qt::black);
    due_ = false;
    surface_->present();
}

#include "player/LayerWallpaperWindow.h"

#include "platform/gui/WaylandLayerShell.h"
#include "player/VideoRenderer.h"

LayerWallpaperWindow::LayerWallpaperWindow(platform::LayerShell& shell, int outputIndex, const QRect& playerViewFrame,
                                           VideoRenderer* renderer)
    : surface_(shell.makeSurface(outputIndex)), playerViewFrame_(playerViewFrame), renderer_(renderer) {
    if (!surface_)
        return;
    connect(surface_.get(), &platform::LayerSurface::readyToDraw, this, [this] {
        if (due_)
            draw();
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

void LayerWallpaperWindow::show() {
    if (!surface_ || surface_->isShown())
        return;
    surface_->show();
    if (renderer_ && !attached_) {
        renderer_->attachSurface();
        attached_ = true;
    }
    due_ = true;  // the first picture, as soon as the compositor gives the size
}

void LayerWallpaperWindow::orderOut() {
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
    QImage* picture = surface_->beginFrame();
    if (!picture)
        return;
    // Before the first frame (or without a player) the surface is black, as the X11 window is.
    const int scale = surface_->scale();
    const QRect frame(playerViewFrame_.topLeft() * scale, playerViewFrame_.size() * scale);
    if (!renderer_ || !renderer_->drawFrame(*picture, frame))
        picture->fill(Qt::black);
    due_ = false;
    surface_->present();
}

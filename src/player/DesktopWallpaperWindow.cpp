#include "player/DesktopWallpaperWindow.h"

#include "platform/gui/X11Desktop.h"
#include "views/PlayerView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

WallpaperWindowWidget::WallpaperWindowWidget(const QRect& screen, const QRect& playerViewFrame,
                                             VideoFrameSource* source, QObject* clickTarget, QScreen* target)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), clickTarget_(clickTarget) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Tavvel wallpaper"));
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
    if (!target)
        target = QGuiApplication::screenAt(screen.center());
    if (target) {
        winId();
        windowHandle()->setScreen(target);
    }
    setGeometry(screen);
    playerView_ = new PlayerView(playerViewFrame, this);
    playerView_->setPlayer(source);
}

void WallpaperWindowWidget::mousePressEvent(QMouseEvent* event) {
    click_.press(event);
    event->accept();
}

void WallpaperWindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (click_.release(event, this) && clickTarget_)
        QMetaObject::invokeMethod(clickTarget_, "tapVideoPlayerViewAction");
}

DesktopWallpaperWindow::DesktopWallpaperWindow(const QRect& screen, const QRect& playerViewFrame,
                                               VideoFrameSource* source, QObject* clickTarget, QScreen* target)
    : widget_(new WallpaperWindowWidget(screen, playerViewFrame, source, clickTarget, target)) {}

DesktopWallpaperWindow::~DesktopWallpaperWindow() {
    if (widget_) {
        widget_->hide();
        widget_->deleteLater();
    }
}

void DesktopWallpaperWindow::setDesktopLevel() {
    // The window type only counts before the window is first mapped; once set it stays.
    if (!widget_ || desktopTypeSet_)
        return;
    widget_->winId();
    platform::setDesktopWindowType(widget_);
    desktopTypeSet_ = true;
}

void DesktopWallpaperWindow::orderFront() {
    if (!widget_)
        return;
    widget_->show();
    // A window manager keeps a desktop window in the desktop layer however it is raised; without
    // one, a raise would put it above every window, panels and tray included.
    if (!platform::raiseWithinDesktopLayer(widget_))
        widget_->raise();
}

void DesktopWallpaperWindow::orderBack() {
    if (!widget_)
        return;
    widget_->show();
    widget_->lower();
}

void DesktopWallpaperWindow::orderOut() {
    if (widget_)
        widget_->hide();
}

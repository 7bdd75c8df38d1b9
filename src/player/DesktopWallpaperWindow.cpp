#include "player/DesktopWallpaperWindow.h"

#include "platform/gui/X11Desktop.h"
#include "views/PlayerView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <xcb/xcb.h>

namespace {
Qt::WindowFlags flagsFor(WallpaperKind kind) {
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    if (kind == WallpaperKind::below)
        flags |= Qt::WindowStaysOnBottomHint | Qt::WindowTransparentForInput;
    else if (kind == WallpaperKind::unmanaged)
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

QScreen* screenFor(const QRect& screen, QScreen* target) {
    return target ? target : QGuiApplication::screenAt(screen.center());
}
}  // namespace

WallpaperWindowWidget::WallpaperWindowWidget(const QRect& screen, const QRect& playerViewFrame,
                                             VideoFrameSource* source, QObject* clickTarget, QScreen* target,
                                             WallpaperKind kind)
    : QWidget(nullptr, flagsFor(kind)), clickTarget_(clickTarget), kind_(kind) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Tavvel wallpaper"));
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
    target = screenFor(screen, target);
    if (target) {
        winId();
        windowHandle()->setScreen(target);
    }
    setGeometry(screen);
    // A window of a fixed size cannot be maximized: KWin would fit a screen-sized one into the
    // work area, leaving the panel's strip bare.
    if (kind == WallpaperKind::below)
        setFixedSize(screen.size());
    playerView_ = new PlayerView(playerViewFrame, this);
    playerView_->setPlayer(source);
}

bool WallpaperWindowWidget::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType == "xcb_generic_event_t" && message &&
        (static_cast<xcb_generic_event_t*>(message)->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        if (kind_ == WallpaperKind::below) {
            platform::passInputThrough(this);
            // Mapped while KWin shows the desktop: the window manager has it now and takes a request.
            platform::followShowingDesktop(this);
        }
        if (onMapped_)
            onMapped_();
    }
    return QWidget::nativeEvent(eventType, message, result);
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
    : screen_(screen),
      playerViewFrame_(playerViewFrame),
      source_(source),
      clickTarget_(clickTarget),
      target_(screenFor(screen, target)) {
    kind_ = currentKind();
    makeWidget();
    if (platform::isX11()) {
        auto& watcher = platform::X11CurrentDesktopWatcher::shared();
        connect(&watcher, &platform::X11CurrentDesktopWatcher::clientListChanged, this,
                &DesktopWallpaperWindow::redecide);
        connect(&watcher, &platform::X11CurrentDesktopWatcher::showingDesktopChanged, this, [this] {
            if (widget_ && kind_ == WallpaperKind::below)
                platform::followShowingDesktop(widget_);
        });
    }
}

DesktopWallpaperWindow::~DesktopWallpaperWindow() {
    dropWidget();
}

WallpaperKind DesktopWallpaperWindow::currentKind() const {
    if (!platform::windowManagerKeepsDesktopWindows())
        return WallpaperKind::unmanaged;
    return platform::opaqueDesktopCovers(platform::nativePixels(screen_, target_)) ? WallpaperKind::below
                                                                                   : WallpaperKind::desktop;
}

void DesktopWallpaperWindow::makeWidget() {
    widget_ = new WallpaperWindowWidget(screen_, playerViewFrame_, source_, clickTarget_, target_, kind_);
    widget_->setOnMapped([this] { mapped(); });
}

void DesktopWallpaperWindow::mapped() {
    // The window manager may have stacked the window anew as it mapped it (mutter: just under the
    // focused window); behind the icons means the bottom of the desktop layer.
    if (kind_ == WallpaperKind::desktop && order_ == Order::back)
        platform::lowerWithinDesktopLayer(widget_);
    // A window that is no desktop window is placed as an application's: it covers the panels'
    // strips too.
    if (kind_ == WallpaperKind::below)
        platform::moveTo(widget_, platform::nativePixels(screen_, target_));
}

void DesktopWallpaperWindow::dropWidget() {
    if (widget_) {
        // A map event still queued for it no longer speaks for this window, which may be gone.
        widget_->setOnMapped({});
        widget_->hide();
        widget_->deleteLater();
    }
}

void DesktopWallpaperWindow::redecide() {
    const WallpaperKind kind = currentKind();
    if (kind == kind_)
        return;
    // The window manager reads a window's type and states at its first map only: a new window.
    kind_ = kind;
    dropWidget();
    makeWidget();
    if (desktopLevel_)
        setDesktopLevel();
    apply(order_);
}

void DesktopWallpaperWindow::setDesktopLevel() {
    desktopLevel_ = true;
    if (widget_ && !widget_->isVisible())
        writeLevel();
}

void DesktopWallpaperWindow::writeLevel() {
    widget_->winId();
    if (kind_ == WallpaperKind::below)
        platform::setBelowWindowState(widget_);
    else if (kind_ == WallpaperKind::desktop)
        platform::setDesktopWindowType(widget_);
}

void DesktopWallpaperWindow::show() {
    // The window manager dropped the states when the window was withdrawn: sticky, out of the
    // task bar and the switcher come back with every map.
    if (!widget_->isVisible() && desktopLevel_)
        writeLevel();
    widget_->show();
}

void DesktopWallpaperWindow::apply(Order order) {
    order_ = order;
    if (!widget_)
        return;
    switch (order) {
    case Order::none: break;
    case Order::out: widget_->hide(); break;
    case Order::front:
        show();
        // Where there are no desktop windows there is nothing to be in front of; over an opaque
        // desktop the window is above the icons already, in a layer of its own.
        if (kind_ == WallpaperKind::unmanaged)
            widget_->lower();
        if (kind_ != WallpaperKind::desktop)
            break;
        // A window manager keeps a desktop window in the desktop layer however it is raised;
        // without one, a raise would put it above every window, panels and tray included.
        if (!platform::raiseWithinDesktopLayer(widget_))
            widget_->raise();
        break;
    case Order::back:
        show();
        if (kind_ != WallpaperKind::below)
            widget_->lower();
        break;
    }
}

void DesktopWallpaperWindow::orderFront() {
    apply(Order::front);
}

void DesktopWallpaperWindow::orderBack() {
    apply(Order::back);
}

void DesktopWallpaperWindow::orderOut() {
    apply(Order::out);
}

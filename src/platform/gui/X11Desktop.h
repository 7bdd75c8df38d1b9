#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>

class QWidget;

namespace platform {
// True when the program runs on an X server (the xcb platform of Qt).
bool isX11();

// Makes a top-level widget a desktop window: the window type _NET_WM_WINDOW_TYPE_DESKTOP (the
// window manager keeps it below all other windows, on every workspace), on all desktops, kept
// out of task bars and pagers. Call after winId() and before the first show(). Does nothing
// off X11. Returns whether the properties were set.
bool setDesktopWindowType(QWidget* window);

// Stacks a desktop window above the other desktop windows (those that draw the desktop icons)
// and below every other window, when no window manager does it: without one a raise would
// put it above all windows. Returns false when the caller should raise it plainly (a window
// manager keeps desktop windows in their layer, or this is not X11).
bool raiseWithinDesktopLayer(QWidget* window);

// Emits currentDesktopChanged when the X server's current workspace (_NET_CURRENT_DESKTOP of
// the root window) changes. Silent off X11.
class X11CurrentDesktopWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static X11CurrentDesktopWatcher& shared();
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void currentDesktopChanged();

private:
    X11CurrentDesktopWatcher();
    quint32 currentDesktopAtom_ = 0;
    quint32 root_ = 0;
};
}  // namespace platform

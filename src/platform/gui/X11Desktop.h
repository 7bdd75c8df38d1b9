#pragma once
#include <QAbstractNativeEventFilter>
#include <QObject>

class QRect;
class QScreen;
class QWidget;

namespace platform {
// True when the program runs on an X server (the xcb platform of Qt).
bool isX11();

// Makes a top-level widget a desktop window: the window type _NET_WM_WINDOW_TYPE_DESKTOP (the
// window manager keeps it below all other windows, on every workspace), on all desktops, kept
// out of task bars and pagers. Call after winId() and before every show() (window managers
// drop the states of a withdrawn window). Does nothing off X11. Returns whether they were set.
bool setDesktopWindowType(QWidget* window);

// Stacks a desktop window above the other desktop windows (those that draw the desktop icons)
// and below every other window, when no window manager does it: without one a raise would
// put it above all windows. Returns false when the caller should raise it plainly (a window
// manager keeps desktop windows in their layer, or this is not X11).
bool raiseWithinDesktopLayer(QWidget* window);

// Puts a mapped desktop window at the bottom of the desktop layer, below the file manager's icons,
// and takes back the "demands attention" mark mutter gives a window it stacked under the focused
// one. Asked of the window manager as a pager would: mutter ignores a client's own restack
// request while another application has the focus.
void lowerWithinDesktopLayer(QWidget* window);

// False when a window manager runs that has no layer of desktop windows (it does not list the
// desktop window type as supported, as i3): it would place a desktop window among the others.
bool windowManagerKeepsDesktopWindows();

// `logical` (Qt's coordinates, on `screen`) in the X server's pixels. Qt keeps each screen's
// top-left corner in native pixels and scales only what lies beyond it, so a second screen
// starts where the server says, whatever the scale.
QRect nativePixels(const QRect& logical, const QScreen* screen);

// Whether another program's desktop-type window covers `screenPixels` (native pixels, root
// coordinates) and hides what lies below it: a file manager's desktop drawn in a 24-bit window,
// one of 32 bits with no compositing manager to blend it, or plasmashell's, which paints its
// wallpaper opaque into a 32-bit window. Windows of this program do not count. False off X11
// and where no window manager lists its clients.
bool opaqueDesktopCovers(const QRect& screenPixels);

// Marks a top-level widget as a window kept below every normal window but above the desktop
// windows (_NET_WM_STATE_BELOW), on all desktops and out of task bars, pagers and KWin's task
// switcher (under openbox of the splash type, which its "Show desktop" leaves in place). Call after winId() and before
// every show(): window managers drop the states of a withdrawn window. Returns whether it was set.
bool setBelowWindowState(QWidget* window);

// Asks the window manager to move a mapped window to `screenPixels`'s corner when it is not
// there: openbox places a new window in the work area, beside a panel's strip.
void moveTo(QWidget* window, const QRect& screenPixels);

// KWin's "Show desktop" raises the desktop windows over every window they do not own, a window
// kept below included: under KWin, while the desktop shows (_NET_SHOWING_DESKTOP of the root
// window), a mapped window of setBelowWindowState is kept above instead, and below again after.
// Call when the window is mapped and when the root window's state changes. Does nothing under
// other window managers and off X11.
void followShowingDesktop(QWidget* window);

// Gives a window the empty input shape, so every click goes to the window below it. Window
// managers copy a client's input shape to their frame only when it changes after the map, so
// this is called once more when the window is mapped.
bool passInputThrough(QWidget* window);

// Emits currentDesktopChanged when the X server's current workspace (_NET_CURRENT_DESKTOP of
// the root window) changes, clientListChanged when the window manager's list of client windows
// (_NET_CLIENT_LIST) does, and showingDesktopChanged at "Show desktop" and back
// (_NET_SHOWING_DESKTOP). Silent off X11.
class X11CurrentDesktopWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static X11CurrentDesktopWatcher& shared();
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void currentDesktopChanged();
    void clientListChanged();
    void showingDesktopChanged();

private:
    X11CurrentDesktopWatcher();
    quint32 currentDesktopAtom_ = 0;
    quint32 clientListAtom_ = 0;
    quint32 showingDesktopAtom_ = 0;
    quint32 root_ = 0;
};
}  // namespace platform

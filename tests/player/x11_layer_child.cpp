// On an X server without a window manager (Xvfb as tests/support/xvfb_run.sh starts it), one after the other:
// - a desktop-icons window, a panel and the wallpaper with the icons hidden; prints
//   "order icons=I wallpaper=W panel=P" (stacking, bottom 0);
// - the status menu built before any tray exists, then a tray appears; prints "docked" when the
//   icon asks it to dock, else "not docked".
#include "PlayerFakes.h"
#include "platform/gui/X11Desktop.h"
#include "player/DesktopWallpaperPlatform.h"
#include "player/DesktopWallpaperWindow.h"
#include "player/StatusBarManager.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name),
                                                       nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}

int layer() {
    QWidget icons(nullptr, Qt::Window | Qt::FramelessWindowHint);
    icons.setGeometry(0, 0, 800, 600);
    icons.winId();
    platform::setDesktopWindowType(&icons);
    icons.show();
    QWidget panel(nullptr, Qt::Window | Qt::FramelessWindowHint);
    panel.setGeometry(0, 0, 800, 30);
    panel.show();
    QTest::qWait(200);
    DesktopWallpaperWindow wallpaper(QRect(0, 0, 800, 600), QRect(0, 0, 800, 600), nullptr, nullptr);
    wallpaper.setDesktopLevel();
    wallpaper.orderBack();
    QTest::qWait(200);
    wallpaper.orderFront();  // "Hide Desktop Icon"
    QTest::qWait(300);

    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    const xcb_window_t* children = xcb_query_tree_children(tree);
    auto position = [&](WId id) {
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            if (children[i] == xcb_window_t(id))
                return i;
        return -1;
    };
    std::printf("order icons=%d wallpaper=%d panel=%d\n", position(icons.winId()),
                position(wallpaper.widget()->winId()), position(panel.winId()));
    std::free(tree);
    return 0;
}

int tray() {
    TestLibrary library;
    Preferences prefs(library.suite);
    VideoPlayerManager player(desktopWallpaperPlatform(), prefs, library.db);
    StatusBarManager status(prefs, player);
    status.buildStatusMenu();
    QTest::qWait(300);
    // The panel starts: its tray takes the selection on a connection of its own.
    xcb_connection_t* panel = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(panel)).data;
    const xcb_window_t trayWindow = xcb_generate_id(panel);
    xcb_create_window(panel, XCB_COPY_FROM_PARENT, trayWindow, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t selection = intern(panel, "_NET_SYSTEM_TRAY_S0");
    const xcb_atom_t opcode = intern(panel, "_NET_SYSTEM_TRAY_OPCODE");
    xcb_set_selection_owner(panel, trayWindow, selection, XCB_CURRENT_TIME);
    xcb_flush(panel);
    bool docked = false;
    [[maybe_unused]] const bool seen = QTest::qWaitFor(
        [&] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(panel)) {
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                    docked |= message->type == opcode && message->data.data32[1] == 0;  // REQUEST_DOCK
                }
                std::free(event);
            }
            return docked;
        },
        6000);
    std::printf(docked ? "docked\n" : "not docked\n");
    xcb_disconnect(panel);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    layer();
    return tray();
}

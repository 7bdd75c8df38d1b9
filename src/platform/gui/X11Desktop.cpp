#include "platform/gui/X11Desktop.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace platform {
namespace {
xcb_connection_t* connection() {
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Every request goes out before the first reply is read: one round trip for all the names.
template <size_t N>
std::array<xcb_atom_t, N> atoms(xcb_connection_t* c, const char* const (&names)[N]) {
    std::array<xcb_intern_atom_cookie_t, N> cookies;
    for (size_t i = 0; i < N; ++i)
        cookies[i] = xcb_intern_atom(c, 0, quint16(qstrlen(names[i])), names[i]);
    std::array<xcb_atom_t, N> result;
    for (size_t i = 0; i < N; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        result[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
    }
    return result;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    return atoms(c, {name})[0];
}
}  // namespace

bool isX11() {
    return connection() != nullptr;
}

bool setDesktopWindowType(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    const auto a = atoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_DESKTOP", "_NET_WM_STATE",
                             "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    const xcb_atom_t type = a[0], desktop = a[1], wmDesktop = a[2], state = a[3];
    const xcb_atom_t states[] = {a[4], a[5], a[6]};
    const quint32 allDesktops = 0xFFFFFFFFu;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, type, XCB_ATOM_ATOM, 32, 1, &desktop);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, wmDesktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, 3, states);
    xcb_flush(c);
    return true;
}

namespace {
// A window manager says it runs through _NET_SUPPORTING_WM_CHECK on the root window, naming a
// window of its own that exists.
bool windowManagerRuns(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t wm = XCB_WINDOW_NONE;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        wm = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    if (wm == XCB_WINDOW_NONE)
        return false;
    xcb_get_window_attributes_reply_t* attrs = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, wm),
                                                                               nullptr);
    std::free(attrs);
    return attrs != nullptr;
}
}  // namespace

bool raiseWithinDesktopLayer(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    xcb_query_tree_reply_t* own = xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr);
    if (!own)
        return false;
    const xcb_window_t root = own->root;
    std::free(own);
    const auto a = atoms(c, {"_NET_SUPPORTING_WM_CHECK", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP"});
    if (windowManagerRuns(c, root, a[0]))
        return false;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return false;
    // Children come bottom to top: the highest other desktop window is the one to stand on.
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    std::vector<xcb_get_property_cookie_t> types;
    types.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        types.push_back(xcb_get_property(c, 0, children[i], a[1], XCB_ATOM_ATOM, 0, 16));
    xcb_window_t sibling = XCB_WINDOW_NONE;
    for (int i = 0; i < count; ++i) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(c, types[size_t(i)], nullptr);
        if (reply && children[i] != id) {
            const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            const int n = xcb_get_property_value_length(reply) / 4;
            if (std::find(values, values + n, a[2]) != values + n)
                sibling = children[i];
        }
        std::free(reply);
    }
    std::free(tree);
    if (sibling != XCB_WINDOW_NONE) {
        const quint32 values[] = {sibling, XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c, id, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    } else {
        const quint32 below = XCB_STACK_MODE_BELOW;  // nothing to stand on: the bottom
        xcb_configure_window(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    }
    xcb_flush(c);
    return true;
}

X11CurrentDesktopWatcher& X11CurrentDesktopWatcher::shared() {
    static auto* watcher = new X11CurrentDesktopWatcher;
    return *watcher;
}

X11CurrentDesktopWatcher::X11CurrentDesktopWatcher() {
    xcb_connection_t* c = connection();
    if (!c)
        return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return;
    root_ = screen->root;
    currentDesktopAtom_ = atom(c, "_NET_CURRENT_DESKTOP");
    // Add property changes of the root window to what this client already selects there
    // (Qt listens on the root window too; replacing its mask would deafen it).
    quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    if (xcb_get_window_attributes_reply_t* attrs = xcb_get_window_attributes_reply(
            c, xcb_get_window_attributes(c, root_), nullptr)) {
        mask |= attrs->your_event_mask;
        std::free(attrs);
    }
    xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    qGuiApp->installNativeEventFilter(this);
}

bool X11CurrentDesktopWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
        auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (notify->window == root_ && notify->atom == currentDesktopAtom_ && currentDesktopAtom_ != XCB_ATOM_NONE)
            emit currentDesktopChanged();
    }
    return false;  // Qt still sees the event
}
}  // namespace platform

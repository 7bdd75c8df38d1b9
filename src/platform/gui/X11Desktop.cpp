#include "platform/gui/X11Desktop.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWindow>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <vector>
#include <unistd.h>
#include <xcb/shape.h>
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

namespace {
std::vector<xcb_atom_t> atomList(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    std::vector<xcb_atom_t> result;
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr)) {
        const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply));
        result.assign(values, values + xcb_get_property_value_length(reply) / 4);
        std::free(reply);
    }
    return result;
}

// The X screen number the connection speaks for (":0.1" is screen 1).
int screenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}

bool compositingManagerRuns(xcb_connection_t* c) {
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber());
    const xcb_atom_t selection = atom(c, name.constData());
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection),
                                                                           nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

// On all desktops, with `states` (an atom list of _NET_WM_STATE); before the first map, where the
// window manager reads them.
void setStates(xcb_connection_t* c, xcb_window_t id, const std::vector<xcb_atom_t>& states) {
    const auto a = atoms(c, {"_NET_WM_DESKTOP", "_NET_WM_STATE"});
    const quint32 allDesktops = 0xFFFFFFFFu;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, a[0], XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, a[1], XCB_ATOM_ATOM, 32, quint32(states.size()), states.data());
    xcb_flush(c);
}
}  // namespace

namespace {
// An EWMH request about `window`, sent to the root window for the window manager.
void sendToWindowManager(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                         std::array<quint32, 5> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

// A window manager says it runs through _NET_SUPPORTING_WM_CHECK on the root window, naming a
// window of its own that exists.
xcb_window_t windowManagerWindow(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t wm = XCB_WINDOW_NONE;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        wm = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    if (wm == XCB_WINDOW_NONE)
        return XCB_WINDOW_NONE;
    xcb_get_window_attributes_reply_t* attrs = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, wm),
                                                                               nullptr);
    std::free(attrs);
    return attrs ? wm : xcb_window_t(XCB_WINDOW_NONE);
}

bool windowManagerRuns(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check) {
    return windowManagerWindow(c, root, check) != XCB_WINDOW_NONE;
}

// The running window manager's _NET_WM_NAME, empty when none says.
QByteArray windowManagerName(xcb_connection_t* c) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return {};
    const auto a = atoms(c, {"_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME", "UTF8_STRING"});
    const xcb_window_t wm = windowManagerWindow(c, screen->root, a[0]);
    if (wm == XCB_WINDOW_NONE)
        return {};
    QByteArray name;
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, wm, a[1], a[2], 0, 64),
                                                                 nullptr)) {
        name = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
        std::free(reply);
    }
    return name;
}
}  // namespace

bool setDesktopWindowType(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    const xcb_window_t id = xcb_window_t(window->winId());
    const auto a = atoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_STATE_STICKY",
                             "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, a[0], XCB_ATOM_ATOM, 32, 1, &a[1]);
    setStates(c, id, {a[2], a[3], a[4]});
    return true;
}

bool setBelowWindowState(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    // KWin lists every window without the desktop type in Alt-Tab unless told otherwise.
    const auto a = atoms(c, {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                             "_NET_WM_STATE_SKIP_PAGER", "_KDE_NET_WM_STATE_SKIP_SWITCHER"});
    const xcb_window_t id = xcb_window_t(window->winId());
    // openbox's "Show desktop" unmaps every window but desktops, docks (which it raises over
    // normal windows) and splash windows; xfwm4 and KWin leave a window out of the task bar
    // alone, and KWin would centre a splash window in the work area.
    std::vector<xcb_atom_t> states{a[0], a[1], a[2], a[3], a[4]};
    const QByteArray manager = windowManagerName(c);
    if (manager.contains("Marco")) {
        // marco's "Show desktop" hides every window but desktop and dock windows, and keeps a dock
        // window in the "below" state in the layer of the other windows kept below.
        const auto type = atoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"});
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, type[0], XCB_ATOM_ATOM, 32, 1, &type[1]);
    }
    if (manager == "Openbox") {
        const auto type = atoms(c, {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_SPLASH", "_NET_WM_STATE_MAXIMIZED_HORZ",
                                    "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WORKAREA"});
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, type[0], XCB_ATOM_ATOM, 32, 1, &type[1]);
        // openbox lifts an undecorated window that exactly fills a monitor into its fullscreen
        // layer, over every application, while the focus is on another monitor; a maximized one
        // it leaves alone. Maximized only along an axis no panel's strip shortens (the work area
        // spans the whole screen that way), or the window would be fitted into the work area.
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const std::vector<xcb_atom_t> area = atomList(c, screen->root, type[4], XCB_ATOM_CARDINAL);
        if (area.size() < 4 || (area[0] == 0 && area[2] == screen->width_in_pixels))
            states.push_back(type[2]);
        else if (area[1] == 0 && area[3] == screen->height_in_pixels)
            states.push_back(type[3]);
    }
    setStates(c, id, states);
    return true;
}

void moveTo(QWidget* window, const QRect& screenPixels) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, id, screen->root, 0, 0), nullptr);
    const bool there = origin && origin->dst_x == screenPixels.x() && origin->dst_y == screenPixels.y();
    std::free(origin);
    if (there)
        return;
    const quint32 values[] = {quint32(screenPixels.x()), quint32(screenPixels.y())};
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(c);
}

void followShowingDesktop(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window || !window->isVisible() || windowManagerName(c) != "KWin")
        return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return;
    const auto a = atoms(c, {"_NET_SHOWING_DESKTOP", "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_BELOW"});
    const std::vector<xcb_atom_t> showing = atomList(c, screen->root, a[0], XCB_ATOM_CARDINAL);
    const bool above = !showing.empty() && showing.front() != 0;
    // A mapped window's states change through the window manager (EWMH _NET_WM_STATE requests);
    // the state to leave goes first, since KWin drops either when the other is set.
    const auto request = [&](bool add, xcb_atom_t state) {
        // Source 1: a normal application.
        sendToWindowManager(c, screen->root, xcb_window_t(window->winId()), a[1], {add ? 1u : 0u, state, 0, 1, 0});
    };
    request(false, above ? a[3] : a[2]);
    request(true, above ? a[2] : a[3]);
    xcb_flush(c);
}

bool passInputThrough(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window)
        return false;
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         xcb_window_t(window->winId()), 0, 0, 0, nullptr);
    xcb_flush(c);
    return true;
}

QRect nativePixels(const QRect& logical, const QScreen* screen) {
    if (!screen)
        return logical;
    const qreal ratio = screen->devicePixelRatio();
    const QPointF origin = screen->geometry().topLeft();
    return QRectF(origin + (QPointF(logical.topLeft()) - origin) * ratio, QSizeF(logical.size()) * ratio).toRect();
}

namespace {
// plasmashell draws wallpaper, icons and widgets opaque into one 32-bit window.
bool paintsOpaqueIn32Bits(xcb_connection_t* c, xcb_window_t window) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
    bool plasma = false;
    if (reply) {
        // Instance and class name, each ending in a NUL.
        const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        plasma = value.split('\0').contains("plasmashell");
        std::free(reply);
    }
    return plasma;
}
}  // namespace

bool opaqueDesktopCovers(const QRect& screenPixels) {
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return false;
    const xcb_window_t root = screen->root;
    const auto a = atoms(c, {"_NET_CLIENT_LIST", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP"});
    std::vector<xcb_window_t> own;
    for (QWindow* window : QGuiApplication::allWindows())
        if (window->handle())
            own.push_back(xcb_window_t(window->winId()));
    std::optional<bool> composited;
    for (const xcb_window_t client : atomList(c, root, a[0], XCB_ATOM_WINDOW)) {
        if (std::find(own.begin(), own.end(), client) != own.end())
            continue;
        const std::vector<xcb_atom_t> types = atomList(c, client, a[1], XCB_ATOM_ATOM);
        if (std::find(types.begin(), types.end(), a[2]) == types.end())
            continue;
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, client), nullptr);
        xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, client, root, 0, 0), nullptr);
        bool covers = false, deep = false;
        if (geometry && origin) {
            const QRect rect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
            covers = rect.intersected(screenPixels) == screenPixels;
            deep = geometry->depth == 32;
        }
        std::free(geometry);
        std::free(origin);
        if (!covers)
            continue;
        if (!deep || paintsOpaqueIn32Bits(c, client))
            return true;
        if (!composited)
            composited = compositingManagerRuns(c);
        if (!*composited)
            return true;
    }
    return false;
}

void lowerWithinDesktopLayer(QWidget* window) {
    xcb_connection_t* c = connection();
    xcb_screen_t* screen = c ? xcb_setup_roots_iterator(xcb_get_setup(c)).data : nullptr;
    if (!screen || !window)
        return;
    const auto a = atoms(
        c, {"_NET_SUPPORTING_WM_CHECK", "_NET_RESTACK_WINDOW", "_NET_WM_STATE", "_NET_WM_STATE_DEMANDS_ATTENTION"});
    const xcb_window_t id = xcb_window_t(window->winId());
    if (!windowManagerRuns(c, screen->root, a[0])) {
        const quint32 below = XCB_STACK_MODE_BELOW;
        xcb_configure_window(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    } else {
        // Source 2: a pager, which speaks for the user; no sibling: the bottom of the layer.
        sendToWindowManager(c, screen->root, id, a[1], {2, XCB_WINDOW_NONE, XCB_STACK_MODE_BELOW, 0, 0});
        sendToWindowManager(c, screen->root, id, a[2], {0, a[3], 0, 2, 0});
    }
    xcb_flush(c);
}

bool windowManagerKeepsDesktopWindows() {
    xcb_connection_t* c = connection();
    xcb_screen_t* screen = c ? xcb_setup_roots_iterator(xcb_get_setup(c)).data : nullptr;
    if (!screen)
        return true;
    const auto a = atoms(c, {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED", "_NET_WM_WINDOW_TYPE_DESKTOP"});
    if (!windowManagerRuns(c, screen->root, a[0]))
        return true;
    const std::vector<xcb_atom_t> supported = atomList(c, screen->root, a[1], XCB_ATOM_ATOM);
    return supported.empty() || std::find(supported.begin(), supported.end(), a[2]) != supported.end();
}

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
    const auto a = atoms(c, {"_NET_CURRENT_DESKTOP", "_NET_CLIENT_LIST", "_NET_SHOWING_DESKTOP"});
    currentDesktopAtom_ = a[0];
    clientListAtom_ = a[1];
    showingDesktopAtom_ = a[2];
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
        else if (notify->window == root_ && notify->atom == clientListAtom_ && clientListAtom_ != XCB_ATOM_NONE)
            emit clientListChanged();
        else if (notify->window == root_ && notify->atom == showingDesktopAtom_ && showingDesktopAtom_ != XCB_ATOM_NONE)
            emit showingDesktopChanged();
    }
    return false;  // Qt still sees the event
}
}  // namespace platform

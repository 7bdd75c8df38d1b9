// What the desktop checks need beside the X tools:
//   desktop_probe seed CLIP       puts CLIP in the library of the current XDG folders;
//   desktop_probe owned SELECTION exits 0 when a client owns the X selection (_NET_WM_CM_S0:
//                                 a compositing manager runs).
#include "app/MainLibrary.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
int selectionOwned(const char* name) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name),
                                                          nullptr);
    xcb_get_selection_owner_reply_t* owner = atom ? xcb_get_selection_owner_reply(
                                                        c, xcb_get_selection_owner(c, atom->atom), nullptr)
                                                  : nullptr;
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    std::free(atom);
    xcb_disconnect(c);
    return owned ? 0 : 1;
}
}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "owned") == 0)
        return selectionOwned(argv[2]);
    if (argc != 3 || std::strcmp(argv[1], "seed") != 0) {
        std::fprintf(stderr, "usage: desktop_probe seed CLIP | desktop_probe owned SELECTION\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const size_t count = apptest::addToMainLibrary(
        QString::fromLocal8Bit(argv[2]), QStringLiteral("0123456789abcdef0123456789abcdef"), QStringLiteral("desktop"));
    return count == 1 ? 0 : 1;
}

// Sets the colours a tray asks its icons to use, as a tray of a desktop
// theme does: _NET_SYSTEM_TRAY_COLORS on the window that owns the tray
// selection of screen 0, then announces the tray again (its MANAGER message)
// as a tray that has just come does.
//   x11_tray_colors R G B      (0–255 each: the foreground; the rest black)
// Exits 1 when no tray runs.
#include <xcb/xcb.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s R G B\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 2;
    }
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "_NET_SYSTEM_TRAY_S0")),
                                      nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "no tray\n");
        xcb_disconnect(c);
        return 1;
    }
    std::array<std::uint32_t, 12> colours{};
    for (int i = 0; i < 3; ++i) {
        colours[static_cast<std::size_t>(i)] =
            static_cast<std::uint32_t>(std::atoi(argv[i + 1])) * 257; // 8 → 16 bits
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, owner->owner, atom(c, "_NET_SYSTEM_TRAY_COLORS"),
                        XCB_ATOM_CARDINAL, 32, colours.size(), colours.data());
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_client_message_event_t announcement{};
    announcement.response_type = XCB_CLIENT_MESSAGE;
    announcement.format = 32;
    announcement.window = screen->root;
    announcement.type = atom(c, "MANAGER");
    announcement.data.data32[0] = XCB_CURRENT_TIME;
    announcement.data.data32[1] = atom(c, "_NET_SYSTEM_TRAY_S0");
    announcement.data.data32[2] = owner->owner;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&announcement));
    // A round trip before leaving: the server may see the connection close
    // in the same wake-up as the last request and drop that request unread,
    // and the announcement would then reach no one.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}

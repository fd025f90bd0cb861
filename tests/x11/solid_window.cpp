// A window of one colour for the recording tests: its class, colour, place
// and size from the command line, optionally of the notification type. The
// server paints its background, so it shows its colour from the first frame.
//
//   x11_solid_window CLASS RRGGBB X Y WIDTH HEIGHT [notification]
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s CLASS RRGGBB X Y WIDTH HEIGHT [notification]\n", argv[0]);
        return 2;
    }
    const std::string className = argv[1];
    const uint32_t colour = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 16));
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    const int width = std::atoi(argv[5]), height = std::atoi(argv[6]);
    const bool notification = argc > 7 && std::string(argv[7]) == "notification";

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {colour};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const std::string wmClass = className + '\0' + className + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(className.size()), className.data());
    const uint32_t pid = static_cast<uint32_t>(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    if (notification) {
        const xcb_atom_t type = atom(c, "_NET_WM_WINDOW_TYPE_NOTIFICATION");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &type);
    }
    // Where the test asked for it, not where the manager would rather put it.
    struct {
        uint32_t flags, pad[4], minW, minH, maxW, maxH, incW, incH, minA[2], maxA[2], baseW, baseH,
            gravity;
    } hints{};
    hints.flags = 1 | 2; // USPosition | USSize
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, sizeof(hints) / 4, &hints);
    xcb_map_window(c, window);
    xcb_flush(c);
    std::printf("%u\n", window);
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        std::free(event);
    }
    return 0;
}

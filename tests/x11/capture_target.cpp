// A window with known pixels for the capture tests:
//   x11_capture_target X Y WIDTH HEIGHT TITLE CLASS
// Shows a managed window whose client area is filled with capturePattern(),
// asks the window manager for exactly that client place, prints its id once mapped
// and stays until killed. The pattern is the window's background pixmap, so
// the server paints it itself and it is never stale.
#include "CapturePattern.h"

#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : 0;
    std::free(reply);
    return a;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s X Y WIDTH HEIGHT TITLE CLASS\n", argv[0]);
        return 2;
    }
    const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
    const auto w = static_cast<std::uint16_t>(std::atoi(argv[3]));
    const auto h = static_cast<std::uint16_t>(std::atoi(argv[4]));
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, w, h);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    // Rows in bands that fit one request.
    const int band = 16;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * band);
    for (int top = 0; top < h; top += band) {
        const int rows = top + band <= h ? band : h - top;
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < w; ++col) {
                pixels[static_cast<std::size_t>(row) * w + col] =
                    capturePattern(col, top + row) & 0xffffff;
            }
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, w, static_cast<std::uint16_t>(rows),
                      0, static_cast<std::int16_t>(top), 0, screen->root_depth,
                      static_cast<std::uint32_t>(rows) * w * 4,
                      reinterpret_cast<const std::uint8_t*>(pixels.data()));
    }

    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {pixmap, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, screen->root_depth, window, screen->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);

    const std::string title = argv[5];
    const std::string klass = std::string(argv[6]) + '\0' + argv[6] + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_NAME"),
                        atom(c, "UTF8_STRING"), 8, static_cast<std::uint32_t>(title.size()),
                        title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(klass.size()), klass.data());
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    // WM_NORMAL_HINTS: user-given position and size, fixed size.
    std::uint32_t hints[18] = {};
    // USPosition, USSize, PMinSize, PMaxSize, PWinGravity; static gravity puts
    // the client itself (not the manager's frame) at X, Y.
    hints[0] = 1 | 2 | 16 | 32 | 512;
    hints[17] = 10;
    hints[1] = static_cast<std::uint32_t>(x);
    hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = w;
    hints[4] = h;
    hints[5] = hints[7] = w;
    hints[6] = hints[8] = h;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, window);
    xcb_flush(c);

    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        std::free(event);
        if (mapped) {
            std::printf("0x%x\n", window);
            std::fflush(stdout);
        }
    }
    return 0;
}

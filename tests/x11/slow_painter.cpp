// A window that repaints late, as a busy program does: override-redirect at
// the place asked, no background of its own (so the server paints nothing
// when it is uncovered and the screen keeps what covered it), and each Expose
// answered by filling the whole window with one colour DELAY milliseconds
// later. Prints "painted" once after its first fill.
//
//   x11_slow_painter RRGGBB X Y WIDTH HEIGHT DELAY_MS
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s RRGGBB X Y WIDTH HEIGHT DELAY_MS\n", argv[0]);
        return 2;
    }
    const auto colour = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 16));
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    const auto width = static_cast<uint16_t>(std::atoi(argv[4]));
    const auto height = static_cast<uint16_t>(std::atoi(argv[5]));
    const std::chrono::milliseconds delay(std::atoi(argv[6]));

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND, &colour);
    xcb_map_window(c, window);
    xcb_flush(c);

    bool announced = false;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool expose = (event->response_type & 0x7f) == XCB_EXPOSE &&
                            reinterpret_cast<xcb_expose_event_t*>(event)->count == 0;
        std::free(event);
        if (!expose) {
            continue;
        }
        std::this_thread::sleep_for(delay);
        const xcb_rectangle_t all{0, 0, width, height};
        xcb_poly_fill_rectangle(c, window, gc, 1, &all);
        xcb_flush(c);
        if (!announced) {
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
            std::printf("painted\n");
            std::fflush(stdout);
            announced = true;
        }
    }
    return 0;
}

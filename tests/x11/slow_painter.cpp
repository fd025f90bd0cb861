// A window that repaints late, as a busy program does: at the place asked, no
// background of its own (so the server paints nothing when it is uncovered
// and the screen keeps what covered it), filled with one colour after each
// Expose. Override-redirect, or "framed": managed, in the window manager's
// frame (whose decorations repaint at once). Prints "painted" after its first
// fill. It repaints at once until a line "slow" comes on its standard input;
// then it answers what is already queued at once, prints "slow", and from
// then on fills DELAY milliseconds after each Expose.
//
//   x11_slow_painter RRGGBB X Y WIDTH HEIGHT DELAY_MS [framed]
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

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
    const bool framed = argc > 7 && std::string(argv[7]) == "framed";

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, framed ? 0u : 1u, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND, &colour);
    if (framed) {
        // Where the test asked for it, not where the manager would rather put it.
        struct {
            uint32_t flags, pad[4], minW, minH, maxW, maxH, incW, incH, minA[2], maxA[2], baseW,
                baseH, gravity;
        } hints{};
        hints.flags = 1 | 2; // USPosition | USSize
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                            XCB_ATOM_WM_SIZE_HINTS, 32, sizeof(hints) / 4, &hints);
    }
    xcb_map_window(c, window);
    xcb_flush(c);

    const auto say = [c](const char* line) {
        // Everything drawn so far is on the screen before the line is.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        std::printf("%s\n", line);
        std::fflush(stdout);
    };
    const auto fill = [&] {
        const xcb_rectangle_t all{0, 0, width, height};
        xcb_poly_fill_rectangle(c, window, gc, 1, &all);
        xcb_flush(c);
    };
    // Whether an Expose is among the events queued; takes them all.
    const auto exposed = [c](xcb_generic_event_t* (*next)(xcb_connection_t*)) {
        bool any = false;
        while (xcb_generic_event_t* event = next(c)) {
            any = any || (event->response_type & 0x7f) == XCB_EXPOSE;
            std::free(event);
        }
        return any;
    };
    bool announced = false;
    bool slow = false;
    for (;;) {
        if (exposed(&xcb_poll_for_queued_event)) {
            if (slow) {
                std::this_thread::sleep_for(delay);
            }
            fill();
            if (!announced) {
                say("painted");
                announced = true;
            }
            continue;
        }
        pollfd fds[] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {0, POLLIN, 0}};
        if (poll(fds, slow ? 1 : 2, -1) < 0 || xcb_connection_has_error(c) != 0) {
            return 1;
        }
        if (!slow && (fds[1].revents & POLLIN) != 0) {
            char line[64] = {};
            if (read(0, line, sizeof line - 1) <= 0 || std::string(line).rfind("slow", 0) != 0) {
                return 1;
            }
            // What the server sent before this reply is answered at once.
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
            if (exposed(&xcb_poll_for_queued_event)) {
                fill();
            }
            slow = true;
            say("slow");
            continue;
        }
        if (exposed(&xcb_poll_for_event)) {
            if (slow) {
                std::this_thread::sleep_for(delay);
            }
            fill();
            if (!announced) {
                say("painted");
                announced = true;
            }
        }
    }
}

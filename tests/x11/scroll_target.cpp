// A page that scrolls, for the scrolling-capture tests:
//   x11_scroll_target X Y STEP PAGE_PPM
// Shows a 600 × 400 viewport (an override-redirect window at exactly X,Y)
// onto a 600 × 6000 page of deterministic noise. Each wheel click (buttons 4
// and 5) moves the page by STEP pixels, kept between the top and the bottom of
// the page. Writes the whole page to PAGE_PPM, prints "ready" once the
// viewport is mapped and drawn, and stays until killed. Every redraw is one
// copy from the page's pixmap, so a reader of the screen never sees half of
// one.
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 600;
constexpr int kViewHeight = 400;
constexpr int kPageHeight = 6000;

// Opaque noise, the same on every machine (splitmix64).
std::vector<std::uint32_t> pagePixels() {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kPageHeight);
    std::uint64_t state = 20260101;
    for (auto& pixel : pixels) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        z ^= z >> 31;
        pixel = static_cast<std::uint32_t>(z & 0xffffff);
    }
    return pixels;
}

bool writePpm(const char* path, const std::vector<std::uint32_t>& pixels) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kPageHeight);
    std::vector<unsigned char> row(static_cast<std::size_t>(kWidth) * 3);
    for (int y = 0; y < kPageHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * kWidth + x];
            row[x * 3] = static_cast<unsigned char>(p >> 16);
            row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[x * 3 + 2] = static_cast<unsigned char>(p);
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s X Y STEP PAGE_PPM\n", argv[0]);
        return 2;
    }
    const int x = std::atoi(argv[1]), y = std::atoi(argv[2]), step = std::atoi(argv[3]);
    const std::vector<std::uint32_t> pixels = pagePixels();
    if (!writePpm(argv[4], pixels)) {
        return 1;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen->root_depth != 24) {
        std::fprintf(stderr, "needs a 24-bit screen\n");
        return 1;
    }

    const xcb_pixmap_t page = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, page, screen->root, kWidth, kPageHeight);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t noExposures[] = {0};
    xcb_create_gc(c, gc, page, XCB_GC_GRAPHICS_EXPOSURES, noExposures);
    constexpr int kBand = 64; // rows per request, well below the request limit
    for (int top = 0; top < kPageHeight; top += kBand) {
        const int rows = std::min(kBand, kPageHeight - top);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, page, gc, kWidth,
                      static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(top), 0,
                      screen->root_depth, static_cast<std::uint32_t>(rows) * kWidth * 4,
                      reinterpret_cast<const std::uint8_t*>(
                          pixels.data() + static_cast<std::size_t>(top) * kWidth));
    }

    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                           XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, screen->root_depth, window, screen->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), kWidth, kViewHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c, window);
    xcb_flush(c);

    int offset = 0;
    bool ready = false;
    const auto draw = [&] {
        xcb_copy_area(c, page, window, gc, 0, static_cast<std::int16_t>(offset), 0, 0, kWidth,
                      kViewHeight);
        xcb_flush(c);
    };
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        switch (event->response_type & 0x7f) {
        case XCB_EXPOSE:
            draw();
            if (!ready) {
                // Drawn once the server answers.
                std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
                ready = true;
                std::printf("ready\n");
                std::fflush(stdout);
            }
            break;
        case XCB_BUTTON_PRESS: {
            const auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
            if (press->detail == 4 || press->detail == 5) {
                offset += press->detail == 5 ? step : -step;
                offset = std::clamp(offset, 0, kPageHeight - kViewHeight);
                draw();
            }
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
    return 0;
}

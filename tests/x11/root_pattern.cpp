// A desktop whose every pixel is known, for checking pasted screenshots:
//   x11_root_pattern paint SEED        fills the root window with SEED's pattern
//   x11_root_pattern check SEED FILE   whether the PNG in FILE is the whole root
//                                      showing SEED's pattern
//   x11_root_pattern quadrants         red, green, blue and yellow quarters (top
//                                      left, top right, bottom left, bottom
//                                      right), for a picture whose place and
//                                      orientation are to be seen when shrunk
// The pattern is faint noise over a colour that changes with the seed, in
// bands of 64 rows as wide as the root: slower to encode than a busy screen,
// and a picture of an earlier seed differs from it almost everywhere. The server
// tiles the band itself, so painting even a 4K root takes one small upload.
#include <QByteArray>
#include <QFile>
#include <QImage>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int bandRows = 64;

std::uint32_t mix(std::uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352dU;
    v ^= v >> 15;
    v *= 0x846ca68bU;
    v ^= v >> 16;
    return v;
}

// 0xRRGGBB at x, y of the root: the seed's colour in the high four bits of
// each channel, noise in the low four.
std::uint32_t patternPixel(std::uint32_t seed, int x, int y) {
    const std::uint32_t colour = mix(seed * 2 + 1) & 0xf0f0f0;
    const auto cell = static_cast<std::uint32_t>((y % bandRows) * 65536 + x);
    return colour | (mix(cell ^ mix(seed)) & 0x0f0f0f);
}

int paint(std::uint32_t seed) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen->root_depth != 24) {
        std::fprintf(stderr, "the root is %d bits deep, not 24\n", screen->root_depth);
        return 1;
    }
    const std::uint16_t width = screen->width_in_pixels;
    const xcb_pixmap_t band = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, band, screen->root, width, bandRows);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, band, 0, nullptr);
    // Four rows a request stay within the core protocol's limit.
    constexpr int rowsPerRequest = 4;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * rowsPerRequest);
    for (int top = 0; top < bandRows; top += rowsPerRequest) {
        for (int row = 0; row < rowsPerRequest; ++row) {
            for (int x = 0; x < width; ++x) {
                pixels[static_cast<std::size_t>(row) * width + x] =
                    patternPixel(seed, x, top + row);
            }
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, band, gc, width, rowsPerRequest, 0,
                      static_cast<std::int16_t>(top), 0, screen->root_depth,
                      static_cast<std::uint32_t>(pixels.size() * 4),
                      reinterpret_cast<const std::uint8_t*>(pixels.data()));
    }
    // The root keeps the pixmap as its background after we let it go.
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &band);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    xcb_free_pixmap(c, band);
    xcb_free_gc(c, gc);
    // A round trip: the server has painted before anyone we start next asks.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const int error = xcb_connection_has_error(c);
    xcb_disconnect(c);
    return error == 0 ? 0 : 1;
}

int quadrants() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const std::uint16_t width = screen->width_in_pixels;
    const std::uint16_t height = screen->height_in_pixels;
    const xcb_pixmap_t background = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, background, screen->root, width, height);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, background, 0, nullptr);
    const auto halfW = static_cast<std::int16_t>(width / 2);
    const auto halfH = static_cast<std::int16_t>(height / 2);
    const struct {
        std::uint32_t colour;
        xcb_rectangle_t rect;
    } quarters[] = {
        {0xff0000, {0, 0, std::uint16_t(halfW), std::uint16_t(halfH)}},
        {0x00ff00, {halfW, 0, std::uint16_t(width - halfW), std::uint16_t(halfH)}},
        {0x0000ff, {0, halfH, std::uint16_t(halfW), std::uint16_t(height - halfH)}},
        {0xffff00, {halfW, halfH, std::uint16_t(width - halfW), std::uint16_t(height - halfH)}},
    };
    for (const auto& q : quarters) {
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &q.colour);
        xcb_poly_fill_rectangle(c, background, gc, 1, &q.rect);
    }
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &background);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    xcb_free_pixmap(c, background);
    xcb_free_gc(c, gc);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const int error = xcb_connection_has_error(c);
    xcb_disconnect(c);
    return error == 0 ? 0 : 1;
}

// Pixels of `image` that differ from seed's pattern, and the first of them.
struct Difference {
    long count = 0;
    std::string first;
};
Difference differenceFrom(const QImage& image, std::uint32_t seed) {
    Difference difference;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t want = patternPixel(seed, x, y);
            if ((row[x] & 0xffffff) != want && difference.count++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) is %06x, not %06x", x, y,
                              row[x] & 0xffffff, want);
                difference.first = text;
            }
        }
    }
    return difference;
}

int check(std::uint32_t seed, const char* path) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int width = screen->width_in_pixels;
    const int height = screen->height_in_pixels;
    xcb_disconnect(c);

    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot read %s\n", path);
        return 1;
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\x89PNG")) {
        std::printf("not a PNG (%lld bytes)\n", static_cast<long long>(bytes.size()));
        return 1;
    }
    const QImage image = QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_RGB32);
    if (image.width() != width || image.height() != height) {
        std::printf("the picture is %dx%d, the root %dx%d\n", image.width(), image.height(), width,
                    height);
        return 1;
    }
    const Difference difference = differenceFrom(image, seed);
    if (difference.count == 0) {
        return 0;
    }
    std::printf("%ld pixels differ from the screen, first %s", difference.count,
                difference.first.c_str());
    if (seed > 0 && differenceFrom(image, seed - 1).count == 0) {
        std::printf("; it is the screen before");
    }
    std::printf("\n");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "paint" && argc == 3) {
        return paint(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (command == "check" && argc == 4) {
        return check(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)), argv[3]);
    }
    if (command == "quadrants" && argc == 2) {
        return quadrants();
    }
    std::fprintf(stderr, "usage: %s paint SEED | check SEED FILE | quadrants\n", argv[0]);
    return 2;
}

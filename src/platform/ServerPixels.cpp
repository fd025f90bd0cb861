#include "platform/ServerPixels.h"

namespace platform {

namespace {

std::uint8_t bitsPerPixel(xcb_connection_t* c, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == depth) {
            return it.data->bits_per_pixel;
        }
    }
    return 0;
}

const xcb_visualtype_t* findVisual(xcb_screen_t* screen, xcb_visualid_t visual) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == visual) {
                return v.data;
            }
        }
    }
    return nullptr;
}

} // namespace

PixelLayout serverPixelLayout(xcb_connection_t* connection, xcb_screen_t* screen,
                              std::uint8_t depth, xcb_visualid_t visual) {
    PixelLayout layout;
    layout.depth = depth;
    layout.bitsPerPixel = bitsPerPixel(connection, depth);
    if (const xcb_visualtype_t* type = findVisual(screen, visual)) {
        layout.red = type->red_mask;
        layout.green = type->green_mask;
        layout.blue = type->blue_mask;
    }
    return layout;
}

QImage convertServerPixels(const std::uint8_t* data, std::size_t length, int width, int height,
                           const PixelLayout& layout, bool msbFirst) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    if (layout.bitsPerPixel == 32 && layout.red == 0xff0000 && layout.green == 0xff00 &&
        layout.blue == 0xff) {
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        if (length < stride * static_cast<std::size_t>(height)) {
            return {};
        }
        const bool hasAlpha = layout.depth == 32;
        QImage image(width, height,
                     hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull()) {
            return {};
        }
        const std::uint32_t opaque = hasAlpha ? 0u : 0xff000000u;
        for (int y = 0; y < height; ++y) {
            const auto* in = reinterpret_cast<const std::uint32_t*>(data + stride * y);
            auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            if (msbFirst) {
                for (int x = 0; x < width; ++x) {
                    out[x] = __builtin_bswap32(in[x]) | opaque;
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    out[x] = in[x] | opaque;
                }
            }
        }
        return image;
    }
    if (layout.bitsPerPixel == 16 && layout.red == 0xf800 && layout.green == 0x07e0 &&
        layout.blue == 0x001f && !msbFirst) {
        const std::size_t stride = (static_cast<std::size_t>(width) * 2 + 3) & ~std::size_t{3};
        if (length < stride * static_cast<std::size_t>(height)) {
            return {};
        }
        return QImage(data, width, height, static_cast<qsizetype>(stride), QImage::Format_RGB16)
            .convertToFormat(QImage::Format_RGB32);
    }
    return {};
}

} // namespace platform

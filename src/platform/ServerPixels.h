#pragma once

#include <QImage>

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// How the X server lays out the pixels of one drawable.
struct PixelLayout {
    std::uint8_t depth = 0;
    std::uint8_t bitsPerPixel = 0;
    std::uint32_t red = 0, green = 0, blue = 0;
};

// The layout of a drawable of `depth` with `visual` on `screen`.
PixelLayout serverPixelLayout(xcb_connection_t* connection, xcb_screen_t* screen,
                              std::uint8_t depth, xcb_visualid_t visual);

// Copies server pixels (ZPixmap, rows padded to 32 bits) into a QImage of our
// own. Colour screens are 32 bits per pixel with 8-bit channels in the usual
// places nearly everywhere; 16-bit RGB565 is read too. The padding byte of a
// depth-24 pixel is undefined, so it is set to opaque on the way. Null when
// `length` holds fewer bytes than the area needs or the layout is unknown.
QImage convertServerPixels(const std::uint8_t* data, std::size_t length, int width, int height,
                           const PixelLayout& layout, bool msbFirst);

} // namespace platform

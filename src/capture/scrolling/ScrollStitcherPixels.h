#pragma once

#include <cstddef>
#include <cstdint>

namespace capture::stitching {

// Pixels of the stitcher: 32 bits each, 0xAARRGGBB as a native integer (the
// layout of QImage's RGB32 and ARGB32 formats, and of 24-bit X11 screen
// images). Screen frames are opaque: the top byte of an input pixel is not
// read, and every pixel the stitcher stores or draws is opaque.
using Pixel = std::uint32_t;

constexpr Pixel opaque(Pixel pixel) {
    return pixel | 0xff000000u;
}

// A read-only window onto rows of pixels that someone else owns.
struct PixelView {
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;

    bool isValid() const {
        return bits != nullptr && width > 0 && height > 0 &&
               bytesPerLine >= static_cast<std::ptrdiff_t>(width) * 4;
    }
    const Pixel* row(int y) const {
        return reinterpret_cast<const Pixel*>(bits + static_cast<std::ptrdiff_t>(y) * bytesPerLine);
    }
    // Rows [first, first + count) of this view.
    PixelView rows(int first, int count) const {
        return {bits + static_cast<std::ptrdiff_t>(first) * bytesPerLine, width, count,
                bytesPerLine};
    }
};

// A writable window onto rows of pixels that someone else owns.
struct MutablePixelView {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;

    Pixel* row(int y) const {
        return reinterpret_cast<Pixel*>(bits + static_cast<std::ptrdiff_t>(y) * bytesPerLine);
    }
    MutablePixelView rows(int first, int count) const {
        return {bits + static_cast<std::ptrdiff_t>(first) * bytesPerLine, width, count,
                bytesPerLine};
    }
    operator PixelView() const { return {bits, width, height, bytesPerLine}; }
};

} // namespace capture::stitching

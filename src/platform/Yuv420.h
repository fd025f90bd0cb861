#pragma once

#include <QImage>

#include <cstdint>

namespace platform {

// The three planes of one 4:2:0 picture: Y at full size, U and V at half
// width and half height.
struct Yuv420Planes {
    std::uint8_t* y = nullptr;
    int yStride = 0;
    std::uint8_t* u = nullptr;
    int uStride = 0;
    std::uint8_t* v = nullptr;
    int vStride = 0;
};

// Converts an RGB32 (or ARGB32, whose alpha is ignored) picture of even
// width and height from full-range RGB into BT.709 video-range 4:2:0, each
// chroma sample the average of its 2×2 pixels. The planes must hold the
// picture's size. Any other format or an odd side converts nothing and
// returns false.
bool convertToYuv420(const QImage& image, const Yuv420Planes& planes);

} // namespace platform

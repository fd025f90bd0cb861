#pragma once

#include <cstdint>

// The pixels the capture target shows: every pixel of a 400×300 window can be
// told apart, so an offset by one shows.
inline std::uint32_t capturePattern(int x, int y) {
    const std::uint32_t r = static_cast<std::uint32_t>(x) & 0xff;
    const std::uint32_t g = static_cast<std::uint32_t>(y) & 0xff;
    const std::uint32_t b =
        0x80u ^ ((static_cast<std::uint32_t>(x >> 8) << 4) | static_cast<std::uint32_t>(y >> 8));
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

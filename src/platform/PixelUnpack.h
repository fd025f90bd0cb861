#pragma once

#include <cstdint>

namespace platform::png {

// Pixels as a PNG stores them, R, G, B (and A when bytesPerPixel is 4) bytes,
// from Qt's 32-bit 0xAARRGGBB pixels, with a byte shuffle per 4 pixels where
// the processor has one (SSSE3).
void unpackPixels(const std::uint32_t* pixels, int width, int bytesPerPixel, std::uint8_t* out);

} // namespace platform::png

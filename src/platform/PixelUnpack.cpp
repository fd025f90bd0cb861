#include "platform/PixelUnpack.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VEXLIN_X86 1
#endif

namespace platform::png {

namespace {

void unpackScalar(const std::uint32_t* pixels, int from, int width, int bytesPerPixel,
                  std::uint8_t* out) {
    out += static_cast<std::ptrdiff_t>(from) * bytesPerPixel;
    for (int x = from; x < width; ++x) {
        const std::uint32_t p = pixels[x];
        out[0] = static_cast<std::uint8_t>(p >> 16);
        out[1] = static_cast<std::uint8_t>(p >> 8);
        out[2] = static_cast<std::uint8_t>(p);
        if (bytesPerPixel == 4) {
            out[3] = static_cast<std::uint8_t>(p >> 24);
        }
        out += bytesPerPixel;
    }
}

#if defined(VEXLIN_X86)
// In memory a pixel is B, G, R, A.
__attribute__((target("ssse3"))) void unpackShuffled(const std::uint32_t* pixels, int width,
                                                     int bytesPerPixel, std::uint8_t* out) {
    int x = 0;
    if (bytesPerPixel == 4) {
        const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
        for (; x + 4 <= width; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), _mm_shuffle_epi8(p, order));
        }
    } else {
        // 12 bytes a step, stored as 16: the 4 after them are written again by
        // the next step, and the last steps are left to the scalar loop so that
        // no store passes the end of the row.
        const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
        for (; x + 6 <= width; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(p, order));
        }
    }
    unpackScalar(pixels, x, width, bytesPerPixel, out);
}

const bool hasShuffle = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}();
#endif

} // namespace

void unpackPixels(const std::uint32_t* pixels, int width, int bytesPerPixel, std::uint8_t* out) {
#if defined(VEXLIN_X86)
    if (hasShuffle) {
        unpackShuffled(pixels, width, bytesPerPixel, out);
        return;
    }
#endif
    unpackScalar(pixels, 0, width, bytesPerPixel, out);
}

} // namespace platform::png

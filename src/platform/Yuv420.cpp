#include "platform/Yuv420.h"

#include "platform/ParallelFor.h"

namespace platform {

namespace {

// BT.709 in 16-bit fixed point: the luma weights scaled to 219 steps and the
// chroma ones to 224, so that black is 16, white 235 and grey's chroma 128.
// Each chroma row sums to zero, so a grey never takes a tint by rounding.
constexpr int shift = 16;
constexpr std::int32_t yR = 11966, yG = 40254, yB = 4064;
constexpr std::int32_t uR = -6596, uG = -22189, uB = 28785;
constexpr std::int32_t vR = 28785, vG = -26145, vB = -2640;
constexpr std::int32_t lumaBias = (16 << shift) + (1 << (shift - 1));
// The chroma sums four pixels: two more bits to shift away.
constexpr std::int32_t chromaBias = (128 << (shift + 2)) + (1 << (shift + 1));

inline std::int32_t red(std::uint32_t pixel) {
    return std::int32_t((pixel >> 16) & 0xff);
}
inline std::int32_t green(std::uint32_t pixel) {
    return std::int32_t((pixel >> 8) & 0xff);
}
inline std::int32_t blue(std::uint32_t pixel) {
    return std::int32_t(pixel & 0xff);
}

// Two rows of pixels into two rows of luma and one of each chroma. Plain
// loops over 32-bit lanes that the compiler vectorises; a screen recording
// converts a full picture every frame, and this is several times faster
// than libswscale's generic path for packed RGB. The clones let processors
// with AVX2 (or at least SSE4.1's 32-bit multiply) use it.
__attribute__((target_clones("avx2", "sse4.1", "default"))) void
convertRows(const std::uint32_t* top, const std::uint32_t* bottom, int width, std::uint8_t* yTop,
            std::uint8_t* yBottom, std::uint8_t* u, std::uint8_t* v) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t a = top[x];
        const std::uint32_t b = bottom[x];
        yTop[x] = std::uint8_t((yR * red(a) + yG * green(a) + yB * blue(a) + lumaBias) >> shift);
        yBottom[x] = std::uint8_t((yR * red(b) + yG * green(b) + yB * blue(b) + lumaBias) >> shift);
    }
    for (int x = 0; x < width / 2; ++x) {
        const std::uint32_t p0 = top[2 * x];
        const std::uint32_t p1 = top[2 * x + 1];
        const std::uint32_t p2 = bottom[2 * x];
        const std::uint32_t p3 = bottom[2 * x + 1];
        const std::int32_t r = red(p0) + red(p1) + red(p2) + red(p3);
        const std::int32_t g = green(p0) + green(p1) + green(p2) + green(p3);
        const std::int32_t b = blue(p0) + blue(p1) + blue(p2) + blue(p3);
        u[x] = std::uint8_t((uR * r + uG * g + uB * b + chromaBias) >> (shift + 2));
        v[x] = std::uint8_t((vR * r + vG * g + vB * b + chromaBias) >> (shift + 2));
    }
}

} // namespace

bool convertToYuv420(const QImage& image, const Yuv420Planes& planes) {
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return false;
    }
    const int width = image.width();
    const int height = image.height();
    if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0) {
        return false;
    }
    // A picture of up to some two million pixels (1080p) is converted on the
    // calling thread alone, well within a 60th of a second; a larger one (4K
    // takes one thread longer than that, and the encoder waits for it) in
    // bands of at least two million pixels on up to four threads.
    const int pairs = height / 2;
    parallelFor(
        pairs,
        [&](int begin, int end) {
            for (int pair = begin; pair < end; ++pair) {
                const int row = 2 * pair;
                const auto* top = reinterpret_cast<const std::uint32_t*>(image.constScanLine(row));
                const auto* bottom =
                    reinterpret_cast<const std::uint32_t*>(image.constScanLine(row + 1));
                convertRows(top, bottom, width, planes.y + std::ptrdiff_t(row) * planes.yStride,
                            planes.y + std::ptrdiff_t(row + 1) * planes.yStride,
                            planes.u + std::ptrdiff_t(pair) * planes.uStride,
                            planes.v + std::ptrdiff_t(pair) * planes.vStride);
            }
        },
        {std::max(1, 1'100'000 / width), 4});
    return true;
}

} // namespace platform

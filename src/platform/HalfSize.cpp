#include "platform/HalfSize.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

// Two channels at a time in 16-bit lanes of a 32-bit word: four bytes add up
// to at most 1020, so no lane spills into the next.
inline std::uint32_t average(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    constexpr std::uint32_t mask = 0x00ff00ff;
    constexpr std::uint32_t half = 0x00020002;
    const std::uint32_t low = (a & mask) + (b & mask) + (c & mask) + (d & mask) + half;
    const std::uint32_t high =
        ((a >> 8) & mask) + ((b >> 8) & mask) + ((c >> 8) & mask) + ((d >> 8) & mask) + half;
    return ((low >> 2) & mask) | (((high >> 2) & mask) << 8);
}

} // namespace

QImage halfSize(const QImage& image) {
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return {};
    }
    if (image.width() < 2 || image.height() < 2 || image.width() % 2 != 0 ||
        image.height() % 2 != 0) {
        return {};
    }
    const int width = image.width() / 2;
    const int height = image.height() / 2;
    QImage half(width, height, format);
    if (half.isNull()) {
        return {};
    }
    // Taken here once: scanLine() on the workers would each count a detach
    // in the picture's shared data, unguarded.
    uchar* const bits = half.bits();
    const qsizetype stride = half.bytesPerLine();
    // Rows of a 4K frame on a few threads; a smaller one on the caller's.
    parallelFor(height,
                [&](int begin, int end) {
                    for (int y = begin; y < end; ++y) {
                        const auto* top =
                            reinterpret_cast<const std::uint32_t*>(image.constScanLine(2 * y));
                        const auto* bottom =
                            reinterpret_cast<const std::uint32_t*>(image.constScanLine(2 * y + 1));
                        auto* out = reinterpret_cast<std::uint32_t*>(bits + y * stride);
                        for (int x = 0; x < width; ++x) {
                            out[x] = average(top[2 * x], top[2 * x + 1], bottom[2 * x],
                                             bottom[2 * x + 1]);
                        }
                    }
                },
                {std::max(1, 1'100'000 / image.width()), 4});
    return half;
}

} // namespace platform

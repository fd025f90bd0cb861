#include "annotation/ImageFilters.h"

#include "annotation/ParallelFor.h"

#include <QColorSpace>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace annotation::imageFilters {

namespace {

// Box radii of three successive box blurs whose result approximates a
// Gaussian of the given sigma.
std::array<int, 3> boxRadii(double sigma) {
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    const int upper = lower + 2;
    const double mIdeal = (12 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) /
                          (-4.0 * lower - 4);
    const int m = static_cast<int>(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < n; ++i) {
        radii[static_cast<std::size_t>(i)] = ((i < m ? lower : upper) - 1) / 2;
    }
    return radii;
}

// One box blur along `length` elements that are `step` apart, of `lanes`
// neighbouring byte channels each (4 for one pixel, 4·w for a strip of w
// pixels), from `in` to `out`, the ends extended with the edge values.
void boxLine(const std::uint8_t* in, std::uint8_t* out, int length, int step, int lanes,
             int radius, std::uint32_t* sums) {
    const std::uint32_t diameter = static_cast<std::uint32_t>(2 * radius + 1);
    const std::uint64_t reciprocal = ((std::uint64_t{1} << 32) + diameter - 1) / diameter;
    auto at = [&](int i) { return in + static_cast<std::ptrdiff_t>(std::clamp(i, 0, length - 1)) * step; };
    std::fill(sums, sums + lanes, 0u);
    for (int i = -radius; i <= radius; ++i) {
        const std::uint8_t* src = at(i);
        for (int c = 0; c < lanes; ++c) {
            sums[c] += src[c];
        }
    }
    const std::uint32_t half = diameter / 2;
    for (int i = 0; i < length; ++i) {
        std::uint8_t* dst = out + static_cast<std::ptrdiff_t>(i) * step;
        const std::uint8_t* add = at(i + radius + 1);
        const std::uint8_t* sub = at(i - radius);
        for (int c = 0; c < lanes; ++c) {
            dst[c] = static_cast<std::uint8_t>(((sums[c] + half) * reciprocal) >> 32);
            sums[c] += add[c];
            sums[c] -= sub[c];
        }
    }
}

} // namespace

QImage gaussianBlur(const QImage& source, double sigma) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width();
    const int height = image.height();
    if (image.isNull() || !(sigma > 0)) {
        return image;
    }
    const std::array<int, 3> radii = boxRadii(sigma);
    const qsizetype stride = image.bytesPerLine();
    std::uint8_t* bits = image.bits();

    // Rows: each row through the three boxes in a private buffer.
    parallelFor(
        height,
        [&](int begin, int end) {
            std::vector<std::uint8_t> a(static_cast<std::size_t>(width) * 4);
            std::vector<std::uint8_t> b(a.size());
            std::uint32_t sums[4];
            for (int y = begin; y < end; ++y) {
                std::uint8_t* row = bits + y * stride;
                boxLine(row, a.data(), width, 4, 4, radii[0], sums);
                boxLine(a.data(), b.data(), width, 4, 4, radii[1], sums);
                boxLine(b.data(), row, width, 4, 4, radii[2], sums);
            }
        },
        8);

    // Columns: strips of 16 pixels (one cache line per row) copied out, blurred
    // down their length with running sums for every byte lane, copied back.
    constexpr int stripWidth = 16;
    const int strips = (width + stripWidth - 1) / stripWidth;
    parallelFor(
        strips,
        [&](int begin, int end) {
            std::vector<std::uint8_t> a(static_cast<std::size_t>(height) * stripWidth * 4);
            std::vector<std::uint8_t> b(a.size());
            std::uint32_t sums[stripWidth * 4];
            for (int strip = begin; strip < end; ++strip) {
                const int x0 = strip * stripWidth;
                const int w = std::min(stripWidth, width - x0);
                const int lanes = w * 4;
                for (int y = 0; y < height; ++y) {
                    std::memcpy(a.data() + static_cast<std::size_t>(y) * lanes,
                                bits + y * stride + x0 * 4, static_cast<std::size_t>(lanes));
                }
                boxLine(a.data(), b.data(), height, lanes, lanes, radii[0], sums);
                boxLine(b.data(), a.data(), height, lanes, lanes, radii[1], sums);
                boxLine(a.data(), b.data(), height, lanes, lanes, radii[2], sums);
                for (int y = 0; y < height; ++y) {
                    std::memcpy(bits + y * stride + x0 * 4,
                                b.data() + static_cast<std::size_t>(y) * lanes,
                                static_cast<std::size_t>(lanes));
                }
            }
        },
        1);
    return image;
}

QImage pixellate(const QImage& source, double cell) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width();
    const int height = image.height();
    if (image.isNull() || !(cell > 0)) {
        return image;
    }
    // Sample positions: x counts from the left edge, y from the bottom edge.
    std::vector<int> sampleX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double index = std::floor((x + 0.5) / cell);
        sampleX[static_cast<std::size_t>(x)] =
            std::clamp(static_cast<int>(std::floor(index * cell + cell / 2)), 0, width - 1);
    }
    std::vector<int> sampleY(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const double fromBottom = height - (y + 0.5);
        const double index = std::floor(fromBottom / cell);
        const double centre = height - (index * cell + cell / 2);
        sampleY[static_cast<std::size_t>(y)] =
            std::clamp(static_cast<int>(std::floor(centre)), 0, height - 1);
    }
    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    result.setColorSpace(image.colorSpace());
    result.setDotsPerMeterX(image.dotsPerMeterX());
    result.setDotsPerMeterY(image.dotsPerMeterY());
    parallelFor(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(
                image.constScanLine(sampleY[static_cast<std::size_t>(y)]));
            auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
            for (int x = 0; x < width; ++x) {
                out[x] = in[sampleX[static_cast<std::size_t>(x)]];
            }
        }
    });
    return result;
}

} // namespace annotation::imageFilters

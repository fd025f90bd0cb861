#include "annotation/ImageFilters.h"

#include "platform/ParallelFor.h"

#include <QColorSpace>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const double mIdeal =
        (12 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) / (-4.0 * lower - 4);
    const int m = static_cast<int>(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < n; ++i) {
        radii[static_cast<std::size_t>(i)] = ((i < m ? lower : upper) - 1) / 2;
    }
    return radii;
}

// Blocks of 16 pixels side by side: 64 byte lanes per step along the blur.
constexpr int kBlockPixels = 16;
constexpr int kLanes = kBlockPixels * 4;

// One box blur of the given radius along `length` steps of kLanes bytes, from
// `in` to `out`, the ends extended with the edge values. The lanes are
// independent, so the inner loops vectorise.
void boxPass(const std::uint8_t* in, std::uint8_t* out, int length, int radius) {
    if (radius == 0) {
        std::memcpy(out, in, static_cast<std::size_t>(length) * kLanes);
        return;
    }
    // Sixteen-bit lanes: a sum of at most 255 boxes of 255 fits, and the
    // division by the box size is a multiply-high by ⌈2^16/d⌉.
    const auto diameter = static_cast<std::uint32_t>(2 * radius + 1);
    const auto reciprocal = static_cast<std::uint16_t>(((1u << 16) + diameter - 1) / diameter);
    const auto half = static_cast<std::uint16_t>(diameter / 2);
    auto row = [&](int i) {
        return in + static_cast<std::ptrdiff_t>(std::clamp(i, 0, length - 1)) * kLanes;
    };
#if defined(__SSE2__)
    // Eight registers of eight 16-bit sums; the compiler does not find the
    // multiply-high on its own.
    __m128i sums[kLanes / 8];
    const __m128i zero = _mm_setzero_si128();
    for (__m128i& sum : sums) {
        sum = zero;
    }
    auto accumulate = [&](const std::uint8_t* bytes, bool subtract) {
        for (int k = 0; k < kLanes / 16; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));
            const __m128i lo = _mm_unpacklo_epi8(v, zero);
            const __m128i hi = _mm_unpackhi_epi8(v, zero);
            sums[2 * k] =
                subtract ? _mm_sub_epi16(sums[2 * k], lo) : _mm_add_epi16(sums[2 * k], lo);
            sums[2 * k + 1] =
                subtract ? _mm_sub_epi16(sums[2 * k + 1], hi) : _mm_add_epi16(sums[2 * k + 1], hi);
        }
    };
    for (int i = -radius; i <= radius; ++i) {
        accumulate(row(i), false);
    }
    const __m128i halfs = _mm_set1_epi16(static_cast<short>(half));
    const __m128i factor = _mm_set1_epi16(static_cast<short>(reciprocal));
    for (int i = 0; i < length; ++i) {
        std::uint8_t* dst = out + static_cast<std::ptrdiff_t>(i) * kLanes;
        for (int k = 0; k < kLanes / 16; ++k) {
            const __m128i lo = _mm_mulhi_epu16(_mm_add_epi16(sums[2 * k], halfs), factor);
            const __m128i hi = _mm_mulhi_epu16(_mm_add_epi16(sums[2 * k + 1], halfs), factor);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * k), _mm_packus_epi16(lo, hi));
        }
        accumulate(row(i + radius + 1), false);
        accumulate(row(i - radius), true);
    }
#else
    alignas(64) std::uint16_t sums[kLanes] = {};
    for (int i = -radius; i <= radius; ++i) {
        const std::uint8_t* src = row(i);
        for (int c = 0; c < kLanes; ++c) {
            sums[c] = static_cast<std::uint16_t>(sums[c] + src[c]);
        }
    }
    for (int i = 0; i < length; ++i) {
        std::uint8_t* dst = out + static_cast<std::ptrdiff_t>(i) * kLanes;
        const std::uint8_t* add = row(i + radius + 1);
        const std::uint8_t* sub = row(i - radius);
        for (int c = 0; c < kLanes; ++c) {
            const auto rounded = static_cast<std::uint16_t>(sums[c] + half);
            dst[c] = static_cast<std::uint8_t>((std::uint32_t{rounded} * reciprocal) >> 16);
            sums[c] = static_cast<std::uint16_t>(sums[c] + add[c] - sub[c]);
        }
    }
#endif
}

// The three boxes over a block, ending in `a`.
void blurBlock(std::vector<std::uint8_t>& a, std::vector<std::uint8_t>& b, int length,
               const std::array<int, 3>& radii) {
    boxPass(a.data(), b.data(), length, radii[0]);
    boxPass(b.data(), a.data(), length, radii[1]);
    boxPass(a.data(), b.data(), length, radii[2]);
    a.swap(b);
}

// Sums of 16 bits hold boxes of up to 257 pixels: a sigma of 100 pixels (far
// beyond the 9 points at scale 8 that a document asks for).
std::array<int, 3> blurRadii(double sigma) {
    return boxRadii(std::min(sigma, 100.0));
}

// Where a cell's colour is taken from: x counts from the left edge, y from
// the bottom edge.
int pixelColumn(int x, int width, double cell) {
    const double index = std::floor((x + 0.5) / cell);
    return std::clamp(static_cast<int>(std::floor(index * cell + cell / 2)), 0, width - 1);
}

int pixelRow(int y, int height, double cell) {
    const double fromBottom = height - (y + 0.5);
    const double index = std::floor(fromBottom / cell);
    const double centre = height - (index * cell + cell / 2);
    return std::clamp(static_cast<int>(std::floor(centre)), 0, height - 1);
}

bool fitsTarget(const QImage& image, const QImage& target) {
    return !image.isNull() && target.size() == image.size() &&
           target.format() == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

namespace {

// The blur over an image of its own in Format_ARGB32_Premultiplied.
void blurInPlace(QImage& image, double sigma) {
    const int width = image.width();
    const int height = image.height();
    if (image.isNull() || !(sigma > 0)) {
        return;
    }
    const std::array<int, 3> radii = blurRadii(sigma);
    const qsizetype stride = image.bytesPerLine();
    // Small images (a mark's shadow) are not worth waking other threads for.
    const int chunk = static_cast<qint64>(width) * height >= (1 << 19) ? 1 : (1 << 30);
    std::uint8_t* bits = image.bits();

    // Rows, sixteen at a time: gathered so that the sixteen pixels of one
    // column sit side by side, blurred along x, scattered back.
    const int rowBlocks = (height + kBlockPixels - 1) / kBlockPixels;
    platform::parallelFor(
        rowBlocks,
        [&](int begin, int end) {
            std::vector<std::uint8_t> a(static_cast<std::size_t>(width) * kLanes);
            std::vector<std::uint8_t> b(a.size());
            for (int block = begin; block < end; ++block) {
                const int y0 = block * kBlockPixels;
                const int rows = std::min(kBlockPixels, height - y0);
                const int w = width;
                for (int r = 0; r < rows; ++r) {
                    const auto* src =
                        reinterpret_cast<const std::uint32_t*>(bits + (y0 + r) * stride);
                    auto* dst = reinterpret_cast<std::uint32_t*>(a.data()) + r;
                    for (int x = 0; x < w; ++x) {
                        dst[x * kBlockPixels] = src[x];
                    }
                }
                blurBlock(a, b, width, radii);
                for (int r = 0; r < rows; ++r) {
                    auto* dst = reinterpret_cast<std::uint32_t*>(bits + (y0 + r) * stride);
                    const auto* src = reinterpret_cast<const std::uint32_t*>(a.data()) + r;
                    for (int x = 0; x < w; ++x) {
                        dst[x] = src[x * kBlockPixels];
                    }
                }
            }
        },
        {.minimumChunk = chunk});

    // Columns, sixteen at a time: one 64-byte piece of each row.
    const int columnBlocks = (width + kBlockPixels - 1) / kBlockPixels;
    platform::parallelFor(
        columnBlocks,
        [&](int begin, int end) {
            std::vector<std::uint8_t> a(static_cast<std::size_t>(height) * kLanes);
            std::vector<std::uint8_t> b(a.size());
            for (int block = begin; block < end; ++block) {
                const int x0 = block * kBlockPixels;
                const std::size_t bytes =
                    static_cast<std::size_t>(std::min(kBlockPixels, width - x0)) * 4;
                for (int y = 0; y < height; ++y) {
                    std::memcpy(a.data() + static_cast<std::size_t>(y) * kLanes,
                                bits + y * stride + x0 * 4, bytes);
                }
                blurBlock(a, b, height, radii);
                for (int y = 0; y < height; ++y) {
                    std::memcpy(bits + y * stride + x0 * 4,
                                a.data() + static_cast<std::size_t>(y) * kLanes, bytes);
                }
            }
        },
        {.minimumChunk = chunk});
}

} // namespace

QImage gaussianBlur(const QImage& source, double sigma) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    blurInPlace(image, sigma);
    return image;
}

QImage gaussianBlur(QImage&& source, double sigma) {
    QImage image = std::move(source).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    blurInPlace(image, sigma);
    return image;
}

QImage pixellate(const QImage& source, double cell) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = image.width();
    const int height = image.height();
    if (image.isNull() || !(cell > 0)) {
        return image;
    }
    std::vector<int> sampleX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        sampleX[static_cast<std::size_t>(x)] = pixelColumn(x, width, cell);
    }
    std::vector<int> sampleY(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        sampleY[static_cast<std::size_t>(y)] = pixelRow(y, height, cell);
    }
    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    result.setColorSpace(image.colorSpace());
    result.setDotsPerMeterX(image.dotsPerMeterX());
    result.setDotsPerMeterY(image.dotsPerMeterY());
    if (result.isNull()) {
        return result;
    }
    // Taken here once: scanLine() on the workers would each count a detach
    // in the picture's shared data, unguarded.
    uchar* const bits = result.bits();
    const qsizetype stride = result.bytesPerLine();
    platform::parallelFor(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(
                image.constScanLine(sampleY[static_cast<std::size_t>(y)]));
            auto* out = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < width; ++x) {
                out[x] = in[sampleX[static_cast<std::size_t>(x)]];
            }
        }
    });
    return result;
}

bool gaussianBlurArea(const QImage& source, double sigma, const QRect& wanted, QImage& target) {
    const QRect area = wanted & source.rect();
    if (!fitsTarget(source, target) || area.isEmpty()) {
        return fitsTarget(source, target);
    }
    // A pixel of the three boxes depends on the pixels up to the sum of
    // their radii away; with that margin (cut at the image's own edges,
    // which the whole blur extends the same way) the area's pixels come out
    // exactly as in the whole image.
    const std::array<int, 3> radii = blurRadii(sigma);
    const int margin = radii[0] + radii[1] + radii[2] + 1;
    const QRect piece = area.adjusted(-margin, -margin, margin, margin) & source.rect();
    // A piece of its own, blurred where it lies.
    QImage blurred = source.copy(piece).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (blurred.isNull()) {
        return false;
    }
    blurInPlace(blurred, sigma);
    const auto rowBytes = static_cast<std::size_t>(area.width()) * 4;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::memcpy(target.scanLine(y) + static_cast<std::ptrdiff_t>(area.left()) * 4,
                    blurred.constScanLine(y - piece.top()) +
                        static_cast<std::ptrdiff_t>(area.left() - piece.left()) * 4,
                    rowBytes);
    }
    return true;
}

bool pixellateArea(const QImage& source, double cell, const QRect& wanted, QImage& target) {
    const QRect area = wanted & source.rect();
    if (!fitsTarget(source, target) || area.isEmpty()) {
        return fitsTarget(source, target);
    }
    // Opaque and premultiplied pixels are read as they are, straight ones
    // premultiplied one by one: a few cells never convert the whole image.
    QImage converted;
    const QImage* image = &source;
    const QImage::Format format = source.format();
    const bool straight = format == QImage::Format_ARGB32;
    const QRgb opaque = format == QImage::Format_RGB32 ? 0xff000000u : 0u;
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32 &&
        !straight) {
        converted = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (converted.isNull()) {
            return false;
        }
        image = &converted;
    }
    const bool filtered = cell > 0;
    std::vector<int> sampleX(static_cast<std::size_t>(area.width()));
    for (int x = 0; x < area.width(); ++x) {
        sampleX[static_cast<std::size_t>(x)] =
            filtered ? pixelColumn(area.left() + x, image->width(), cell) : area.left() + x;
    }
    uchar* const bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const int from = filtered ? pixelRow(y, image->height(), cell) : y;
        const auto* in = reinterpret_cast<const QRgb*>(image->constScanLine(from));
        auto* out = reinterpret_cast<QRgb*>(bits + y * stride) + area.left();
        for (int x = 0; x < area.width(); ++x) {
            const QRgb pixel = in[sampleX[static_cast<std::size_t>(x)]];
            out[x] = straight ? qPremultiply(pixel) : (pixel | opaque);
        }
    }
    return true;
}

} // namespace annotation::imageFilters

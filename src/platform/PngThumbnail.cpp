#include "platform/PngThumbnail.h"

#include <QFile>

#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace platform {

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

QSize fittedSize(QSize size, QSize box) {
    if (box.isValid() && (size.width() > box.width() || size.height() > box.height())) {
        return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }
    return size;
}

// Averages rows of RGBA8 pixels into a picture of `size`: each source column
// and row falls into one column and row of the result, whose pixel is the
// mean of its box, taken premultiplied.
class BoxShrinker {
public:
    BoxShrinker(int width, int height, QSize size, bool opaque)
        : width_(width)
        , height_(height)
        , opaque_(opaque)
        , column_(size_t(width))
        , count_(size_t(size.width()), 0)
        , sums_(size_t(size.width()) * 4, 0)
        , image_(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied) {
        for (int x = 0; x < width; ++x) {
            column_[size_t(x)] = int(qint64(x) * size.width() / width);
            ++count_[size_t(column_[size_t(x)])];
        }
    }

    bool isNull() const { return image_.isNull(); }

    // Adds source row `y`; `bytesPerPixel` 3 (no alpha) or 4.
    void add(int y, const std::uint8_t* pixel, int bytesPerPixel) {
        const int rowTarget = int(qint64(y) * image_.height() / height_);
        if (rowTarget != target_) {
            flush();
            target_ = rowTarget;
        }
        for (int x = 0; x < width_; ++x, pixel += bytesPerPixel) {
            std::uint64_t* s = &sums_[size_t(column_[size_t(x)]) * 4];
            const std::uint32_t a = bytesPerPixel == 4 ? pixel[3] : 255;
            s[0] += pixel[0] * a;
            s[1] += pixel[1] * a;
            s[2] += pixel[2] * a;
            s[3] += a;
        }
        ++rows_;
    }

    QImage finish() {
        flush();
        return image_;
    }

private:
    void flush() {
        if (rows_ == 0) {
            return;
        }
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(target_));
        for (int x = 0; x < image_.width(); ++x) {
            const std::uint64_t n = std::uint64_t(count_[size_t(x)]) * std::uint64_t(rows_);
            const std::uint64_t* s = &sums_[size_t(x) * 4];
            // Colours were summed times alpha; dividing by 255 premultiplies.
            out[x] = qRgba(int(s[0] / (n * 255)), int(s[1] / (n * 255)), int(s[2] / (n * 255)),
                           opaque_ ? 255 : int(s[3] / n));
        }
        std::fill(sums_.begin(), sums_.end(), 0);
        rows_ = 0;
    }

    int width_, height_;
    bool opaque_;
    std::vector<int> column_;
    std::vector<std::uint32_t> count_;
    std::vector<std::uint64_t> sums_;
    QImage image_;
    int target_ = 0;
    int rows_ = 0;
};

std::uint32_t bigEndian(const uchar* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Undoes one row's filter in place; `previous` is the row above, unfiltered,
// or zeros.
bool unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous, size_t length,
              int bpp) {
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = size_t(bpp); i < length; ++i) {
            row[i] = std::uint8_t(row[i] + row[i - size_t(bpp)]);
        }
        return true;
    case 2:
        for (size_t i = 0; i < length; ++i) {
            row[i] = std::uint8_t(row[i] + previous[i]);
        }
        return true;
    case 3:
        for (size_t i = 0; i < size_t(bpp); ++i) {
            row[i] = std::uint8_t(row[i] + (previous[i] >> 1));
        }
        for (size_t i = size_t(bpp); i < length; ++i) {
            row[i] = std::uint8_t(row[i] + ((row[i - size_t(bpp)] + previous[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < size_t(bpp); ++i) {
            row[i] = std::uint8_t(row[i] + previous[i]);
        }
        for (size_t i = size_t(bpp); i < length; ++i) {
            const int a = row[i - size_t(bpp)], b = previous[i], c = previous[i - size_t(bpp)];
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            row[i] = std::uint8_t(row[i] + predicted);
        }
        return true;
    default:
        return false;
    }
}

// 8-bit RGB and RGBA without interlacing, as this program and most others
// write screenshots: the zlib stream inflated at once with libdeflate, which
// is several times faster than zlib. None for any other kind of PNG.
std::optional<QImage> readPlainPng(const uchar* bytes, qint64 size, QSize box) {
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size < 33 || std::memcmp(bytes, signature, 8) != 0 || bigEndian(bytes + 8) != 13 ||
        std::memcmp(bytes + 12, "IHDR", 4) != 0) {
        return std::nullopt;
    }
    const std::uint32_t width = bigEndian(bytes + 16), height = bigEndian(bytes + 20);
    const int depth = bytes[24], colourType = bytes[25], interlace = bytes[28];
    if (depth != 8 || (colourType != 2 && colourType != 6) || interlace != 0 || width == 0 ||
        height == 0 || width > (1u << 20) || height > (1u << 20)) {
        return std::nullopt;
    }
    const int bpp = colourType == 6 ? 4 : 3;
    const size_t rowLength = size_t(width) * size_t(bpp);
    const size_t inflatedSize = (rowLength + 1) * height;
    if (inflatedSize > (size_t(1) << 31)) {
        return std::nullopt;
    }
    QByteArray deflated;
    for (qint64 at = 8; at + 12 <= size;) {
        const std::uint32_t length = bigEndian(bytes + at);
        if (qint64(length) > size - at - 12) {
            return std::nullopt;
        }
        if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0) {
            deflated.append(reinterpret_cast<const char*>(bytes + at + 8), qsizetype(length));
        } else if (std::memcmp(bytes + at + 4, "IEND", 4) == 0) {
            break;
        }
        at += 12 + qint64(length);
    }
    std::vector<std::uint8_t> inflated(inflatedSize);
    libdeflate_decompressor* const decompressor = libdeflate_alloc_decompressor();
    if (!decompressor) {
        return std::nullopt;
    }
    const libdeflate_result result =
        libdeflate_zlib_decompress(decompressor, deflated.constData(), size_t(deflated.size()),
                                   inflated.data(), inflated.size(), nullptr);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS) {
        return std::nullopt;
    }
    BoxShrinker shrinker(int(width), int(height), fittedSize(QSize(int(width), int(height)), box),
                         colourType == 2);
    if (shrinker.isNull()) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> zeros(rowLength, 0);
    const std::uint8_t* previous = zeros.data();
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* const line = inflated.data() + size_t(y) * (rowLength + 1);
        if (!unfilter(line[0], line + 1, previous, rowLength, bpp)) {
            return std::nullopt;
        }
        shrinker.add(int(y), line + 1, bpp);
        previous = line + 1;
    }
    return shrinker.finish();
}

} // namespace

std::optional<QImage> readPngFitting(const QString& path, QSize box) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 8) {
        return std::nullopt;
    }
    const uchar* const bytes = file.map(0, file.size());
    if (!bytes) {
        return std::nullopt;
    }
    if (std::optional<QImage> plain = readPlainPng(bytes, file.size(), box)) {
        return plain;
    }
    const std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_IGNORE_ADLER32));
    if (!context) {
        return std::nullopt;
    }
    spng_ctx* const png = context.get();
    spng_set_crc_action(png, SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_image_limits(png, 1 << 20, 1 << 20);
    spng_set_chunk_limits(png, 64 << 20, 256 << 20);
    spng_ihdr header{};
    if (spng_set_png_buffer(png, bytes, size_t(file.size())) != 0 ||
        spng_get_ihdr(png, &header) != 0 || header.interlace_method != SPNG_INTERLACE_NONE) {
        return std::nullopt;
    }
    const int width = int(header.width), height = int(header.height);
    const bool opaque = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR ||
                        header.color_type == SPNG_COLOR_TYPE_GRAYSCALE;
    if (spng_decode_image(png, nullptr, 0, SPNG_FMT_RGBA8,
                          SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0) {
        return std::nullopt;
    }
    BoxShrinker shrinker(width, height, fittedSize(QSize(width, height), box), opaque);
    if (shrinker.isNull()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> row(size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        const int decoded = spng_decode_row(png, row.data(), row.size());
        if (decoded != 0 && decoded != SPNG_EOI) {
            return std::nullopt;
        }
        shrinker.add(y, row.data(), 4);
    }
    return shrinker.finish();
}

} // namespace platform

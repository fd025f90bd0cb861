#include "platform/PngEncoder.h"

#include "platform/DeflateJoin.h"
#include "platform/ImageAlpha.h"
#include "platform/ParallelFor.h"
#include "platform/PixelUnpack.h"
#include "platform/RowDeflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace platform {

namespace {

void putBigEndian32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

void appendChunk(QByteArray& png, const char* type, const std::uint8_t* data, std::size_t size) {
    std::uint8_t header[8];
    putBigEndian32(header, static_cast<std::uint32_t>(size));
    std::memcpy(header + 4, type, 4);
    png.append(reinterpret_cast<const char*>(header), 8);
    if (size > 0) {
        png.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    std::uint32_t crc = libdeflate_crc32(0, header + 4, 4);
    if (size > 0) {
        // libdeflate_crc32 takes a null buffer as a request for the initial value.
        crc = libdeflate_crc32(crc, data, size);
    }
    std::uint8_t tail[4];
    putBigEndian32(tail, crc);
    png.append(reinterpret_cast<const char*>(tail), 4);
}

// One strip of rows, filtered and deflated on its own thread.
struct Strip {
    int firstRow = 0;
    int endRow = 0;
    std::vector<std::uint8_t> deflated;
    std::uint32_t adler = 1;
    std::size_t rawSize = 0;
};

class StripCoder {
public:
    StripCoder(const QImage& image, int bytesPerPixel, const PngEncoder::Options& options)
        : image_(image)
        , bytesPerPixel_(bytesPerPixel)
        , rowBytes_(static_cast<std::size_t>(image.width()) *
                    static_cast<std::size_t>(bytesPerPixel))
        , options_(options) {}

    bool code(Strip& strip, bool last) const {
        const std::size_t rawBytes =
            static_cast<std::size_t>(strip.endRow - strip.firstRow) * (1 + rowBytes_);
        std::unique_ptr<std::uint8_t[]> raw(new std::uint8_t[rawBytes]);
        filterRows(strip.firstRow, strip.endRow, raw.get());
        strip.rawSize = rawBytes;
        strip.adler = libdeflate_adler32(1, raw.get(), rawBytes);
        if (options_.deflater == PngEncoder::Deflater::rows) {
            deflateRows(raw.get(), rawBytes, strip.deflated, last);
            return true;
        }
        if (options_.deflater == PngEncoder::Deflater::libdeflate &&
            deflateWithLibdeflate(raw.get(), rawBytes, strip.deflated, last)) {
            return true;
        }
        // zlib flushes by itself; it also stands in should libdeflate's output
        // ever fail to join.
        return deflateWithZlib(raw.get(), rawBytes, strip.deflated, last);
    }

private:
    void filterRows(int first, int end, std::uint8_t* out) const {
        png::RowFilter filter(rowBytes_, bytesPerPixel_);
        std::vector<std::uint8_t> previous(rowBytes_);
        std::vector<std::uint8_t> current(rowBytes_);
        if (first > 0) {
            unpackRow(first - 1, previous.data());
        }
        for (int y = first; y < end; ++y) {
            unpackRow(y, current.data());
            const std::uint8_t* above = y > 0 ? previous.data() : nullptr;
            if (options_.filter) {
                filter.filterWith(*options_.filter, current.data(), above, out);
            } else {
                filter.filterAdaptive(current.data(), above, out);
            }
            out += 1 + rowBytes_;
            std::swap(previous, current);
        }
    }

    void deflateRows(const std::uint8_t* raw, std::size_t size, std::vector<std::uint8_t>& out,
                     bool last) const {
        const std::unique_ptr<std::uint8_t[]> room(
            new std::uint8_t[deflate::RowDeflater::bound(size)]);
        const std::size_t written =
            deflate::RowDeflater(1 + rowBytes_).deflate(raw, size, last, room.get());
        out.assign(room.get(), room.get() + written);
    }

    void unpackRow(int y, std::uint8_t* out) const {
        png::unpackPixels(reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y)),
                          image_.width(), bytesPerPixel_, out);
    }

    bool deflateWithLibdeflate(const std::uint8_t* raw, std::size_t size,
                               std::vector<std::uint8_t>& out, bool last) const {
        const auto compressor =
            std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>(
                libdeflate_alloc_compressor(std::clamp(options_.compressionLevel, 1, 12)),
                libdeflate_free_compressor);
        if (!compressor) {
            return false;
        }
        // Room for the worst case, left uninitialised: the pages that the
        // output never reaches are never touched, and the vector gets the
        // bytes written alone (a third of the bound on a screenshot).
        const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), size);
        const std::unique_ptr<std::uint8_t[]> room(new std::uint8_t[bound]);
        const std::size_t written =
            libdeflate_deflate_compress(compressor.get(), raw, size, room.get(), bound);
        if (written == 0) {
            return false;
        }
        // The few bytes makeJoinable adds come without another allocation.
        out.reserve(written + 8);
        out.assign(room.get(), room.get() + written);
        return last || deflate::makeJoinable(out);
    }

    bool deflateWithZlib(const std::uint8_t* raw, std::size_t size, std::vector<std::uint8_t>& out,
                         bool last) const {
        z_stream stream{};
        if (deflateInit2(&stream, std::clamp(options_.compressionLevel, 1, 9), Z_DEFLATED, -15, 8,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            return false;
        }
        const auto end = std::unique_ptr<z_stream, int (*)(z_stream*)>(&stream, deflateEnd);
        // Room for the worst case and the flush marker; grown if ever short.
        out.resize(deflateBound(&stream, static_cast<uLong>(size)) + 64);
        // A strip is a few rows, far below zlib's 4 GiB counters.
        stream.next_in = const_cast<Bytef*>(raw);
        stream.avail_in = static_cast<uInt>(size);
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            const std::size_t done = stream.total_out;
            if (done == out.size()) {
                out.resize(out.size() * 2);
            }
            stream.next_out = out.data() + done;
            stream.avail_out = static_cast<uInt>(out.size() - done);
            const int status = ::deflate(&stream, flush);
            if (status == Z_STREAM_END) {
                break;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                return false;
            }
            if (!last && stream.avail_in == 0 && stream.avail_out > 0) {
                break; // the sync flush is complete
            }
        }
        out.resize(stream.total_out);
        return true;
    }

    const QImage& image_;
    int bytesPerPixel_;
    std::size_t rowBytes_;
    const PngEncoder::Options& options_;
};

} // namespace

std::optional<QByteArray> PngEncoder::encode(const QImage& source, const Options& options) {
    if (source.isNull()) {
        return std::nullopt;
    }
    try {
        QImage image = source;
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                  : QImage::Format_RGB32);
            if (image.isNull()) {
                return std::nullopt;
            }
        }
        const int bytesPerPixel = hasTranslucentPixels(image) ? 4 : 3;
        const std::size_t filteredRow =
            1 + static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(bytesPerPixel);
        const int rowsPerStrip = static_cast<int>(std::clamp<std::size_t>(
            static_cast<std::size_t>(std::max(1, options.stripBytes)) / filteredRow, 1,
            static_cast<std::size_t>(image.height())));

        std::vector<Strip> strips;
        for (int y = 0; y < image.height(); y += rowsPerStrip) {
            strips.push_back(Strip{y, std::min(image.height(), y + rowsPerStrip), {}, 1, 0});
        }
        const StripCoder coder(image, bytesPerPixel, options);
        std::atomic<bool> failed{false};
        const auto codeStrips = [&](int begin, int end) {
            for (int i = begin; i < end; ++i) {
                const auto index = static_cast<std::size_t>(i);
                try {
                    if (!failed && !coder.code(strips[index], index + 1 == strips.size())) {
                        failed = true;
                    }
                } catch (const std::bad_alloc&) {
                    failed = true;
                }
            }
        };
        parallelFor(static_cast<int>(strips.size()), codeStrips,
                    {.maxThreads = options.maxThreads});
        if (failed) {
            return std::nullopt;
        }

        QByteArray png;
        std::size_t total = 128;
        for (const Strip& strip : strips) {
            total += strip.deflated.size() + 12;
        }
        png.reserve(static_cast<qsizetype>(total));
        png.append("\x89PNG\r\n\x1a\n", 8);

        std::uint8_t ihdr[13];
        putBigEndian32(ihdr, static_cast<std::uint32_t>(image.width()));
        putBigEndian32(ihdr + 4, static_cast<std::uint32_t>(image.height()));
        ihdr[8] = 8;                          // bits per sample
        ihdr[9] = bytesPerPixel == 4 ? 6 : 2; // RGBA or RGB
        ihdr[10] = 0;                         // deflate
        ihdr[11] = 0;                         // adaptive filtering
        ihdr[12] = 0;                         // not interlaced
        appendChunk(png, "IHDR", ihdr, sizeof ihdr);

        if (options.dotsPerMeter > 0) {
            std::uint8_t phys[9];
            putBigEndian32(phys, static_cast<std::uint32_t>(options.dotsPerMeter));
            putBigEndian32(phys + 4, static_cast<std::uint32_t>(options.dotsPerMeter));
            phys[8] = 1; // unit: metre
            appendChunk(png, "pHYs", phys, sizeof phys);
        }

        // The zlib header (32 KiB window, fast level) has its own IDAT, then
        // one IDAT per strip, then the combined Adler-32: the strips' chunks
        // need nothing from one another.
        const std::uint8_t header[2] = {0x78, 0x5e};
        appendChunk(png, "IDAT", header, 2);
        uLong adler = 1;
        for (std::size_t i = 0; i < strips.size(); ++i) {
            Strip& strip = strips[i];
            adler = i == 0
                        ? strip.adler
                        : adler32_combine(adler, strip.adler, static_cast<z_off_t>(strip.rawSize));
            appendChunk(png, "IDAT", strip.deflated.data(), strip.deflated.size());
            std::vector<std::uint8_t>().swap(strip.deflated);
        }
        std::uint8_t trailer[4];
        putBigEndian32(trailer, static_cast<std::uint32_t>(adler));
        appendChunk(png, "IDAT", trailer, 4);
        appendChunk(png, "IEND", nullptr, 0);
        return png;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace platform

#include "platform/TiffEncoder.h"

#include "platform/DeferredLibrary.h"
#include "platform/ImageAlpha.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace platform {

namespace {

// The growing in-memory file libtiff writes into.
struct MemoryFile {
    QByteArray bytes;
    qint64 position = 0;

    static tmsize_t read(thandle_t handle, void* data, tmsize_t size) {
        auto* file = static_cast<MemoryFile*>(handle);
        const qint64 available = std::max<qint64>(0, file->bytes.size() - file->position);
        const qint64 count = std::min<qint64>(available, size);
        std::memcpy(data, file->bytes.constData() + file->position,
                    static_cast<std::size_t>(count));
        file->position += count;
        return static_cast<tmsize_t>(count);
    }
    static tmsize_t write(thandle_t handle, void* data, tmsize_t size) {
        auto* file = static_cast<MemoryFile*>(handle);
        try {
            const qint64 end = file->position + size;
            if (end > file->bytes.size()) {
                if (end > file->bytes.capacity()) {
                    file->bytes.reserve(std::max<qint64>(end, file->bytes.capacity() * 2));
                }
                file->bytes.resize(end);
            }
        } catch (const std::bad_alloc&) {
            return -1;
        }
        std::memcpy(file->bytes.data() + file->position, data, static_cast<std::size_t>(size));
        file->position += size;
        return size;
    }
    static toff_t seek(thandle_t handle, toff_t offset, int whence) {
        auto* file = static_cast<MemoryFile*>(handle);
        qint64 target = static_cast<qint64>(offset);
        if (whence == SEEK_CUR) {
            target += file->position;
        } else if (whence == SEEK_END) {
            target += file->bytes.size();
        }
        if (target < 0) {
            return static_cast<toff_t>(-1);
        }
        file->position = target;
        return static_cast<toff_t>(target);
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t handle) {
        return static_cast<toff_t>(static_cast<MemoryFile*>(handle)->bytes.size());
    }
    static int map(thandle_t, void**, toff_t*) { return 0; }
    static void unmap(thandle_t, void*, toff_t) {}
};

// libtiff's messages would go to stderr; the caller only needs to know that
// encoding failed.
int quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

} // namespace

std::optional<QByteArray> TiffEncoder::encode(const QImage& source, double dotsPerInch) {
    if (source.isNull() || !(dotsPerInch > 0) || !loadDeferred(DeferredLibrary::tiff)) {
        return std::nullopt;
    }
    try {
        const bool alpha = hasTranslucentPixels(source);
        // RGB888 and RGBA8888 hold exactly the bytes of a TIFF scanline.
        const QImage image =
            source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (image.isNull()) {
            return std::nullopt;
        }

        const auto options = std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)>(
            TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
        MemoryFile file;
        TIFF* tiff = TIFFClientOpenExt("clipboard", "w", &file, MemoryFile::read, MemoryFile::write,
                                       MemoryFile::seek, MemoryFile::close, MemoryFile::size,
                                       MemoryFile::map, MemoryFile::unmap, options.get());
        if (!tiff) {
            return std::nullopt;
        }
        const auto closer = std::unique_ptr<TIFF, void (*)(TIFF*)>(tiff, TIFFClose);
        const std::uint16_t samples = alpha ? 4 : 3;
        const std::uint32_t rowsPerStrip = std::max<std::uint32_t>(
            1, static_cast<std::uint32_t>(256 * 1024 /
                                          std::max<qsizetype>(1, image.width() * samples)));
        bool ok =
            TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width())) &&
            TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height())) &&
            TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) &&
            TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples) &&
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) &&
            TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
            TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(dotsPerInch)) &&
            TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(dotsPerInch));
        if (ok && alpha) {
            const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        for (int y = 0; ok && y < image.height(); ++y) {
            // libtiff takes a writable pointer but does not change an
            // uncompressed row.
            ok = TIFFWriteScanline(tiff, const_cast<uchar*>(image.constScanLine(y)),
                                   static_cast<std::uint32_t>(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff);
        if (!ok) {
            return std::nullopt;
        }
        return file.bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace platform

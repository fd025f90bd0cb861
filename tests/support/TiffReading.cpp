#include "support/TiffReading.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace testsupport {

namespace {

struct Reader {
    const QByteArray* bytes;
    toff_t position = 0;
};

} // namespace

std::optional<ReadTiff> readTiff(const QByteArray& bytes) {
    Reader reader{&bytes};
    TIFF* tiff = TIFFClientOpen(
        "test", "r", &reader,
        [](thandle_t h, void* data, tmsize_t size) -> tmsize_t {
            auto* r = static_cast<Reader*>(h);
            const auto n =
                std::min<tmsize_t>(size, r->bytes->size() - static_cast<qsizetype>(r->position));
            std::memcpy(data, r->bytes->constData() + r->position, static_cast<std::size_t>(n));
            r->position += static_cast<toff_t>(n);
            return n;
        },
        [](thandle_t, void*, tmsize_t) -> tmsize_t { return -1; },
        [](thandle_t h, toff_t offset, int whence) -> toff_t {
            auto* r = static_cast<Reader*>(h);
            r->position = whence == SEEK_SET   ? offset
                          : whence == SEEK_CUR ? r->position + offset
                                               : static_cast<toff_t>(r->bytes->size()) + offset;
            return r->position;
        },
        [](thandle_t) { return 0; },
        [](thandle_t h) { return static_cast<toff_t>(static_cast<Reader*>(h)->bytes->size()); },
        [](thandle_t, void**, toff_t*) { return 0; }, [](thandle_t, void*, toff_t) {});
    if (!tiff) {
        return std::nullopt;
    }
    ReadTiff result;
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::uint16_t samples = 0;
    std::uint16_t unit = 0;
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &result.xResolution);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &result.yResolution);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount == 1) {
        result.extraSamples = extra[0];
    }
    result.width = static_cast<int>(w);
    result.height = static_cast<int>(h);
    result.samples = samples;
    result.unit = unit;
    result.abgr.resize(static_cast<std::size_t>(w) * h);
    const bool ok = TIFFReadRGBAImage(tiff, w, h, result.abgr.data(), 0) == 1;
    TIFFClose(tiff);
    return ok ? std::optional<ReadTiff>(result) : std::nullopt;
}

QImage ReadTiff::toImage() const {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // The raster's first row is the image's bottom one.
            const std::uint32_t p =
                abgr[static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
            image.setPixel(x, y, qRgb(TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)));
        }
    }
    return image;
}

} // namespace testsupport

#pragma once

#include "platform/PngFilter.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace platform {

// A PNG writer built for large screenshots. The image is cut into strips of
// rows; every strip is filtered and deflated on its own core, and the strips
// are joined into the one zlib stream the format requires: each strip's
// stream but the last is ended like a sync flush (RowDeflater writes it so;
// libdeflate's is made so, see DeflateJoin.h) and the Adler-32 checksums are
// combined. The strip layout depends only on the image, so the bytes are the
// same whatever the number of threads.
//
// Images with an alpha channel that is used are written as 8-bit RGBA, all
// others as 8-bit RGB.
class PngEncoder {
public:
    // rows: our own coder of filtered rows (see RowDeflater.h), the fastest
    // and on screenshots the smallest; it has no levels. libdeflate and zlib
    // search for matches anywhere in their window.
    enum class Deflater { rows, libdeflate, zlib };

    struct Options {
        // Written as the pHYs chunk (per metre); 0 leaves the chunk out.
        int dotsPerMeter = 0;
        // libdeflate: 1–12, zlib: 1–9. libdeflate's level 1 finds its matches
        // in a plain hash table: on screenshots it is the fastest and makes
        // files no larger than levels 2 to 4.
        int compressionLevel = 1;
        Deflater deflater = Deflater::rows;
        // Unset: the adaptive per-row choice.
        std::optional<png::Filter> filter;
        // 0: as many as the global thread pool allows.
        unsigned maxThreads = 0;
        // Filtered bytes per strip; the strip height follows. Larger strips
        // compress a little better, smaller ones spread over more cores.
        int stripBytes = 512 * 1024;
    };

    // Nothing for a null image or when memory runs out.
    static std::optional<QByteArray> encode(const QImage& image, const Options& options);
    static std::optional<QByteArray> encode(const QImage& image) {
        return encode(image, Options{});
    }
};

} // namespace platform

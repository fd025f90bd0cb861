// The PNG and JPEG resolution readers walk chunk and segment lengths taken
// from the file: they never read outside it, and a resolution they give is a
// finite, non-negative number. The first byte picks the reader, the rest
// follows its signature.
#include "app/ImageResolution.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1,
                          static_cast<qsizetype>(size - 1));
    const QByteArray signature =
        (data[0] & 1) != 0 ? QByteArray("\x89PNG\r\n\x1a\n", 8) : QByteArray("\xFF\xD8", 2);
    // Copied into a buffer of its own size, so the sanitizer sees any read
    // past the end.
    const QByteArray file = signature + rest;
    const std::optional<double> resolution = app::horizontalResolution(file, QImage());
    if (resolution && (!std::isfinite(*resolution) || *resolution < 0)) {
        std::abort();
    }
    return 0;
}

#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace platform {

// Uncompressed baseline TIFF in memory, as clipboard readers expect it: 8-bit
// RGB, or RGBA with unassociated alpha when the image uses its alpha channel,
// and the resolution in dots per inch that gives the image its size in points.
class TiffEncoder {
public:
    // Nothing for a null image or when libtiff fails.
    static std::optional<QByteArray> encode(const QImage& image, double dotsPerInch);
};

} // namespace platform

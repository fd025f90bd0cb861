#include "platform/ImageAlpha.h"

#include <algorithm>

namespace platform {

bool hasTranslucentPixels(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return false;
    }
    // Rows are read as 32-bit pixels; alpha sits in the same place
    // premultiplied or not.
    const QImage argb = image.format() == QImage::Format_ARGB32 ||
                                image.format() == QImage::Format_ARGB32_Premultiplied
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        if (std::any_of(row, row + argb.width(), [](QRgb p) { return qAlpha(p) != 255; })) {
            return true;
        }
    }
    return false;
}

} // namespace platform

#include "annotation/ImageSources.h"

#include "annotation/ImageFilters.h"

#include <cmath>

namespace annotation {

ImageSources::ImageSources(QImage base, double scale)
    : base_(std::move(base)), scale_(std::isfinite(scale) && scale > 0 ? scale : 1.0) {}

Size ImageSources::imageSize() const {
    return Size{base_.width() / scale_, base_.height() / scale_};
}

bool ImageSources::isOpaque() {
    if (!opaque_) {
        bool opaque = true;
        if (base_.hasAlphaChannel()) {
            // Alpha sits in the same place premultiplied or not.
            const QImage argb = base_.format() == QImage::Format_ARGB32_Premultiplied
                                    ? base_
                                    : base_.convertToFormat(QImage::Format_ARGB32);
            const int width = argb.width();
            const int height = argb.height();
            for (int y = 0; opaque && y < height; ++y) {
                const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                for (int x = 0; x < width; ++x) {
                    if (qAlpha(row[x]) != 255) {
                        opaque = false;
                        break;
                    }
                }
            }
        }
        opaque_ = opaque;
    }
    return *opaque_;
}

const QImage* ImageSources::pixelated() {
    if (!pixelated_) {
        QImage copy = imageFilters::pixellate(base_, 11 * scale_);
        if (copy.isNull()) {
            return nullptr;
        }
        pixelated_ = std::move(copy);
    }
    return &*pixelated_;
}

const QImage* ImageSources::blurred() {
    if (!blurred_) {
        QImage copy = imageFilters::gaussianBlur(base_, 9 * scale_);
        if (copy.isNull()) {
            return nullptr;
        }
        blurred_ = std::move(copy);
    }
    return &*blurred_;
}

} // namespace annotation

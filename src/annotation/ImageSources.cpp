#include "annotation/ImageSources.h"

#include "annotation/ImageFilters.h"
#include "platform/ImageAlpha.h"

#include <cmath>

namespace annotation {

ImageSources::ImageSources(QImage base, double scale)
    : base_(std::move(base)), scale_(std::isfinite(scale) && scale > 0 ? scale : 1.0) {}

Size ImageSources::imageSize() const {
    return Size{base_.width() / scale_, base_.height() / scale_};
}

bool ImageSources::isOpaque() {
    if (!opaque_) {
        opaque_ = !platform::hasTranslucentPixels(base_);
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

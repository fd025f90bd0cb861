#include "annotation/ImageSources.h"

#include "annotation/ImageFilters.h"
#include "platform/ImageAlpha.h"

#include <cmath>

namespace annotation {

namespace {
constexpr double kPixelCellPoints = 11;
constexpr double kBlurSigmaPoints = 9;
} // namespace

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
    const double cell = kPixelCellPoints * scale_;
    if (const QImage* copy = cache_.filtered(RenderCache::Filter::pixelate, cell)) {
        return copy;
    }
    QImage copy = imageFilters::pixellate(base_, cell);
    if (copy.isNull()) {
        return nullptr;
    }
    return &cache_.keepFiltered(RenderCache::Filter::pixelate, cell, std::move(copy));
}

const QImage* ImageSources::blurred() {
    const double sigma = kBlurSigmaPoints * scale_;
    if (const QImage* copy = cache_.filtered(RenderCache::Filter::blur, sigma)) {
        return copy;
    }
    QImage copy = imageFilters::gaussianBlur(base_, sigma);
    if (copy.isNull()) {
        return nullptr;
    }
    return &cache_.keepFiltered(RenderCache::Filter::blur, sigma, std::move(copy));
}

bool ImageSources::hasPixelatedCopy() const {
    return cache_.filtered(RenderCache::Filter::pixelate, kPixelCellPoints * scale_) != nullptr;
}

bool ImageSources::hasBlurredCopy() const {
    return cache_.filtered(RenderCache::Filter::blur, kBlurSigmaPoints * scale_) != nullptr;
}

} // namespace annotation

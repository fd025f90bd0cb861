#include "annotation/ImageSources.h"

#include "annotation/ImageFilters.h"
#include "platform/ImageAlpha.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace annotation {

namespace {
constexpr double kPixelCellPoints = 11;
constexpr double kBlurSigmaPoints = 9;
constexpr int kTile = 256;

// A copy's pixels start as zero pages from the system, so that only the
// tiles that are filled cost memory and time.
QImage zeroedImage(const QImage& like) {
    const qsizetype stride = static_cast<qsizetype>(like.width()) * 4;
    void* bytes = std::calloc(static_cast<std::size_t>(stride) * like.height(), 1);
    if (bytes == nullptr) {
        return {};
    }
    QImage image(static_cast<uchar*>(bytes), like.width(), like.height(), stride,
                 QImage::Format_ARGB32_Premultiplied, &std::free, bytes);
    image.setColorSpace(like.colorSpace());
    image.setDotsPerMeterX(like.dotsPerMeterX());
    image.setDotsPerMeterY(like.dotsPerMeterY());
    return image;
}
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

const QImage* ImageSources::pixelated(const std::optional<QRect>& area) {
    return cover(RenderCache::Filter::pixelate, kPixelCellPoints * scale_, pixelated_, area);
}

const QImage* ImageSources::blurred(const std::optional<QRect>& area) {
    return cover(RenderCache::Filter::blur, kBlurSigmaPoints * scale_, blurred_, area);
}

const QImage* ImageSources::cover(RenderCache::Filter filter, double parameter, Copy& copy,
                                  const std::optional<QRect>& wanted) {
    if (base_.isNull()) {
        return nullptr;
    }
    if (copy.image == nullptr) {
        QImage blank = zeroedImage(base_);
        if (blank.isNull()) {
            return nullptr;
        }
        copy.image = &cache_.keepFiltered(filter, parameter, std::move(blank));
        copy.columns = (base_.width() + kTile - 1) / kTile;
        const int rows = (base_.height() + kTile - 1) / kTile;
        copy.made.assign(static_cast<std::size_t>(copy.columns) * static_cast<std::size_t>(rows),
                         false);
    }
    const QRect area = wanted.value_or(base_.rect()) & base_.rect();
    if (area.isEmpty()) {
        return copy.image;
    }
    // The tiles the area needs that are not made yet, filtered as one piece.
    const int left = area.left() / kTile;
    const int right = area.right() / kTile;
    const int top = area.top() / kTile;
    const int bottom = area.bottom() / kTile;
    const auto index = [&](int column, int row) {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(copy.columns) +
               static_cast<std::size_t>(column);
    };
    QRect missing;
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            if (!copy.made[index(column, row)]) {
                missing |= QRect(column * kTile, row * kTile, kTile, kTile);
            }
        }
    }
    if (missing.isEmpty()) {
        return copy.image;
    }
    missing &= base_.rect();
    const bool filled = filter == RenderCache::Filter::blur
                            ? imageFilters::gaussianBlurArea(base_, parameter, missing, *copy.image)
                            : imageFilters::pixellateArea(base_, parameter, missing, *copy.image);
    if (!filled) {
        return nullptr;
    }
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            copy.made[index(column, row)] = true;
        }
    }
    return copy.image;
}

bool ImageSources::hasPixelatedCopy() const {
    return cache_.filtered(RenderCache::Filter::pixelate, kPixelCellPoints * scale_) != nullptr;
}

bool ImageSources::hasBlurredCopy() const {
    return cache_.filtered(RenderCache::Filter::blur, kBlurSigmaPoints * scale_) != nullptr;
}

} // namespace annotation

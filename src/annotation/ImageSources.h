#pragma once

#include "annotation/Geometry.h"

#include <QImage>

#include <optional>

namespace annotation {

// The base image of a document and its two whole-image filtered copies for
// pixelate and blur marks. The copies are made on first need and kept: the
// base never changes, so dragging a region never filters again. Main thread.
class ImageSources {
public:
    // A scale that is not a positive finite number is taken as 1.
    ImageSources(QImage base, double scale);

    const QImage& base() const { return base_; }
    double scale() const { return scale_; }
    // Base pixel size divided by the scale.
    Size imageSize() const;

    // Blocks of 11 points; none when the copy cannot be made (it is tried
    // again on the next call).
    const QImage* pixelated();
    // Gaussian blur of sigma 9 points.
    const QImage* blurred();

    // Whether every pixel of the base is opaque (looked at once).
    bool isOpaque();

    bool hasPixelatedCopy() const { return pixelated_.has_value(); }
    bool hasBlurredCopy() const { return blurred_.has_value(); }

private:
    QImage base_;
    double scale_;
    std::optional<QImage> pixelated_;
    std::optional<QImage> blurred_;
    std::optional<bool> opaque_;
};

} // namespace annotation

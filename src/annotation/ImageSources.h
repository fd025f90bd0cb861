#pragma once

#include "annotation/Geometry.h"
#include "annotation/RenderCache.h"

#include <QImage>

#include <optional>

namespace annotation {

// The base image of a document, its two whole-image filtered copies for
// pixelate and blur marks, and the renderer's cache of what stays the same
// between draws. The copies are made on first need and kept: the base never
// changes, so dragging a region never filters again. Main thread.
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

    bool hasPixelatedCopy() const;
    bool hasBlurredCopy() const;

    // What the renderer keeps between draws of this document.
    RenderCache& cache() { return cache_; }
    const RenderCache& cache() const { return cache_; }

private:
    QImage base_;
    double scale_;
    std::optional<bool> opaque_;
    RenderCache cache_;
};

} // namespace annotation

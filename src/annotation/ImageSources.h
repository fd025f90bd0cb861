#pragma once

#include "annotation/Geometry.h"
#include "annotation/RenderCache.h"

#include <QImage>

#include <optional>
#include <vector>

namespace annotation {

// The base image of a document, its two filtered copies for pixelate and blur
// marks, and the renderer's cache of what stays the same between draws. A
// copy is filled in tiles as the marks ask for areas of it, and kept: the
// base never changes, so a region dragged over filtered tiles never filters
// again, and a document with a few small blurs never blurs the whole image.
// Main thread.
class ImageSources {
public:
    // A scale that is not a positive finite number is taken as 1.
    ImageSources(QImage base, double scale);

    const QImage& base() const { return base_; }
    double scale() const { return scale_; }
    // Base pixel size divided by the scale.
    Size imageSize() const;

    // Blocks of 11 points, made at least over `area` (pixels of the base;
    // the whole base when none is given); none when the copy cannot be made
    // (it is tried again on the next call).
    const QImage* pixelated(const std::optional<QRect>& area = std::nullopt);
    // Gaussian blur of sigma 9 points, made at least over `area`.
    const QImage* blurred(const std::optional<QRect>& area = std::nullopt);

    // Whether every pixel of the base is opaque (looked at once).
    bool isOpaque();

    bool hasPixelatedCopy() const;
    bool hasBlurredCopy() const;

    // What the renderer keeps between draws of this document.
    RenderCache& cache() { return cache_; }
    const RenderCache& cache() const { return cache_; }

private:
    // A filtered copy of the base and which of its tiles are made.
    struct Copy {
        QImage* image = nullptr;
        std::vector<bool> made;
        int columns = 0;
    };
    const QImage* cover(RenderCache::Filter filter, double parameter, Copy& copy,
                        const std::optional<QRect>& area);

    QImage base_;
    double scale_;
    std::optional<bool> opaque_;
    RenderCache cache_;
    Copy pixelated_;
    Copy blurred_;
};

} // namespace annotation

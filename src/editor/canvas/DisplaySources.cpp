#include "editor/canvas/DisplaySources.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>

namespace editor {

DisplaySources::DisplaySources(annotation::ImageSources& original) : original_(original) {}

DisplaySources::~DisplaySources() = default;

annotation::ImageSources& DisplaySources::at(double devicePixelsPerPoint) {
    const QImage& base = original_.base();
    // Pixels of the original per device pixel; below 2 the original is drawn.
    const double ratio = original_.scale() / std::max(devicePixelsPerPoint, 1e-9);
    int level = 0;
    while (level < 8 && ratio >= std::ldexp(2.0, level) &&
           std::min(base.width(), base.height()) >> (level + 1) >= 16) {
        ++level;
    }
    if (level == 0) {
        level_ = 0;
        copy_.reset();
        return original_;
    }
    if (level != level_ || !copy_) {
        const int width = std::max(1, base.width() >> level);
        // The scale follows the width exactly; the height is rounded up so
        // the copy covers the whole image.
        const double scale = original_.scale() * width / base.width();
        const int height = std::max(
            1,
            static_cast<int>(std::ceil(static_cast<double>(base.height()) * width / base.width())));
        QImage smaller = base.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        smaller.setColorSpace(base.colorSpace());
        copy_ = std::make_unique<annotation::ImageSources>(std::move(smaller), scale);
        level_ = level;
    }
    return *copy_;
}

} // namespace editor

#include "editor/canvas/DisplaySources.h"

#include <QColorSpace>

#include <algorithm>
#include <cmath>

namespace editor {

namespace {

// Halvings stop while the copy still has some size.
constexpr int kMaxLevel = 8;
constexpr int kSmallestSide = 16;

} // namespace

DisplaySources::DisplaySources(annotation::ImageSources& original) : original_(original) {}

DisplaySources::~DisplaySources() = default;

annotation::ImageSources& DisplaySources::at(double devicePixelsPerPoint) {
    const QImage& base = original_.base();
    // Pixels of the original per device pixel; below 2 the original is drawn.
    const double ratio = original_.scale() / std::max(devicePixelsPerPoint, 1e-9);
    int level = 0;
    while (level < kMaxLevel && ratio >= std::ldexp(2.0, level) &&
           std::min(base.width(), base.height()) >> (level + 1) >= kSmallestSide) {
        ++level;
    }
    level_ = level;
    if (level == 0) {
        return original_;
    }
    for (int n = 1; n <= level; ++n) {
        if (halved_.count(n) != 0) {
            continue;
        }
        const QImage& from = n == 1 ? base : halved_.at(n - 1)->base();
        const int width = std::max(1, base.width() >> n);
        // The scale follows the width exactly; the height is rounded up so
        // the copy covers the whole image.
        const double scale = original_.scale() * width / base.width();
        const int height = std::max(
            1,
            static_cast<int>(std::ceil(static_cast<double>(base.height()) * width / base.width())));
        QImage smaller = from.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        smaller.setColorSpace(base.colorSpace());
        halved_[n] = std::make_unique<annotation::ImageSources>(std::move(smaller), scale);
    }
    return *halved_.at(level);
}

} // namespace editor

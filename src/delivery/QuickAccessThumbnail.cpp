#include "delivery/QuickAccessThumbnail.h"

#include <algorithm>
#include <cmath>

namespace delivery {

namespace {

constexpr int opaqueAbove = 249;

bool opaqueAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) > opaqueAbove;
}

// First and one past the last opaque index along a line of `length` pixels;
// nothing when none is opaque.
template <typename Opaque>
std::optional<std::pair<int, int>> opaqueSpan(int length, Opaque opaque) {
    int first = -1;
    int last = -1;
    for (int i = 0; i < length; ++i) {
        if (opaque(i)) {
            if (first < 0) {
                first = i;
            }
            last = i;
        }
    }
    if (first < 0) {
        return std::nullopt;
    }
    return std::pair{first, last + 1};
}

int fitted(double value, int minimum) {
    if (!(value > minimum)) {
        return minimum;
    }
    return static_cast<int>(std::round(value));
}

} // namespace

std::optional<QRect> thumbnailCropRect(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    if (w < 3 || h < 3 || !image.hasAlphaChannel()) {
        return std::nullopt;
    }
    if (opaqueAt(image, 0, 0)) {
        return std::nullopt;
    }
    const auto row = opaqueSpan(w, [&](int x) { return opaqueAt(image, x, h / 2); });
    const auto column = opaqueSpan(h, [&](int y) { return opaqueAt(image, w / 2, y); });
    if (!row || !column) {
        return std::nullopt;
    }
    const auto [left, right] = *row;
    const auto [top, bottom] = *column;
    if (right - left == w && bottom - top == h) {
        return std::nullopt;
    }
    return QRect(left, top, right - left, bottom - top);
}

QSize thumbnailSize(const QSizeF& points) {
    const double w = points.width();
    const double h = points.height();
    double scale = 1;
    if (w > 0 && h > 0) {
        scale = std::min({220.0 / w, 150.0 / h, 1.0});
    }
    return QSize(fitted(w * scale, 184), fitted(h * scale, 108));
}

} // namespace delivery

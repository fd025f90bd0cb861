#include "annotation/Geometry.h"

#include <algorithm>

namespace annotation {

Rect Rect::standardized() const {
    if (isNull()) {
        return *this;
    }
    return Rect(minX(), minY(), std::fabs(size.width), std::fabs(size.height));
}

Rect Rect::insetBy(double d) const {
    if (isNull()) {
        return *this;
    }
    const Rect s = standardized();
    const double w = s.size.width - 2 * d;
    const double h = s.size.height - 2 * d;
    if (w < 0 || h < 0) {
        return null();
    }
    return Rect(s.origin.x + d, s.origin.y + d, w, h);
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull()) {
        return *this;
    }
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

bool Rect::contains(Point p) const {
    if (isNull() || size.width == 0 || size.height == 0) {
        return false;
    }
    return minX() <= p.x && p.x < maxX() && minY() <= p.y && p.y < maxY();
}

Rect Rect::intersected(const Rect& other) const {
    if (isNull() || other.isNull()) {
        return null();
    }
    const double x1 = std::max(minX(), other.minX());
    const double x2 = std::min(maxX(), other.maxX());
    const double y1 = std::max(minY(), other.minY());
    const double y2 = std::min(maxY(), other.maxY());
    if (x1 > x2 || y1 > y2) {
        return null();
    }
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

Rect Rect::integral() const {
    if (isNull()) {
        return *this;
    }
    const double x1 = std::floor(minX());
    const double y1 = std::floor(minY());
    const double x2 = std::ceil(maxX());
    const double y2 = std::ceil(maxY());
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

Rect Rect::united(const Rect& other) const {
    if (isNull()) {
        return other.standardized();
    }
    if (other.isNull()) {
        return standardized();
    }
    const double x1 = std::min(minX(), other.minX());
    const double y1 = std::min(minY(), other.minY());
    const double x2 = std::max(maxX(), other.maxX());
    const double y2 = std::max(maxY(), other.maxY());
    return Rect(x1, y1, x2 - x1, y2 - y1);
}

} // namespace annotation

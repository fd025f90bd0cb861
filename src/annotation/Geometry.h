#pragma once

#include <cmath>
#include <limits>

namespace annotation {

// Image-point geometry with exact comparisons. QPointF and QRectF compare with
// a tolerance and give empty rectangles a meaning of their own, which the
// editor's rules (hit bands, zero-size crops, stored negative sizes) must not
// inherit.

// Nearest integer, halves away from zero (2.5 → 3, −2.5 → −3).
inline double roundHalfAway(double x) {
    return std::round(x);
}

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
    Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
    Point operator*(double k) const { return {x * k, y * k}; }
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    // The result of intersecting rectangles that do not meet.
    static Rect null() {
        const double inf = std::numeric_limits<double>::infinity();
        return Rect(inf, inf, 0, 0);
    }
    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return std::fmin(origin.x, origin.x + size.width); }
    double maxX() const { return std::fmax(origin.x, origin.x + size.width); }
    double minY() const { return std::fmin(origin.y, origin.y + size.height); }
    double maxY() const { return std::fmax(origin.y, origin.y + size.height); }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }

    // Non-negative width and height, origin at the minimum corner.
    Rect standardized() const;
    // Every edge moved inwards by d (negative d moves outwards); a result
    // with negative width or height is the null rectangle.
    Rect insetBy(double d) const;
    Rect outsetBy(double d) const { return insetBy(-d); }
    Rect offsetBy(double dx, double dy) const;
    // minX ≤ x < maxX and minY ≤ y < maxY; null and zero-area rectangles
    // contain nothing.
    bool contains(Point p) const;
    // Standardized overlap; rectangles that only touch give a zero-width or
    // zero-height result, rectangles apart give null.
    Rect intersected(const Rect& other) const;
    // Smallest rectangle with integral origin and size that holds this one.
    Rect integral() const;
    Rect united(const Rect& other) const;

    friend bool operator==(const Rect& a, const Rect& b) {
        // Rectangle equality as rectangles: the same area, whichever corner
        // the stored origin names.
        if (a.isNull() || b.isNull()) {
            return a.isNull() && b.isNull();
        }
        const Rect sa = a.standardized();
        const Rect sb = b.standardized();
        return sa.origin == sb.origin && sa.size == sb.size;
    }
};

// Exactly the same stored numbers (rectangle equality would standardize).
inline bool identical(const Rect& a, const Rect& b) {
    return a.origin == b.origin && a.size == b.size;
}

} // namespace annotation

#include "editor/canvas/ShapeDrawing.h"

#include <cmath>
#include <numbers>

namespace editor {

using annotation::Point;
using annotation::Rect;
using annotation::Shape;
using annotation::ShapeKind;

namespace {

// Below this many image points a drag counts as a click.
constexpr double kSmallest = 3.0;

Shape areaShaped(const Shape& current, const ShapeDrawing::Drag& d) {
    const Point c = d.shift ? squareCorner(d.origin, d.point) : d.point;
    const Point o = d.origin;
    return Shape::area(current.kind(), Rect(std::fmin(c.x, o.x), std::fmin(c.y, o.y),
                                            std::fabs(o.x - c.x), std::fabs(o.y - c.y)));
}

bool areaTooSmall(const Shape& shape) {
    const Rect r = shape.area()->rect.standardized();
    return r.width() < kSmallest || r.height() < kSmallest;
}

Shape segmentShaped(const Shape& current, const ShapeDrawing::Drag& d) {
    const Point end = d.shift ? snappedEnd(d.origin, d.point) : d.point;
    return current.kind() == ShapeKind::arrow ? Shape::arrow(d.origin, end)
                                              : Shape::line(d.origin, end);
}

bool segmentTooSmall(const Shape& shape) {
    const annotation::Segment& s = *shape.segment();
    return std::hypot(s.end.x - s.start.x, s.end.y - s.start.y) < kSmallest;
}

// One more point for every view point the mouse travels: finer strokes on a
// shrunken canvas would be invisible detail.
std::vector<Point> sampled(const std::vector<Point>& points, const ShapeDrawing::Drag& d) {
    std::vector<Point> next = points;
    if (next.empty()) {
        return next;
    }
    const Point last = next.back();
    if (std::hypot(d.point.x - last.x, d.point.y - last.y) * d.viewScale >= 1.0) {
        next.push_back(d.point);
    }
    return next;
}

Shape pencilShaped(const Shape& current, const ShapeDrawing::Drag& d) {
    return Shape::pencil(sampled(current.stroke()->points, d));
}

// With Shift a highlighter is a straight stroke, snapped like a line.
Shape highlighterShaped(const Shape& current, const ShapeDrawing::Drag& d) {
    if (d.shift) {
        return Shape::highlighter({d.origin, snappedEnd(d.origin, d.point)});
    }
    return Shape::highlighter(sampled(current.stroke()->points, d));
}

bool strokeTooSmall(const Shape& shape) {
    return shape.stroke()->points.size() < 2;
}

// Texts and counters are placed, not drawn.
Shape unchanged(const Shape& current, const ShapeDrawing::Drag&) {
    return current;
}
bool neverTooSmall(const Shape&) {
    return false;
}

constexpr ShapeDrawing kArea{areaShaped, areaTooSmall};
constexpr ShapeDrawing kSegment{segmentShaped, segmentTooSmall};
constexpr ShapeDrawing kPencil{pencilShaped, strokeTooSmall};
constexpr ShapeDrawing kHighlighter{highlighterShaped, strokeTooSmall};
constexpr ShapeDrawing kPlaced{unchanged, neverTooSmall};

} // namespace

const ShapeDrawing& shapeDrawing(ShapeKind kind) {
    switch (kind) {
    case ShapeKind::arrow:
    case ShapeKind::line:
        return kSegment;
    case ShapeKind::rectangle:
    case ShapeKind::filledRectangle:
    case ShapeKind::ellipse:
    case ShapeKind::pixelate:
    case ShapeKind::blur:
    case ShapeKind::spotlight:
        return kArea;
    case ShapeKind::pencil:
        return kPencil;
    case ShapeKind::highlighter:
        return kHighlighter;
    case ShapeKind::text:
    case ShapeKind::counter:
        return kPlaced;
    }
    return kPlaced;
}

Point snappedEnd(Point o, Point p) {
    const double dx = p.x - o.x;
    const double dy = p.y - o.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) {
        return p;
    }
    constexpr double step = std::numbers::pi / 4;
    const double angle = std::round(std::atan2(dy, dx) / step) * step;
    return Point{o.x + length * std::cos(angle), o.y + length * std::sin(angle)};
}

Point squareCorner(Point o, Point p) {
    const double dx = p.x - o.x;
    const double dy = p.y - o.y;
    const double s = std::fmax(std::fabs(dx), std::fabs(dy));
    return Point{o.x + (dx < 0 ? -s : s), o.y + (dy < 0 ? -s : s)};
}

} // namespace editor

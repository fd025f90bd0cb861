#include "annotation/AnnotationGeometry.h"

#include "annotation/ShapeTraits.h"
#include "annotation/TextMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace annotation {

double labelFontSize(double size) {
    return 3 * size + 10;
}
double labelPaddingX(double fontSize) {
    return roundHalfAway(0.45 * fontSize);
}
double labelPaddingY(double fontSize) {
    return roundHalfAway(0.22 * fontSize);
}
double counterDiameter(double size) {
    return 2.6 * size + 18;
}

namespace {

Rect spanned(Point a, Point b) {
    return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y));
}

} // namespace

Rect textFrame(Point origin, const QString& text, double size) {
    QString measured = text.isEmpty() ? QStringLiteral(" ") : text;
    if (measured.endsWith(QLatin1Char('\n'))) {
        measured += QLatin1Char(' ');
    }
    const double f = labelFontSize(size);
    const QSizeF measuredSize = textMetrics::measure(measured, textMetrics::labelFont(f));
    return Rect(origin.x, origin.y, std::ceil(measuredSize.width()) + 2 * labelPaddingX(f),
                std::ceil(measuredSize.height()) + 2 * labelPaddingY(f));
}

Rect boundingRect(const std::vector<Point>& points) {
    if (points.empty()) {
        return Rect();
    }
    Rect result(points.front(), Size{});
    for (std::size_t i = 1; i < points.size(); ++i) {
        result = result.united(Rect(points[i], Size{}));
    }
    return result;
}

double distanceToSegment(Point a, Point b, Point p) {
    const Point d = b - a;
    const double dd = d.x * d.x + d.y * d.y;
    Point q = a;
    if (dd > 0) {
        const double u = std::clamp(((p.x - a.x) * d.x + (p.y - a.y) * d.y) / dd, 0.0, 1.0);
        q = a + d * u;
    }
    return std::hypot(p.x - q.x, p.y - q.y);
}

double distanceToPolyline(const std::vector<Point>& points, Point p) {
    if (points.empty()) {
        return std::numeric_limits<double>::max();
    }
    if (points.size() == 1) {
        return std::hypot(p.x - points[0].x, p.y - points[0].y);
    }
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        best = std::min(best, distanceToSegment(points[i], points[i + 1], p));
    }
    return best;
}

Rect bounds(const Annotation& a) {
    const double s = a.size;
    const Shape& shape = a.shape;
    const ShapeTraits& traits = traitsOf(a);
    switch (traits.extent) {
    case Extent::spanOfEnds:
        return spanned(shape.segment()->start, shape.segment()->end)
            .outsetBy(traits.boundsOutset(s));
    case Extent::area:
        return shape.area()->rect.standardized();
    case Extent::labelFrame:
        return textFrame(shape.textLabel()->origin, shape.textLabel()->string, s);
    case Extent::badge: {
        const double d = counterDiameter(s);
        const Point c = shape.counterBadge()->center;
        return Rect(c.x - d / 2, c.y - d / 2, d, d);
    }
    case Extent::spanOfPoints:
        return boundingRect(shape.stroke()->points).outsetBy(traits.boundsOutset(s));
    }
    return Rect();
}

bool contains(const Annotation& a, Point p, double t) {
    const Shape& shape = a.shape;
    const ShapeTraits& traits = traitsOf(a);
    switch (traits.hit) {
    case HitRule::nearSegment:
        return distanceToSegment(shape.segment()->start, shape.segment()->end, p) <=
               t + traits.hitBand(a.size);
    case HitRule::nearOutline: {
        const Rect r = shape.area()->rect.standardized();
        const double m = t + traits.hitBand(a.size);
        if (!r.outsetBy(m).contains(p)) {
            return false;
        }
        const Rect inner = r.insetBy(m);
        if (inner.isNull() || inner.width() == 0 || inner.height() == 0) {
            return true;
        }
        return !inner.contains(p);
    }
    case HitRule::nearEllipse: {
        const Rect r = shape.area()->rect.standardized();
        const double ra = std::max(r.width() / 2, 1.0);
        const double rb = std::max(r.height() / 2, 1.0);
        const double ex = (p.x - r.midX()) / ra;
        const double ey = (p.y - r.midY()) / rb;
        const double e = std::sqrt(ex * ex + ey * ey);
        return std::min(ra, rb) * std::fabs(e - 1) <= t + traits.hitBand(a.size);
    }
    case HitRule::inArea:
        return shape.area()->rect.standardized().outsetBy(t).contains(p);
    case HitRule::inBounds:
        return bounds(a).outsetBy(t).contains(p);
    case HitRule::nearStroke:
        return distanceToPolyline(shape.stroke()->points, p) <= t + traits.hitBand(a.size);
    }
    return false;
}

std::vector<std::pair<Handle, Point>> handles(const Annotation& a) {
    const Shape& shape = a.shape;
    switch (traitsOf(a).handles) {
    case HandleSet::ends:
        return {{Handle::start, shape.segment()->start}, {Handle::end, shape.segment()->end}};
    case HandleSet::edges: {
        const Rect r = shape.area()->rect.standardized();
        return {
            {Handle::topLeft, {r.minX(), r.minY()}},     {Handle::top, {r.midX(), r.minY()}},
            {Handle::topRight, {r.maxX(), r.minY()}},    {Handle::right, {r.maxX(), r.midY()}},
            {Handle::bottomRight, {r.maxX(), r.maxY()}}, {Handle::bottom, {r.midX(), r.maxY()}},
            {Handle::bottomLeft, {r.minX(), r.maxY()}},  {Handle::left, {r.minX(), r.midY()}},
        };
    }
    case HandleSet::none:
        break;
    }
    return {};
}

Annotation offset(const Annotation& a, double dx, double dy) {
    const Shape& shape = a.shape;
    const Point d{dx, dy};
    switch (traitsOf(a).form) {
    case ShapeForm::ends:
        return a.withShape(
            shape.withPayload(Segment{shape.segment()->start + d, shape.segment()->end + d}));
    case ShapeForm::area:
        return a.withShape(
            shape.withPayload(Area{shape.area()->rect.standardized().offsetBy(dx, dy)}));
    case ShapeForm::label:
        return a.withShape(
            shape.withPayload(TextLabel{shape.textLabel()->origin + d, shape.textLabel()->string}));
    case ShapeForm::badge:
        return a.withShape(shape.withPayload(
            CounterBadge{shape.counterBadge()->center + d, shape.counterBadge()->number}));
    case ShapeForm::stroke: {
        std::vector<Point> points = shape.stroke()->points;
        for (Point& point : points) {
            point = point + d;
        }
        return a.withShape(shape.withPayload(Stroke{std::move(points)}));
    }
    }
    return a;
}

Rect resizing(Handle handle, const Rect& rect, Point p) {
    double left = rect.minX();
    double right = rect.maxX();
    double top = rect.minY();
    double bottom = rect.maxY();
    switch (handle) {
    case Handle::topLeft:
        left = p.x;
        top = p.y;
        break;
    case Handle::top:
        top = p.y;
        break;
    case Handle::topRight:
        right = p.x;
        top = p.y;
        break;
    case Handle::right:
        right = p.x;
        break;
    case Handle::bottomRight:
        right = p.x;
        bottom = p.y;
        break;
    case Handle::bottom:
        bottom = p.y;
        break;
    case Handle::bottomLeft:
        left = p.x;
        bottom = p.y;
        break;
    case Handle::left:
        left = p.x;
        break;
    case Handle::start:
    case Handle::end:
        break;
    }
    return Rect(std::min(left, right), std::min(top, bottom), std::fabs(right - left),
                std::fabs(bottom - top));
}

Annotation resizing(const Annotation& a, Handle handle, Point p) {
    const Shape& shape = a.shape;
    switch (traitsOf(a).handles) {
    case HandleSet::ends: {
        const Segment& segment = *shape.segment();
        return a.withShape(shape.withPayload(handle == Handle::start ? Segment{p, segment.end}
                                                                     : Segment{segment.start, p}));
    }
    case HandleSet::edges:
        return a.withShape(
            shape.withPayload(Area{resizing(handle, shape.area()->rect.standardized(), p)}));
    case HandleSet::none:
        break;
    }
    return a;
}

} // namespace annotation

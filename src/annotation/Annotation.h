#pragma once

#include "annotation/Geometry.h"
#include "app/RGBA.h"

#include <QString>
#include <QUuid>
#include <QtGlobal>

#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace annotation {

using app::RGBA;

// The kinds of mark, in declaration order (which is also their JSON case
// order). Every tool but crop makes the kind of the same name.
enum class ShapeKind {
    arrow,
    line,
    rectangle,
    filledRectangle,
    ellipse,
    text,
    counter,
    pencil,
    highlighter,
    pixelate,
    blur,
    spotlight,
};

// Payloads. Rectangles compare as rectangles; strokes point by point in order.
struct Segment {
    Point start;
    Point end;
    friend bool operator==(const Segment&, const Segment&) = default;
};
struct Area {
    Rect rect; // as dragged: width or height may be negative
    friend bool operator==(const Area&, const Area&) = default;
};
struct TextLabel {
    Point origin; // top-left corner of the label
    QString string;
    friend bool operator==(const TextLabel&, const TextLabel&) = default;
};
struct CounterBadge {
    Point center;
    qint64 number = 1;
    friend bool operator==(const CounterBadge&, const CounterBadge&) = default;
};
struct Stroke {
    std::vector<Point> points;
    friend bool operator==(const Stroke&, const Stroke&) = default;
};

class Shape {
public:
    static Shape arrow(Point start, Point end) { return {ShapeKind::arrow, Segment{start, end}}; }
    static Shape line(Point start, Point end) { return {ShapeKind::line, Segment{start, end}}; }
    // kind must be one of the six rectangle shapes.
    static Shape area(ShapeKind kind, Rect rect);
    static Shape text(Point origin, QString string) {
        return {ShapeKind::text, TextLabel{origin, std::move(string)}};
    }
    static Shape counter(Point center, qint64 number) {
        return {ShapeKind::counter, CounterBadge{center, number}};
    }
    static Shape pencil(std::vector<Point> points) {
        return {ShapeKind::pencil, Stroke{std::move(points)}};
    }
    static Shape highlighter(std::vector<Point> points) {
        return {ShapeKind::highlighter, Stroke{std::move(points)}};
    }

    ShapeKind kind() const { return kind_; }
    // rectangle, filledRectangle, ellipse, pixelate, blur, spotlight
    bool isArea() const { return std::holds_alternative<Area>(payload_); }

    // Typed access; each is present only for the kinds that carry it.
    const Segment* segment() const { return std::get_if<Segment>(&payload_); }
    const Area* area() const { return std::get_if<Area>(&payload_); }
    const TextLabel* textLabel() const { return std::get_if<TextLabel>(&payload_); }
    const CounterBadge* counterBadge() const { return std::get_if<CounterBadge>(&payload_); }
    const Stroke* stroke() const { return std::get_if<Stroke>(&payload_); }

    // The same kind with another payload of its form: a moved or reshaped
    // mark.
    template <class P> Shape withPayload(P payload) const {
        Q_ASSERT(std::holds_alternative<P>(payload_));
        return Shape(kind_, std::move(payload));
    }

    friend bool operator==(const Shape&, const Shape&) = default;

private:
    using Payload = std::variant<Segment, Area, TextLabel, CounterBadge, Stroke>;
    Shape(ShapeKind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}
    ShapeKind kind_;
    Payload payload_;
};

QString caseName(ShapeKind kind);
std::optional<ShapeKind> shapeKindFromCaseName(const QString& name);
bool isAreaKind(ShapeKind kind);

enum class TextStyle { plain, filled };
QString rawValue(TextStyle style);
std::optional<TextStyle> textStyleFromRawValue(const QString& raw);

// Drag handles: start and end for arrows and lines, the other eight for the
// rectangle shapes (top = smaller y).
enum class Handle {
    start,
    end,
    topLeft,
    top,
    topRight,
    right,
    bottomRight,
    bottom,
    bottomLeft,
    left,
};

// One mark on the image. Edits make new values with the same id.
struct Annotation {
    QUuid id;
    Shape shape;
    RGBA color;
    double size = 5;
    bool shadow = true;
    TextStyle textStyle = TextStyle::plain;

    friend bool operator==(const Annotation&, const Annotation&) = default;

    Annotation withShape(Shape newShape) const {
        Annotation copy = *this;
        copy.shape = std::move(newShape);
        return copy;
    }
};

} // namespace annotation

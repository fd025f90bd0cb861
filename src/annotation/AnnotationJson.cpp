#include "annotation/AnnotationJson.h"

#include <algorithm>

namespace annotation {

using json::DecodeError;
using json::Decoder;
using json::PathScope;
using json::Writer;

namespace {

const QStringList& caseNames() {
    static const QStringList names = [] {
        QStringList list;
        for (int i = 0; i <= static_cast<int>(ShapeKind::spotlight); ++i) {
            list.push_back(caseName(static_cast<ShapeKind>(i)));
        }
        return list;
    }();
    return names;
}

void encodeShape(Writer& w, const Shape& shape) {
    w.beginObject();
    w.key(caseName(shape.kind()).toLatin1().constData());
    w.beginObject();
    switch (shape.kind()) {
    case ShapeKind::arrow:
    case ShapeKind::line:
        w.key("start");
        w.point(shape.segment()->start);
        w.key("end");
        w.point(shape.segment()->end);
        break;
    case ShapeKind::text:
        w.key("origin");
        w.point(shape.textLabel()->origin);
        w.key("string");
        w.string(shape.textLabel()->string);
        break;
    case ShapeKind::counter:
        w.key("center");
        w.point(shape.counterBadge()->center);
        w.key("number");
        w.integer(shape.counterBadge()->number);
        break;
    case ShapeKind::pencil:
    case ShapeKind::highlighter:
        w.key("_0");
        w.beginArray();
        for (const Point& p : shape.stroke()->points) {
            w.point(p);
        }
        w.endArray();
        break;
    default:
        w.key("_0");
        w.rect(shape.area()->rect);
        break;
    }
    w.endObject();
    w.endObject();
}

} // namespace

void encodeAnnotation(Writer& w, const Annotation& a) {
    w.beginObject();
    w.key("id");
    w.string(json::uppercaseUuid(a.id));
    w.key("shape");
    encodeShape(w, a.shape);
    w.key("color");
    w.color(a.color);
    w.key("size");
    w.number(a.size);
    w.key("shadow");
    w.boolean(a.shadow);
    w.key("textStyle");
    w.string(rawValue(a.textStyle));
    w.endObject();
}

std::optional<Shape> decodeShape(Decoder& d, const QJsonValue& value) {
    const std::optional<QJsonObject> object = d.object(value);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> caseName = d.caseName(*object, caseNames());
    if (!caseName) {
        return std::nullopt;
    }
    const QString name = *caseName;
    const ShapeKind kind = *shapeKindFromCaseName(name);
    PathScope caseScope(d, name);
    const std::optional<QJsonObject> payload = d.object(object->value(name));
    if (!payload) {
        return std::nullopt;
    }
    auto pointAt = [&](const char* key) -> std::optional<Point> {
        const QString k = QString::fromLatin1(key);
        const std::optional<QJsonValue> member = d.member(*payload, k);
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, k);
        return d.point(*member);
    };
    switch (kind) {
    case ShapeKind::arrow:
    case ShapeKind::line: {
        const std::optional<Point> start = pointAt("start");
        const std::optional<Point> end = start ? pointAt("end") : std::nullopt;
        if (!start || !end) {
            return std::nullopt;
        }
        return kind == ShapeKind::arrow ? Shape::arrow(*start, *end) : Shape::line(*start, *end);
    }
    case ShapeKind::text: {
        const std::optional<Point> origin = pointAt("origin");
        const std::optional<QJsonValue> member =
            origin ? d.member(*payload, QStringLiteral("string")) : std::nullopt;
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("string"));
        const std::optional<QString> string = d.string(*member);
        if (!string) {
            return std::nullopt;
        }
        return Shape::text(*origin, *string);
    }
    case ShapeKind::counter: {
        const std::optional<Point> center = pointAt("center");
        const std::optional<QJsonValue> member =
            center ? d.member(*payload, QStringLiteral("number")) : std::nullopt;
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("number"));
        const std::optional<qint64> number = d.integer(*member);
        if (!number) {
            return std::nullopt;
        }
        return Shape::counter(*center, *number);
    }
    case ShapeKind::pencil:
    case ShapeKind::highlighter: {
        const std::optional<QJsonValue> member = d.member(*payload, QStringLiteral("_0"));
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("_0"));
        const std::optional<QJsonArray> array = d.array(*member);
        if (!array) {
            return std::nullopt;
        }
        std::vector<Point> points;
        points.reserve(static_cast<std::size_t>(array->size()));
        for (qsizetype i = 0; i < array->size(); ++i) {
            PathScope index(d, json::indexComponent(i));
            const std::optional<Point> p = d.point(array->at(i));
            if (!p) {
                return std::nullopt;
            }
            points.push_back(*p);
        }
        return kind == ShapeKind::pencil ? Shape::pencil(std::move(points))
                                         : Shape::highlighter(std::move(points));
    }
    default: {
        const std::optional<QJsonValue> member = d.member(*payload, QStringLiteral("_0"));
        if (!member) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("_0"));
        const std::optional<Rect> rect = d.rect(*member);
        if (!rect) {
            return std::nullopt;
        }
        return Shape::area(kind, *rect);
    }
    }
}

std::optional<Annotation> decodeAnnotation(Decoder& d, const QJsonValue& value) {
    const std::optional<QJsonObject> object = d.object(value);
    if (!object) {
        return std::nullopt;
    }
    Annotation a{QUuid(), Shape::line({}, {}), RGBA{}, 5, true, TextStyle::plain};
    auto field = [&](const char* key, auto read) -> bool {
        const QString k = QString::fromLatin1(key);
        const std::optional<QJsonValue> member = d.member(*object, k);
        if (!member) {
            return false;
        }
        PathScope scope(d, k);
        return read(*member);
    };
    const bool ok =
        field("id",
              [&](const QJsonValue& v) {
                  const auto id = d.uuid(v);
                  a.id = id.value_or(QUuid());
                  return id.has_value();
              }) &&
        field("shape",
              [&](const QJsonValue& v) {
                  auto shape = decodeShape(d, v);
                  if (shape) {
                      a.shape = std::move(*shape);
                  }
                  return shape.has_value();
              }) &&
        field("color",
              [&](const QJsonValue& v) {
                  const std::optional<RGBA> colour = d.color(v);
                  a.color = colour.value_or(RGBA{});
                  return colour.has_value();
              }) &&
        field("size",
              [&](const QJsonValue& v) {
                  const auto size = d.number(v);
                  a.size = std::clamp(size.value_or(0.0), 0.0, kMaxAnnotationSize);
                  return size.has_value();
              }) &&
        field("shadow",
              [&](const QJsonValue& v) {
                  const auto shadow = d.boolean(v);
                  a.shadow = shadow.value_or(false);
                  return shadow.has_value();
              }) &&
        field("textStyle", [&](const QJsonValue& v) {
            const auto raw = d.string(v);
            if (!raw) {
                return false;
            }
            const auto style = textStyleFromRawValue(*raw);
            if (!style) {
                d.fail(DecodeError::Kind::dataCorrupted,
                       QStringLiteral("Cannot initialize TextStyle from invalid String value %1")
                           .arg(*raw));
                return false;
            }
            a.textStyle = *style;
            return true;
        });
    if (!ok || d.failed()) {
        return std::nullopt;
    }
    return a;
}

std::optional<QByteArray> annotationToJson(const Annotation& annotation) {
    Writer writer;
    encodeAnnotation(writer, annotation);
    return writer.result();
}

std::optional<Annotation> annotationFromJson(const QByteArray& bytes, DecodeError* error) {
    Decoder decoder;
    std::optional<Annotation> result;
    if (const std::optional<QJsonValue> value = json::parse(bytes, decoder)) {
        result = decodeAnnotation(decoder, *value);
    }
    if (!result && error && decoder.error()) {
        *error = *decoder.error();
    }
    return result;
}

} // namespace annotation

#include "annotation/Json.h"

#include "app/JsonNumber.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <utility>

namespace annotation::json {

// ---- Writer ---------------------------------------------------------------

void Writer::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) {
            out_ += ',';
        }
        first_.back() = false;
    }
}

void Writer::beginObject() {
    separate();
    out_ += '{';
    first_.push_back(true);
}

void Writer::endObject() {
    out_ += '}';
    first_.pop_back();
}

void Writer::beginArray() {
    separate();
    out_ += '[';
    first_.push_back(true);
}

void Writer::endArray() {
    out_ += ']';
    first_.pop_back();
}

void Writer::key(const char* name) {
    separate();
    writeString(QString::fromLatin1(name));
    out_ += ':';
    afterKey_ = true;
}

void Writer::number(double value) {
    separate();
    if (!std::isfinite(value)) {
        ok_ = false;
        out_ += '0';
        return;
    }
    out_ += app::jsonNumber(value);
}

void Writer::integer(qint64 value) {
    separate();
    out_ += QByteArray::number(value);
}

void Writer::boolean(bool value) {
    separate();
    out_ += value ? "true" : "false";
}

void Writer::string(const QString& value) {
    separate();
    writeString(value);
}

void Writer::writeString(const QString& value) {
    out_ += '"';
    const QByteArray utf8 = value.toUtf8();
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '/':
            // The platform encoder escapes slashes unless told otherwise.
            out_ += "\\/";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\t':
            out_ += "\\t";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\f':
            out_ += "\\f";
            break;
        default:
            if (u < 0x20) {
                out_ += "\\u00";
                out_ += QByteArray::number(u, 16).rightJustified(2, '0');
            } else {
                out_ += c;
            }
        }
    }
    out_ += '"';
}

void Writer::raw(const QByteArray& encoded) {
    separate();
    out_ += encoded;
}

void Writer::point(Point p) {
    beginArray();
    number(p.x);
    number(p.y);
    endArray();
}

void Writer::rect(const Rect& r) {
    beginArray();
    point(r.origin);
    point(Point{r.size.width, r.size.height});
    endArray();
}

void Writer::color(const app::RGBA& colour) {
    if (const std::optional<QByteArray> encoded = colour.toJson()) {
        raw(*encoded);
    } else {
        fail();
    }
}

std::optional<QByteArray> Writer::result() const {
    if (!ok_) {
        return std::nullopt;
    }
    return out_;
}

// ---- Decoder --------------------------------------------------------------

namespace {

QString typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("bool");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("a dictionary");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Whether `value` can be read as `type`; otherwise the decoder's error says
// what was expected (`nullName` when the value is null, `decodedName` when it
// has another type).
bool readable(Decoder& decoder, const QJsonValue& value, QJsonValue::Type type,
              const char* nullName, const char* decodedName) {
    if (decoder.failed()) {
        return false;
    }
    if (value.isNull()) {
        decoder.fail(DecodeError::Kind::valueNotFound,
                     QStringLiteral("Expected %1 but found null instead.")
                         .arg(QString::fromLatin1(nullName)));
        return false;
    }
    if (value.type() != type) {
        decoder.fail(DecodeError::Kind::typeMismatch,
                     QStringLiteral("Expected to decode %1 but found %2 instead.")
                         .arg(QString::fromLatin1(decodedName), typeName(value)));
        return false;
    }
    return true;
}

// A two-element array (further elements are ignored) whose elements are read
// by `element`.
template <typename T>
std::optional<std::pair<T, T>> pair(Decoder& decoder, const QJsonValue& value,
                                    std::optional<T> (Decoder::*element)(const QJsonValue&)) {
    const std::optional<QJsonArray> elements = decoder.array(value);
    if (!elements) {
        return std::nullopt;
    }
    if (elements->size() < 2) {
        decoder.fail(DecodeError::Kind::valueNotFound,
                     QStringLiteral("Unkeyed container is at end."),
                     indexComponent(elements->size()));
        return std::nullopt;
    }
    std::optional<T> first;
    std::optional<T> second;
    {
        PathScope scope(decoder, indexComponent(0));
        first = (decoder.*element)(elements->at(0));
    }
    {
        PathScope scope(decoder, indexComponent(1));
        second = (decoder.*element)(elements->at(1));
    }
    if (!first || !second) {
        return std::nullopt;
    }
    return std::pair<T, T>(*first, *second);
}

} // namespace

QString indexComponent(qsizetype index) {
    return QStringLiteral("Index %1").arg(index);
}

QString uppercaseUuid(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

void Decoder::fail(DecodeError::Kind kind, const QString& description,
                   const QString& extraPathComponent) {
    if (error_) {
        return;
    }
    DecodeError error;
    error.kind = kind;
    error.codingPath = path_;
    if (!extraPathComponent.isEmpty()) {
        error.codingPath.push_back(extraPathComponent);
    }
    error.description = description;
    error_ = error;
}

std::optional<QJsonObject> Decoder::object(const QJsonValue& value) {
    if (!readable(*this, value, QJsonValue::Object, "a keyed container",
                  "Dictionary<String, Any>")) {
        return std::nullopt;
    }
    return value.toObject();
}

std::optional<QJsonArray> Decoder::array(const QJsonValue& value) {
    if (!readable(*this, value, QJsonValue::Array, "an unkeyed container", "Array<Any>")) {
        return std::nullopt;
    }
    return value.toArray();
}

std::optional<QJsonValue> Decoder::member(const QJsonObject& object, const QString& key) {
    if (failed()) {
        return std::nullopt;
    }
    const auto it = object.constFind(key);
    if (it == object.constEnd()) {
        fail(DecodeError::Kind::keyNotFound,
             QStringLiteral("No value associated with key CodingKeys(stringValue: \"%1\", "
                            "intValue: nil) (\"%1\").")
                 .arg(key));
        return std::nullopt;
    }
    return *it;
}

std::optional<double> Decoder::number(const QJsonValue& value) {
    if (!readable(*this, value, QJsonValue::Double, "Double value", "Double")) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number)) {
        fail(DecodeError::Kind::dataCorrupted,
             QStringLiteral("Parsed JSON number does not fit in Double."));
        return std::nullopt;
    }
    return number;
}

std::optional<qint64> Decoder::integer(const QJsonValue& value) {
    const std::optional<double> number = this->number(value);
    if (!number) {
        return std::nullopt;
    }
    // Integers are exact in a double up to 2^53.
    constexpr double limit = 9007199254740992.0;
    if (std::trunc(*number) != *number || std::fabs(*number) > limit) {
        fail(DecodeError::Kind::dataCorrupted,
             QStringLiteral("Parsed JSON number <%1> does not fit in Int.")
                 .arg(QString::number(*number, 'g', 17)));
        return std::nullopt;
    }
    return static_cast<qint64>(*number);
}

std::optional<bool> Decoder::boolean(const QJsonValue& value) {
    if (!readable(*this, value, QJsonValue::Bool, "Bool value", "Bool")) {
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<QString> Decoder::string(const QJsonValue& value) {
    if (!readable(*this, value, QJsonValue::String, "String value", "String")) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QUuid> Decoder::uuid(const QJsonValue& value) {
    const std::optional<QString> text = string(value);
    if (!text) {
        return std::nullopt;
    }
    // Only the canonical 36-character hyphenated form, either case.
    bool wellFormed = text->size() == 36;
    for (qsizetype i = 0; wellFormed && i < text->size(); ++i) {
        const QChar c = text->at(i);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            wellFormed = c == QLatin1Char('-');
        } else {
            wellFormed = c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                         (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        }
    }
    const QUuid id = wellFormed ? QUuid::fromString(*text) : QUuid();
    if (!wellFormed) {
        fail(DecodeError::Kind::dataCorrupted,
             QStringLiteral("Attempted to decode UUID from invalid UUID string."));
        return std::nullopt;
    }
    return id;
}

std::optional<Point> Decoder::point(const QJsonValue& value) {
    const auto xy = pair(*this, value, &Decoder::number);
    if (!xy) {
        return std::nullopt;
    }
    // Nothing the editor makes lies a million points away; bounding such
    // numbers keeps every later sum and product finite.
    return Point{std::clamp(xy->first, -coordinateLimit, coordinateLimit),
                 std::clamp(xy->second, -coordinateLimit, coordinateLimit)};
}

std::optional<Rect> Decoder::rect(const QJsonValue& value) {
    const auto originAndSize = pair(*this, value, &Decoder::point);
    if (!originAndSize) {
        return std::nullopt;
    }
    const auto& [origin, size] = *originAndSize;
    return Rect(origin, Size{size.x, size.y});
}

std::optional<app::RGBA> Decoder::color(const QJsonValue& value) {
    if (failed()) {
        return std::nullopt;
    }
    QString key;
    QString problem;
    const std::optional<app::RGBA> colour = app::RGBA::fromJson(value, &key, &problem);
    if (!colour) {
        fail(problem.startsWith(QLatin1String("No value")) ? DecodeError::Kind::keyNotFound
                                                           : DecodeError::Kind::typeMismatch,
             problem, key);
    }
    return colour;
}

std::optional<QString> Decoder::caseName(const QJsonObject& object, const QStringList& names) {
    if (failed()) {
        return std::nullopt;
    }
    const QStringList present = presentKeys(object, names);
    if (present.size() != 1) {
        fail(DecodeError::Kind::typeMismatch,
             QStringLiteral("Invalid number of keys found, expected one."));
        return std::nullopt;
    }
    return present.first();
}

QStringList Decoder::presentKeys(const QJsonObject& object, const QStringList& names) const {
    QStringList present;
    for (const QString& name : names) {
        if (object.contains(name)) {
            present.push_back(name);
        }
    }
    return present;
}

std::optional<QJsonValue> parse(const QByteArray& bytes, Decoder& decoder) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        decoder.fail(DecodeError::Kind::dataCorrupted,
                     QStringLiteral("The given data was not valid JSON."));
        return std::nullopt;
    }
    if (document.isArray()) {
        return QJsonValue(document.array());
    }
    return QJsonValue(document.object());
}

} // namespace annotation::json

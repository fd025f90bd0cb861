#include "annotation/Json.h"

#include "app/JsonNumber.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

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
    if (failed()) {
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(DecodeError::Kind::valueNotFound,
             QStringLiteral("Expected a keyed container but found null instead."));
        return std::nullopt;
    }
    if (!value.isObject()) {
        fail(DecodeError::Kind::typeMismatch,
             QStringLiteral("Expected to decode Dictionary<String, Any> but found %1 instead.")
                 .arg(typeName(value)));
        return std::nullopt;
    }
    return value.toObject();
}

std::optional<QJsonArray> Decoder::array(const QJsonValue& value) {
    if (failed()) {
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(DecodeError::Kind::valueNotFound,
             QStringLiteral("Expected an unkeyed container but found null instead."));
        return std::nullopt;
    }
    if (!value.isArray()) {
        fail(DecodeError::Kind::typeMismatch,
             QStringLiteral("Expected to decode Array<Any> but found %1 instead.")
                 .arg(typeName(value)));
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
    if (failed()) {
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(DecodeError::Kind::valueNotFound,
             QStringLiteral("Expected Double value but found null instead."));
        return std::nullopt;
    }
    if (!value.isDouble()) {
        fail(
            DecodeError::Kind::typeMismatch,
            QStringLiteral("Expected to decode Double but found %1 instead.").arg(typeName(value)));
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
    if (failed()) {
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(DecodeError::Kind::valueNotFound,
             QStringLiteral("Expected Bool value but found null instead."));
        return std::nullopt;
    }
    if (!value.isBool()) {
        fail(DecodeError::Kind::typeMismatch,
             QStringLiteral("Expected to decode Bool but found %1 instead.").arg(typeName(value)));
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<QString> Decoder::string(const QJsonValue& value) {
    if (failed()) {
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(DecodeError::Kind::valueNotFound,
             QStringLiteral("Expected String value but found null instead."));
        return std::nullopt;
    }
    if (!value.isString()) {
        fail(
            DecodeError::Kind::typeMismatch,
            QStringLiteral("Expected to decode String but found %1 instead.").arg(typeName(value)));
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
    const std::optional<QJsonArray> pair = array(value);
    if (!pair) {
        return std::nullopt;
    }
    if (pair->size() < 2) {
        fail(DecodeError::Kind::valueNotFound, QStringLiteral("Unkeyed container is at end."),
             indexComponent(pair->size()));
        return std::nullopt;
    }
    std::optional<double> x;
    std::optional<double> y;
    {
        PathScope scope(*this, indexComponent(0));
        x = number(pair->at(0));
    }
    {
        PathScope scope(*this, indexComponent(1));
        y = number(pair->at(1));
    }
    if (!x || !y) {
        return std::nullopt;
    }
    // Nothing the editor makes lies a million points away; bounding such
    // numbers keeps every later sum and product finite.
    return Point{std::clamp(*x, -coordinateLimit, coordinateLimit),
                 std::clamp(*y, -coordinateLimit, coordinateLimit)};
}

std::optional<Rect> Decoder::rect(const QJsonValue& value) {
    const std::optional<QJsonArray> pair = array(value);
    if (!pair) {
        return std::nullopt;
    }
    if (pair->size() < 2) {
        fail(DecodeError::Kind::valueNotFound, QStringLiteral("Unkeyed container is at end."),
             indexComponent(pair->size()));
        return std::nullopt;
    }
    std::optional<Point> origin;
    std::optional<Point> size;
    {
        PathScope scope(*this, indexComponent(0));
        origin = point(pair->at(0));
    }
    {
        PathScope scope(*this, indexComponent(1));
        size = point(pair->at(1));
    }
    if (!origin || !size) {
        return std::nullopt;
    }
    return Rect(*origin, Size{size->x, size->y});
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

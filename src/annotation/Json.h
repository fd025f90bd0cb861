#pragma once

#include "annotation/Geometry.h"
#include "app/RGBA.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace annotation::json {

// Writes compact JSON with members in the order they are written (the stored
// formats fix an order and a number form that QJsonDocument would change).
class Writer {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(const char* name);
    // A not-finite number has no JSON form: the writer fails.
    void number(double value);
    void integer(qint64 value);
    void boolean(bool value);
    void string(const QString& value);
    // An already encoded value (a colour record).
    void raw(const QByteArray& encoded);
    // A colour record; a colour with no JSON form makes the writer fail.
    void color(const app::RGBA& colour);
    void fail() { ok_ = false; }

    void point(Point p);
    void rect(const Rect& r);

    bool ok() const { return ok_; }
    // The text, or none when a value could not be encoded.
    std::optional<QByteArray> result() const;

private:
    void separate();
    void writeString(const QString& value);
    QByteArray out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
    bool ok_ = true;
};

// What made decoding fail: the kind of failure, the path of keys and indexes
// to the offending value, and a description.
struct DecodeError {
    enum class Kind { typeMismatch, keyNotFound, valueNotFound, dataCorrupted };
    Kind kind = Kind::dataCorrupted;
    QStringList codingPath;
    QString description;
};

// Decoding state: the current coding path and the first error. Every reading
// helper gives none once an error is set.
class Decoder {
public:
    bool failed() const { return error_.has_value(); }
    const std::optional<DecodeError>& error() const { return error_; }
    void fail(DecodeError::Kind kind, const QString& description,
              const QString& extraPathComponent = QString());

    // Path bookkeeping for nested values.
    void push(const QString& component) { path_.push_back(component); }
    void pop() { path_.pop_back(); }

    std::optional<QJsonObject> object(const QJsonValue& value);
    std::optional<QJsonArray> array(const QJsonValue& value);
    // The member, or a key-not-found error.
    std::optional<QJsonValue> member(const QJsonObject& object, const QString& key);

    std::optional<double> number(const QJsonValue& value);
    std::optional<qint64> integer(const QJsonValue& value);
    std::optional<bool> boolean(const QJsonValue& value);
    std::optional<QString> string(const QJsonValue& value);
    std::optional<QUuid> uuid(const QJsonValue& value);
    // [x, y]; coordinates beyond any image are bounded to ±coordinateLimit.
    std::optional<Point> point(const QJsonValue& value);
    // [[x, y], [width, height]]
    std::optional<Rect> rect(const QJsonValue& value);
    std::optional<app::RGBA> color(const QJsonValue& value);

    // The one member of `object` that is a key of `names` (an enum case and
    // its payload); a type mismatch when there is none or more than one.
    std::optional<QString> caseName(const QJsonObject& object, const QStringList& names);

    // Members of `object` that are keys of the given list, in list order.
    QStringList presentKeys(const QJsonObject& object, const QStringList& names) const;

    static constexpr double coordinateLimit = 1.0e6;

private:
    QStringList path_;
    std::optional<DecodeError> error_;
};

// Scoped path component.
class PathScope {
public:
    PathScope(Decoder& decoder, const QString& component) : decoder_(decoder) {
        decoder_.push(component);
    }
    ~PathScope() { decoder_.pop(); }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

private:
    Decoder& decoder_;
};

// The bytes parsed as JSON: none (with a data-corrupted error) when they are
// not valid JSON.
std::optional<QJsonValue> parse(const QByteArray& bytes, Decoder& decoder);

QString indexComponent(qsizetype index);
QString uppercaseUuid(const QUuid& id);

} // namespace annotation::json

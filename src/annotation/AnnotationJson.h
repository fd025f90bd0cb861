#pragma once

#include "annotation/Annotation.h"
#include "annotation/Json.h"

#include <QByteArray>
#include <QJsonValue>

#include <optional>

namespace annotation {

// The stored form of an annotation: {"id", "shape", "color", "size",
// "shadow", "textStyle"}, the shape as one key naming its case.

// Bound of a stored annotation size. The style controls offer sizes up to 9,
// but a record may carry larger ones (20 is drawn as 20); only a runaway value
// is read as this bound, so that a damaged record cannot ask for giant fonts
// or strokes. Negative sizes are read as 0.
inline constexpr double kMaxAnnotationSize = 100;

void encodeAnnotation(json::Writer& writer, const Annotation& annotation);
std::optional<Annotation> decodeAnnotation(json::Decoder& decoder, const QJsonValue& value);
std::optional<Shape> decodeShape(json::Decoder& decoder, const QJsonValue& value);

// Whole-document forms; encoding fails only on a not-finite number.
std::optional<QByteArray> annotationToJson(const Annotation& annotation);
std::optional<Annotation> annotationFromJson(const QByteArray& bytes,
                                             json::DecodeError* error = nullptr);

} // namespace annotation

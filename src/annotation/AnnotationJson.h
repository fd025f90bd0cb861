#pragma once

#include "annotation/Annotation.h"
#include "annotation/Json.h"

#include <QByteArray>
#include <QJsonValue>

#include <optional>

namespace annotation {

// The stored form of an annotation: {"id", "shape", "color", "size",
// "shadow", "textStyle"}, the shape as one key naming its case.

// Largest annotation size the style controls offer; larger stored sizes are
// read as this so that a damaged record cannot ask for giant fonts or strokes.
inline constexpr double kMaxAnnotationSize = 9;

void encodeAnnotation(json::Writer& writer, const Annotation& annotation);
std::optional<Annotation> decodeAnnotation(json::Decoder& decoder, const QJsonValue& value);
std::optional<Shape> decodeShape(json::Decoder& decoder, const QJsonValue& value);

// Whole-document forms; encoding fails only on a not-finite number.
std::optional<QByteArray> annotationToJson(const Annotation& annotation);
std::optional<Annotation> annotationFromJson(const QByteArray& bytes,
                                             json::DecodeError* error = nullptr);

} // namespace annotation

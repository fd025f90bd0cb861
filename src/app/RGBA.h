#pragma once

#include <QByteArray>
#include <QColor>
#include <QJsonValue>
#include <QString>

#include <cstddef>
#include <optional>
#include <span>

namespace app {

// A colour as four sRGB components, nominally 0 to 1. The record never clamps:
// it holds whatever it was given, and its JSON form reads numbers as they are.
struct RGBA {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // Component-wise exact equality: 0 equals -0, NaN equals nothing.
    friend bool operator==(const RGBA&, const RGBA&) = default;

    // From any QColor: converted to sRGB; an invalid colour is opaque black.
    static RGBA fromColor(const QColor& color);
    QColor toColor() const;

    // Compact JSON object with the members "red", "green", "blue", "alpha" in
    // that order. Not-finite components have no JSON form: gives none.
    std::optional<QByteArray> toJson() const;
    // All four members required and numbers; other members are ignored. On
    // failure gives none and, when asked, the name of the offending member
    // (empty when the value is not an object).
    static std::optional<RGBA> fromJson(const QJsonValue& value, QString* failingKey = nullptr,
                                        QString* problem = nullptr);

    // The nine built-in annotation colours, entry 0 first (a new document's).
    static std::span<const RGBA> palette();
    // n/255 per channel, opaque.
    static RGBA fromBytes(int red, int green, int blue);
};

std::size_t qHash(const RGBA& colour, std::size_t seed = 0) noexcept;

} // namespace app

#pragma once

#include "annotation/Json.h"
#include "app/RGBA.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>
#include <variant>
#include <vector>

class QLinearGradient;
class QRectF;

namespace annotation {

using app::RGBA;

// What fills the background: a gradient preset by index, or a solid colour.
struct BackgroundFill {
    struct Gradient {
        qint64 index = 0;
        friend bool operator==(const Gradient&, const Gradient&) = default;
    };
    std::variant<Gradient, RGBA> value = Gradient{};

    static BackgroundFill gradient(qint64 index) { return {Gradient{index}}; }
    static BackgroundFill solid(RGBA colour) { return {colour}; }
    const Gradient* asGradient() const { return std::get_if<Gradient>(&value); }
    const RGBA* asSolid() const { return std::get_if<RGBA>(&value); }
    friend bool operator==(const BackgroundFill&, const BackgroundFill&) = default;
};

// Aspect ratio of the whole picture.
enum class BackgroundAspect { automatic, square, fourThree, sixteenNine };
namespace backgroundAspects {
std::span<const BackgroundAspect> allCases();
}
QString rawValue(BackgroundAspect aspect);
std::optional<BackgroundAspect> backgroundAspectFromRawValue(const QString& raw);
// Width over height; none for the automatic aspect.
std::optional<double> ratio(BackgroundAspect aspect);

// The ranges the background panel offers; stored values beyond them are read
// as the nearest end.
inline constexpr double kMaxPadding = 240;
inline constexpr double kMaxCornerRadius = 40;

struct BackgroundSettings {
    bool isEnabled = false;
    BackgroundFill fill = BackgroundFill::gradient(0);
    double padding = 48;
    double cornerRadius = 10;
    bool shadow = true;
    BackgroundAspect aspect = BackgroundAspect::automatic;

    friend bool operator==(const BackgroundSettings&, const BackgroundSettings&) = default;

    // The four built-in solid colours of the background panel.
    static std::span<const RGBA> solidColors();
};

struct GradientPreset {
    std::vector<RGBA> colors;
    double angle = 0; // degrees
    static std::span<const GradientPreset> all();
    // The preset of an index clamped into the table.
    static const GradientPreset& clamped(qint64 index);
    // Colour stops at i/(max(n, 2) − 1).
    std::vector<std::pair<double, RGBA>> stops() const;
    // The gradient laid over a rectangle: along the angle through its centre,
    // long enough to cover it, padded beyond both ends with the end colours.
    QLinearGradient gradientOver(const QRectF& rect) const;
};

void encodeBackground(json::Writer& writer, const BackgroundSettings& settings);
std::optional<BackgroundSettings> decodeBackground(json::Decoder& decoder, const QJsonValue& value);
std::optional<BackgroundFill> decodeBackgroundFill(json::Decoder& decoder, const QJsonValue& value);

} // namespace annotation

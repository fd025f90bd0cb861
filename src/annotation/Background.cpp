#include "annotation/Background.h"

#include <QLinearGradient>
#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace annotation {

using json::DecodeError;
using json::Decoder;
using json::PathScope;
using json::Writer;

namespace {

constexpr std::array<BackgroundAspect, 4> kAspects{
    BackgroundAspect::automatic, BackgroundAspect::square, BackgroundAspect::fourThree,
    BackgroundAspect::sixteenNine};

GradientPreset preset(std::initializer_list<std::array<int, 3>> colours, double angle) {
    GradientPreset p;
    for (const auto& c : colours) {
        p.colors.push_back(RGBA::fromBytes(c[0], c[1], c[2]));
    }
    p.angle = angle;
    return p;
}

} // namespace

std::span<const BackgroundAspect> backgroundAspects::allCases() {
    return kAspects;
}

QString rawValue(BackgroundAspect aspect) {
    switch (aspect) {
    case BackgroundAspect::automatic:
        return QStringLiteral("auto");
    case BackgroundAspect::square:
        return QStringLiteral("square");
    case BackgroundAspect::fourThree:
        return QStringLiteral("fourThree");
    case BackgroundAspect::sixteenNine:
        return QStringLiteral("sixteenNine");
    }
    return QString();
}

std::optional<BackgroundAspect> backgroundAspectFromRawValue(const QString& raw) {
    for (BackgroundAspect aspect : kAspects) {
        if (raw == rawValue(aspect)) {
            return aspect;
        }
    }
    return std::nullopt;
}

std::optional<double> ratio(BackgroundAspect aspect) {
    switch (aspect) {
    case BackgroundAspect::automatic:
        return std::nullopt;
    case BackgroundAspect::square:
        return 1.0;
    case BackgroundAspect::fourThree:
        return 4.0 / 3.0;
    case BackgroundAspect::sixteenNine:
        return 16.0 / 9.0;
    }
    return std::nullopt;
}

std::span<const RGBA> BackgroundSettings::solidColors() {
    static const std::array<RGBA, 4> colours{
        RGBA::fromBytes(255, 255, 255), RGBA::fromBytes(236, 236, 240),
        RGBA::fromBytes(142, 142, 147), RGBA::fromBytes(28, 28, 30)};
    return colours;
}

std::span<const GradientPreset> GradientPreset::all() {
    static const std::vector<GradientPreset> presets{
        preset({{127, 127, 213}, {134, 168, 231}, {145, 234, 228}}, 35),
        preset({{255, 154, 139}, {255, 106, 136}, {255, 153, 172}}, 45),
        preset({{161, 140, 209}, {251, 194, 235}}, 60),
        preset({{132, 250, 176}, {143, 211, 244}}, 30),
        preset({{246, 211, 101}, {253, 160, 133}}, 45),
        preset({{79, 172, 254}, {0, 242, 254}}, 90),
        preset({{67, 233, 123}, {56, 249, 215}}, 45),
        preset({{48, 207, 208}, {51, 8, 103}}, 70),
        preset({{250, 112, 154}, {254, 225, 64}}, 30),
        preset({{102, 126, 234}, {118, 75, 162}}, 45),
        preset({{35, 37, 38}, {65, 67, 69}}, 60),
        preset({{15, 32, 39}, {32, 58, 67}, {44, 83, 100}}, 45),
    };
    return presets;
}

const GradientPreset& GradientPreset::clamped(qint64 index) {
    const std::span<const GradientPreset> presets = all();
    const qint64 last = static_cast<qint64>(presets.size()) - 1;
    return presets[static_cast<std::size_t>(std::clamp<qint64>(index, 0, last))];
}

std::vector<std::pair<double, RGBA>> GradientPreset::stops() const {
    std::vector<std::pair<double, RGBA>> result;
    const double denominator = static_cast<double>(std::max<std::size_t>(colors.size(), 2) - 1);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        result.emplace_back(static_cast<double>(i) / denominator, colors[i]);
    }
    return result;
}

QLinearGradient GradientPreset::gradientOver(const QRectF& rect) const {
    const double theta = angle * std::numbers::pi / 180;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double half = (rect.width() * std::fabs(c) + rect.height() * std::fabs(s)) / 2;
    const QPointF centre = rect.center();
    QLinearGradient gradient(centre - QPointF(c * half, s * half),
                             centre + QPointF(c * half, s * half));
    gradient.setSpread(QGradient::PadSpread);
    for (const auto& [position, colour] : stops()) {
        gradient.setColorAt(position, colour.toColor());
    }
    return gradient;
}

// ---- JSON -----------------------------------------------------------------

void encodeBackground(Writer& w, const BackgroundSettings& b) {
    w.beginObject();
    w.key("isEnabled");
    w.boolean(b.isEnabled);
    w.key("fill");
    w.beginObject();
    if (const BackgroundFill::Gradient* gradient = b.fill.asGradient()) {
        w.key("gradient");
        w.beginObject();
        w.key("_0");
        w.integer(gradient->index);
        w.endObject();
    } else {
        w.key("solid");
        w.beginObject();
        w.key("_0");
        w.color(*b.fill.asSolid());
        w.endObject();
    }
    w.endObject();
    w.key("padding");
    w.number(b.padding);
    w.key("cornerRadius");
    w.number(b.cornerRadius);
    w.key("shadow");
    w.boolean(b.shadow);
    w.key("aspect");
    w.string(rawValue(b.aspect));
    w.endObject();
}

std::optional<BackgroundFill> decodeBackgroundFill(Decoder& d, const QJsonValue& value) {
    const std::optional<QJsonObject> object = d.object(value);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> caseName =
        d.caseName(*object, {QStringLiteral("gradient"), QStringLiteral("solid")});
    if (!caseName) {
        return std::nullopt;
    }
    const QString name = *caseName;
    PathScope caseScope(d, name);
    const std::optional<QJsonObject> payload = d.object(object->value(name));
    const std::optional<QJsonValue> member =
        payload ? d.member(*payload, QStringLiteral("_0")) : std::nullopt;
    if (!member) {
        return std::nullopt;
    }
    PathScope scope(d, QStringLiteral("_0"));
    if (name == QLatin1String("gradient")) {
        const std::optional<qint64> index = d.integer(*member);
        if (!index) {
            return std::nullopt;
        }
        return BackgroundFill::gradient(*index);
    }
    const std::optional<RGBA> colour = d.color(*member);
    if (!colour) {
        return std::nullopt;
    }
    return BackgroundFill::solid(*colour);
}

std::optional<BackgroundSettings> decodeBackground(Decoder& d, const QJsonValue& value) {
    const std::optional<QJsonObject> object = d.object(value);
    if (!object) {
        return std::nullopt;
    }
    BackgroundSettings b;
    auto member = [&](const char* key) { return d.member(*object, QString::fromLatin1(key)); };
    auto number = [&](const char* key, double limit, double& out) {
        const std::optional<QJsonValue> v = member(key);
        if (!v) {
            return false;
        }
        PathScope scope(d, QString::fromLatin1(key));
        const std::optional<double> n = d.number(*v);
        out = std::clamp(n.value_or(0.0), 0.0, limit);
        return n.has_value();
    };
    auto flag = [&](const char* key, bool& out) {
        const std::optional<QJsonValue> v = member(key);
        if (!v) {
            return false;
        }
        PathScope scope(d, QString::fromLatin1(key));
        const std::optional<bool> f = d.boolean(*v);
        out = f.value_or(false);
        return f.has_value();
    };
    if (!flag("isEnabled", b.isEnabled)) {
        return std::nullopt;
    }
    {
        const std::optional<QJsonValue> v = member("fill");
        if (!v) {
            return std::nullopt;
        }
        PathScope scope(d, QStringLiteral("fill"));
        const std::optional<BackgroundFill> fill = decodeBackgroundFill(d, *v);
        if (!fill) {
            return std::nullopt;
        }
        b.fill = *fill;
    }
    if (!number("padding", kMaxPadding, b.padding) ||
        !number("cornerRadius", kMaxCornerRadius, b.cornerRadius) || !flag("shadow", b.shadow)) {
        return std::nullopt;
    }
    const std::optional<QJsonValue> v = member("aspect");
    if (!v) {
        return std::nullopt;
    }
    PathScope scope(d, QStringLiteral("aspect"));
    const std::optional<QString> raw = d.string(*v);
    if (!raw) {
        return std::nullopt;
    }
    const std::optional<BackgroundAspect> aspect = backgroundAspectFromRawValue(*raw);
    if (!aspect) {
        d.fail(DecodeError::Kind::dataCorrupted,
               QStringLiteral("Cannot initialize BackgroundAspect from invalid String value %1")
                   .arg(*raw));
        return std::nullopt;
    }
    b.aspect = *aspect;
    return b;
}

} // namespace annotation

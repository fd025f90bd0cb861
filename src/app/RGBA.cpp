#include "app/RGBA.h"

#include "app/JsonNumber.h"

#include <QColorSpace>
#include <QHashFunctions>
#include <QJsonObject>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace app {

RGBA RGBA::fromColor(const QColor& color) {
    if (!color.isValid()) {
        return RGBA{0, 0, 0, 1};
    }
    // QColor carries no colour space of its own: its RGB is sRGB already,
    // and the other models convert to it.
    const QColor rgb = color.toRgb();
    float r = 0, g = 0, b = 0, a = 1;
    rgb.getRgbF(&r, &g, &b, &a);
    return RGBA{r, g, b, a};
}

QColor RGBA::toColor() const {
    return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green),
                            static_cast<float>(blue), static_cast<float>(alpha));
}

std::optional<QByteArray> RGBA::toJson() const {
    for (double component : {red, green, blue, alpha}) {
        if (!std::isfinite(component)) {
            return std::nullopt;
        }
    }
    QByteArray out = QByteArrayLiteral("{\"red\":") + jsonNumber(red);
    out += QByteArrayLiteral(",\"green\":") + jsonNumber(green);
    out += QByteArrayLiteral(",\"blue\":") + jsonNumber(blue);
    out += QByteArrayLiteral(",\"alpha\":") + jsonNumber(alpha) + '}';
    return out;
}

std::optional<RGBA> RGBA::fromJson(const QJsonValue& value, QString* failingKey, QString* problem) {
    auto fail = [&](const QString& key, const QString& what) -> std::optional<RGBA> {
        if (failingKey) {
            *failingKey = key;
        }
        if (problem) {
            *problem = what;
        }
        return std::nullopt;
    };
    if (!value.isObject()) {
        return fail(QString(), QStringLiteral("Expected to decode Dictionary<String, Any> but "
                                              "found %1 instead.")
                                   .arg(value.isArray() ? QStringLiteral("an array")
                                                        : QStringLiteral("a scalar")));
    }
    const QJsonObject object = value.toObject();
    std::array<double, 4> components{};
    const std::array<const char*, 4> keys{"red", "green", "blue", "alpha"};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const QString key = QString::fromLatin1(keys[i]);
        const auto it = object.constFind(key);
        if (it == object.constEnd()) {
            return fail(key, QStringLiteral("No value associated with key \"%1\".").arg(key));
        }
        if (it->isNull()) {
            return fail(key, QStringLiteral("Expected Double value but found null instead."));
        }
        if (!it->isDouble()) {
            return fail(key, QStringLiteral("Expected to decode Double but found another type "
                                            "instead."));
        }
        components[i] = it->toDouble();
    }
    return RGBA{components[0], components[1], components[2], components[3]};
}

RGBA RGBA::fromBytes(int r, int g, int b) {
    return RGBA{r / 255.0, g / 255.0, b / 255.0, 1.0};
}

std::span<const RGBA> RGBA::palette() {
    static const std::array<RGBA, 9> colours{
        fromBytes(255, 59, 71),  fromBytes(255, 149, 0),  fromBytes(255, 204, 0),
        fromBytes(52, 199, 89),  fromBytes(10, 132, 255), fromBytes(175, 82, 222),
        fromBytes(255, 45, 146), fromBytes(28, 28, 30),   fromBytes(255, 255, 255),
    };
    return colours;
}

std::size_t qHash(const RGBA& colour, std::size_t seed) noexcept {
    // -0 hashes as 0 so that equal colours hash equally.
    auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v == 0 ? 0.0 : v); };
    return qHashMulti(seed, bits(colour.red), bits(colour.green), bits(colour.blue),
                      bits(colour.alpha));
}

} // namespace app

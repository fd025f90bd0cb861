#include "annotation/CustomColors.h"

#include "annotation/Json.h"
#include "app/SettingsFile.h"
#include "platform/MainThread.h"

#include <QJsonArray>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <memory>

namespace annotation {

CustomColorList CustomColorList::normalized(const std::vector<RGBA>& colours) {
    CustomColorList result;
    for (const RGBA& colour : colours) {
        const RGBA n = CustomColors::normalize(colour.red, colour.green, colour.blue);
        if (std::find(result.colors.begin(), result.colors.end(), n) == result.colors.end()) {
            result.colors.push_back(n);
        }
        if (result.colors.size() == limit) {
            break;
        }
    }
    return result;
}

CustomColorList CustomColorList::removing(const RGBA& colour) const {
    const RGBA gone = CustomColors::normalize(colour.red, colour.green, colour.blue);
    std::vector<RGBA> kept;
    for (const RGBA& c : colors) {
        if (CustomColors::normalize(c.red, c.green, c.blue) != gone) {
            kept.push_back(c);
        }
    }
    return normalized(kept);
}

CustomColors::CustomColors(QSettings* settings, QObject* parent)
    : QObject(parent), settings_(settings) {
    pending_.setSingleShot(true);
    pending_.setInterval(settleMilliseconds);
    connect(&pending_, &QTimer::timeout, this, &CustomColors::commitPendingColor);
    if (settings_) {
        const QVariant stored = settings_->value(QLatin1String(settingsKey));
        if (stored.isValid()) {
            list_ = decode(stored.toByteArray()).value_or(CustomColorList{});
        }
    }
}

CustomColors::~CustomColors() = default;

CustomColors& CustomColors::shared() {
    platform::assertMainThread();
    static std::unique_ptr<QSettings> settings = app::openSettingsFile();
    static CustomColors* instance = new CustomColors(settings.get());
    return *instance;
}

void CustomColors::setList(const CustomColorList& list) {
    platform::assertMainThread();
    if (list == list_) {
        return;
    }
    list_ = list;
    if (settings_) {
        // One entry changed in place: QSettings would rewrite the whole shared
        // file in its own form and lose a save folder's bytes that are not
        // UTF-8. Then the store reads the file again.
        app::settingsFile::writeValue(settings_->fileName(), QLatin1String(settingsKey),
                                      encode(list_));
        settings_->sync();
    }
    Q_EMIT listChanged();
}

void CustomColors::colorDidChange(const RGBA& colour) {
    platform::assertMainThread();
    settling_ = colour;
    pending_.start();
}

void CustomColors::commitPendingColor() {
    platform::assertMainThread();
    pending_.stop();
    if (!settling_) {
        return;
    }
    const RGBA colour = *settling_;
    settling_.reset();
    setList(add(list_, colour.red, colour.green, colour.blue));
}

CustomColorList CustomColors::add(const CustomColorList& list, double red, double green,
                                  double blue) {
    if (isPaletteColor(red, green, blue)) {
        return list;
    }
    const RGBA colour = normalize(red, green, blue);
    std::vector<RGBA> colours{colour};
    for (const RGBA& c : list.colors) {
        if (c != colour) {
            colours.push_back(c);
        }
    }
    return CustomColorList::normalized(colours);
}

bool CustomColors::isPaletteColor(double red, double green, double blue) {
    const RGBA colour = normalize(red, green, blue);
    return std::any_of(app::RGBA::palette().begin(), app::RGBA::palette().end(),
                       [&](const RGBA& p) { return normalize(p.red, p.green, p.blue) == colour; });
}

RGBA CustomColors::normalize(double red, double green, double blue) {
    auto channel = [](double v) {
        // NaN is not above 0 and so becomes 0 with the negatives.
        if (!(v > 0)) {
            return 0.0;
        }
        return std::round(std::min(v, 1.0) * 255) / 255;
    };
    return RGBA{channel(red), channel(green), channel(blue), 1.0};
}

QByteArray CustomColors::encode(const CustomColorList& list) {
    QByteArray out = "[";
    bool first = true;
    for (const RGBA& colour : list.colors) {
        if (!first) {
            out += ',';
        }
        first = false;
        // Normalised colours are always finite.
        out += colour.toJson().value_or(QByteArrayLiteral("null"));
    }
    out += ']';
    return out;
}

std::optional<CustomColorList> CustomColors::decode(const QByteArray& bytes) {
    json::Decoder decoder;
    const std::optional<QJsonValue> value = json::parse(bytes, decoder);
    if (!value || !value->isArray()) {
        return std::nullopt;
    }
    std::vector<RGBA> colours;
    for (const QJsonValue& entry : value->toArray()) {
        const std::optional<RGBA> colour = RGBA::fromJson(entry);
        if (!colour) {
            return std::nullopt;
        }
        colours.push_back(*colour);
    }
    return CustomColorList::normalized(colours);
}

} // namespace annotation

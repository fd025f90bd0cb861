#include "app/KeyShortcut.h"

#include "platform/KeyCodeMap.h"

#include <QJsonValue>

#include <limits>

namespace app {

namespace {

const QLatin1StringView kKeyCode("keyCode");
const QLatin1StringView kModifiers("modifiers");

// A JSON number that is a whole number from 0 to max. JSON numbers above the
// signed 64-bit range cannot be told apart from their neighbours, so they are
// refused rather than read as some other value.
std::optional<std::uint64_t> unsignedValue(const QJsonValue& value, std::uint64_t max) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    constexpr qint64 notWhole = -1;
    const qint64 number = value.toInteger(notWhole);
    if (number < 0 || static_cast<std::uint64_t>(number) > max) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(number);
}

} // namespace

QJsonObject KeyShortcut::toJson() const {
    // No modifier flag lives in bit 63; dropping it keeps the number
    // non-negative so the shortcut always reads back.
    constexpr auto kStorable = static_cast<std::uint64_t>(std::numeric_limits<qint64>::max());
    return QJsonObject{
        {kKeyCode, static_cast<qint64>(keyCode)},
        {kModifiers, static_cast<qint64>(modifiers & kStorable)},
    };
}

std::optional<KeyShortcut> KeyShortcut::fromJson(const QJsonObject& object) {
    const auto keyCode =
        unsignedValue(object.value(kKeyCode), std::numeric_limits<std::uint32_t>::max());
    const auto modifiers =
        unsignedValue(object.value(kModifiers), std::numeric_limits<qint64>::max());
    if (!keyCode || !modifiers) {
        return std::nullopt;
    }
    return KeyShortcut{static_cast<std::uint32_t>(*keyCode), *modifiers};
}

bool KeyShortcut::isSafeAsHotKey() const {
    using namespace platform::modifierBits;
    return (modifiers & (control | option | command)) != 0 || functionKeyCodes().contains(keyCode);
}

} // namespace app

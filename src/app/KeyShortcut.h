#pragma once

#include <QHashFunctions>
#include <QJsonObject>

#include <cstdint>
#include <functional>
#include <optional>

namespace app {

// One keyboard shortcut: a virtual key code and the modifier-flag bits it was
// recorded with (platform::modifierBits). Bits other than shift, control,
// option and command may be present; every use ignores them.
struct KeyShortcut {
    std::uint32_t keyCode = 0;
    std::uint64_t modifiers = 0;

    friend bool operator==(const KeyShortcut&, const KeyShortcut&) = default;

    // {"keyCode": n, "modifiers": n}
    QJsonObject toJson() const;
    // Reads exactly the two keys; none when either is missing, not a whole
    // number, negative or too large for its field.
    static std::optional<KeyShortcut> fromJson(const QJsonObject& object);
};

inline size_t qHash(const KeyShortcut& shortcut, size_t seed = 0) noexcept {
    return qHashMulti(seed, shortcut.keyCode, shortcut.modifiers);
}

} // namespace app

template <> struct std::hash<app::KeyShortcut> {
    size_t operator()(const app::KeyShortcut& shortcut) const noexcept {
        return app::qHash(shortcut);
    }
};

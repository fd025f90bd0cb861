#pragma once

#include <QString>

#include <cstdint>

namespace platform {

// The keyboard layout the user types with: the X server's current layout and
// group when the program runs on X, otherwise the system's default layout
// (XKB_DEFAULT_LAYOUT and friends, else US). Main thread only.
class KeyboardLayout {
public:
    // What the key prints without Shift or any other modifier held (Num Lock
    // counts as on, so the keypad gives its digits). A dead key gives its
    // accent as a spacing character. Empty when the key prints nothing that
    // can be shown (no symbol, a control character, no layout at all).
    static QString character(std::uint8_t xKeyCode);

    // Replaces the live layout by a fixed one, named as XKB names layouts
    // ("us", "fr", or "de" with variant "nodeadkeys"), so results do not
    // depend on the machine. An empty layout returns to the live one. Gives
    // false when no such layout can be compiled.
    static bool useLayoutForTesting(const QString& layout, const QString& variant = {});
};

} // namespace platform

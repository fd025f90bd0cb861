#include "platform/KeyCodeMap.h"

#include <linux/input-event-codes.h>

#include <array>
#include <utility>

namespace platform {

namespace {

// X numbers the keys of an evdev keyboard with the evdev code plus 8.
constexpr int kEvdevToX = 8;

struct KeyPair {
    std::uint32_t keyCode;
    int evdev;
};

// Stored virtual key code → evdev key at the same place on the keyboard.
// Where the two keyboards differ (the ISO key beside the left Shift, the Help
// key on the Insert spot, Clear on the Num Lock spot) the key that sends the
// same USB usage wins. The PC keys the other keyboard lacks keep the codes
// its system gives them, so stored shortcuts stay put: Print, Scroll Lock
// and Pause are F13, F14 and F15 there. A code may name two keys; the first
// is the one that is grabbed, both read back as the code.
constexpr std::array kKeys{
    // letters
    KeyPair{0x00, KEY_A},
    KeyPair{0x01, KEY_S},
    KeyPair{0x02, KEY_D},
    KeyPair{0x03, KEY_F},
    KeyPair{0x04, KEY_H},
    KeyPair{0x05, KEY_G},
    KeyPair{0x06, KEY_Z},
    KeyPair{0x07, KEY_X},
    KeyPair{0x08, KEY_C},
    KeyPair{0x09, KEY_V},
    KeyPair{0x0B, KEY_B},
    KeyPair{0x0C, KEY_Q},
    KeyPair{0x0D, KEY_W},
    KeyPair{0x0E, KEY_E},
    KeyPair{0x0F, KEY_R},
    KeyPair{0x10, KEY_Y},
    KeyPair{0x11, KEY_T},
    KeyPair{0x1F, KEY_O},
    KeyPair{0x20, KEY_U},
    KeyPair{0x22, KEY_I},
    KeyPair{0x23, KEY_P},
    KeyPair{0x25, KEY_L},
    KeyPair{0x26, KEY_J},
    KeyPair{0x28, KEY_K},
    KeyPair{0x2D, KEY_N},
    KeyPair{0x2E, KEY_M},
    // digits
    KeyPair{0x12, KEY_1},
    KeyPair{0x13, KEY_2},
    KeyPair{0x14, KEY_3},
    KeyPair{0x15, KEY_4},
    KeyPair{0x16, KEY_6},
    KeyPair{0x17, KEY_5},
    KeyPair{0x19, KEY_9},
    KeyPair{0x1A, KEY_7},
    KeyPair{0x1C, KEY_8},
    KeyPair{0x1D, KEY_0},
    // punctuation
    KeyPair{0x18, KEY_EQUAL},
    KeyPair{0x1B, KEY_MINUS},
    KeyPair{0x1E, KEY_RIGHTBRACE},
    KeyPair{0x21, KEY_LEFTBRACE},
    KeyPair{0x27, KEY_APOSTROPHE},
    KeyPair{0x29, KEY_SEMICOLON},
    KeyPair{0x2A, KEY_BACKSLASH},
    KeyPair{0x2B, KEY_COMMA},
    KeyPair{0x2C, KEY_SLASH},
    KeyPair{0x2F, KEY_DOT},
    KeyPair{0x32, KEY_GRAVE},
    KeyPair{0x0A, KEY_102ND},
    // editing and whitespace
    KeyPair{0x24, KEY_ENTER},
    KeyPair{0x30, KEY_TAB},
    KeyPair{0x31, KEY_SPACE},
    KeyPair{0x33, KEY_BACKSPACE},
    KeyPair{0x35, KEY_ESC},
    KeyPair{0x75, KEY_DELETE},
    KeyPair{0x72, KEY_INSERT},
    KeyPair{0x6E, KEY_COMPOSE},
    // modifiers
    KeyPair{0x37, KEY_LEFTMETA},
    KeyPair{0x36, KEY_RIGHTMETA},
    KeyPair{0x38, KEY_LEFTSHIFT},
    KeyPair{0x3C, KEY_RIGHTSHIFT},
    KeyPair{0x39, KEY_CAPSLOCK},
    KeyPair{0x3A, KEY_LEFTALT},
    KeyPair{0x3D, KEY_RIGHTALT},
    KeyPair{0x3B, KEY_LEFTCTRL},
    KeyPair{0x3E, KEY_RIGHTCTRL},
    // navigation
    KeyPair{0x73, KEY_HOME},
    KeyPair{0x77, KEY_END},
    KeyPair{0x74, KEY_PAGEUP},
    KeyPair{0x79, KEY_PAGEDOWN},
    KeyPair{0x7B, KEY_LEFT},
    KeyPair{0x7C, KEY_RIGHT},
    KeyPair{0x7D, KEY_DOWN},
    KeyPair{0x7E, KEY_UP},
    // function keys
    KeyPair{0x7A, KEY_F1},
    KeyPair{0x78, KEY_F2},
    KeyPair{0x63, KEY_F3},
    KeyPair{0x76, KEY_F4},
    KeyPair{0x60, KEY_F5},
    KeyPair{0x61, KEY_F6},
    KeyPair{0x62, KEY_F7},
    KeyPair{0x64, KEY_F8},
    KeyPair{0x65, KEY_F9},
    KeyPair{0x6D, KEY_F10},
    KeyPair{0x67, KEY_F11},
    KeyPair{0x6F, KEY_F12},
    KeyPair{0x69, KEY_SYSRQ}, // Print
    KeyPair{0x69, KEY_F13},
    KeyPair{0x6B, KEY_SCROLLLOCK},
    KeyPair{0x6B, KEY_F14},
    KeyPair{0x71, KEY_PAUSE},
    KeyPair{0x71, KEY_F15},
    KeyPair{0x6A, KEY_F16},
    KeyPair{0x40, KEY_F17},
    KeyPair{0x4F, KEY_F18},
    KeyPair{0x50, KEY_F19},
    KeyPair{0x5A, KEY_F20},
    // keypad
    KeyPair{0x52, KEY_KP0},
    KeyPair{0x53, KEY_KP1},
    KeyPair{0x54, KEY_KP2},
    KeyPair{0x55, KEY_KP3},
    KeyPair{0x56, KEY_KP4},
    KeyPair{0x57, KEY_KP5},
    KeyPair{0x58, KEY_KP6},
    KeyPair{0x59, KEY_KP7},
    KeyPair{0x5B, KEY_KP8},
    KeyPair{0x5C, KEY_KP9},
    KeyPair{0x41, KEY_KPDOT},
    KeyPair{0x43, KEY_KPASTERISK},
    KeyPair{0x45, KEY_KPPLUS},
    KeyPair{0x4E, KEY_KPMINUS},
    KeyPair{0x4B, KEY_KPSLASH},
    KeyPair{0x4C, KEY_KPENTER},
    KeyPair{0x51, KEY_KPEQUAL},
    KeyPair{0x47, KEY_NUMLOCK},
    // media
    KeyPair{0x48, KEY_VOLUMEUP},
    KeyPair{0x49, KEY_VOLUMEDOWN},
    KeyPair{0x4A, KEY_MUTE},
    // Japanese keyboards
    KeyPair{0x5D, KEY_YEN},
    KeyPair{0x5E, KEY_RO},
    KeyPair{0x5F, KEY_KPJPCOMMA},
};

static_assert(
    [] {
        for (const auto& key : kKeys) {
            if (key.evdev + kEvdevToX > 255) {
                return false;
            }
        }
        return true;
    }(),
    "every key must have a core X key code");

constexpr std::array<std::pair<std::uint64_t, std::uint16_t>, 4> kModifiers{{
    {modifierBits::shift, xModifierMask::shift},
    {modifierBits::control, xModifierMask::control},
    {modifierBits::option, xModifierMask::mod1},
    {modifierBits::command, xModifierMask::mod4},
}};

} // namespace

std::optional<std::uint8_t> keyCodeToX(std::uint32_t keyCode) {
    for (const auto& key : kKeys) {
        if (key.keyCode == keyCode) {
            return static_cast<std::uint8_t>(key.evdev + kEvdevToX);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> xToKeyCode(std::uint8_t xKeyCode) {
    for (const auto& key : kKeys) {
        if (key.evdev + kEvdevToX == xKeyCode) {
            return key.keyCode;
        }
    }
    return std::nullopt;
}

std::uint16_t modifiersToX(std::uint64_t modifiers) {
    std::uint16_t mask = 0;
    for (const auto& [bit, xMask] : kModifiers) {
        if (modifiers & bit) {
            mask |= xMask;
        }
    }
    return mask;
}

std::uint64_t xToModifiers(std::uint16_t xState) {
    std::uint64_t modifiers = 0;
    for (const auto& [bit, xMask] : kModifiers) {
        if (xState & xMask) {
            modifiers |= bit;
        }
    }
    return modifiers;
}

} // namespace platform

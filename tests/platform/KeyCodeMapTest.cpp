#include "platform/KeyCodeMap.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct KeyCase {
    std::uint32_t keyCode;
    std::uint8_t xKeyCode;
    const char* name;
};

// X key codes of a PC keyboard under the evdev rules (what xev prints).
const KeyCase kKeyCases[] = {
    {0, 38, "A"},
    {1, 39, "S"},
    {12, 24, "Q"},
    {6, 52, "Z"},
    {21, 13, "4"},
    {23, 14, "5"},
    {29, 19, "0"},
    {50, 49, "grave"},
    {10, 94, "ISO key"},
    {42, 51, "backslash"},
    {36, 36, "Return"},
    {48, 23, "Tab"},
    {49, 65, "space"},
    {51, 22, "BackSpace"},
    {53, 9, "Escape"},
    {117, 119, "Delete"},
    {115, 110, "Home"},
    {119, 115, "End"},
    {116, 112, "Prior"},
    {121, 117, "Next"},
    {123, 113, "Left"},
    {124, 114, "Right"},
    {125, 116, "Down"},
    {126, 111, "Up"},
    {122, 67, "F1"},
    {111, 96, "F12"},
    {105, 107, "Print"},
    {90, 198, "F20"},
    {82, 90, "KP_0"},
    {92, 81, "KP_9"},
    {76, 104, "KP_Enter"},
    {65, 91, "KP_Decimal"},
    {55, 133, "Super_L"},
    {58, 64, "Alt_L"},
    {59, 37, "Control_L"},
    {56, 50, "Shift_L"},
    {107, 78, "Scroll_Lock"},
    {113, 127, "Pause"},
    {114, 118, "Insert"},
    {110, 135, "Menu"},
};

TEST(KeyCodeMap, KeysBeyondF12ReadAsThePcKeysInTheirPlaces) {
    // F13 to F15 share their codes with Print, Scroll Lock and Pause; a
    // keyboard that has them reads them back as those codes.
    EXPECT_EQ(platform::xToKeyCode(191), 105u);
    EXPECT_EQ(platform::xToKeyCode(192), 107u);
    EXPECT_EQ(platform::xToKeyCode(193), 113u);
    EXPECT_EQ(platform::keyCodeToX(106), 194); // F16 keeps its own key
}

TEST(KeyCodeMap, MapsKeysByPhysicalPositionBothWays) {
    for (const auto& key : kKeyCases) {
        SCOPED_TRACE(key.name);
        EXPECT_EQ(platform::keyCodeToX(key.keyCode), key.xKeyCode);
        EXPECT_EQ(platform::xToKeyCode(key.xKeyCode), key.keyCode);
    }
}

TEST(KeyCodeMap, EveryMappedKeyRoundTripsAndNoTwoShareAnXKey) {
    std::set<std::uint8_t> seen;
    for (std::uint32_t code = 0; code < 128; ++code) {
        const auto x = platform::keyCodeToX(code);
        if (!x) {
            continue;
        }
        EXPECT_TRUE(seen.insert(*x).second) << "key code " << code;
        EXPECT_EQ(platform::xToKeyCode(*x), code);
    }
    // Letters, digits, punctuation, editing, navigation, F1–F20, keypad.
    EXPECT_GE(seen.size(), 100u);
}

TEST(KeyCodeMap, UnknownCodesHaveNoKey) {
    EXPECT_EQ(platform::keyCodeToX(0x34), std::nullopt); // a hole in the numbering
    EXPECT_EQ(platform::keyCodeToX(0x3F), std::nullopt); // Fn has no X key code
    EXPECT_EQ(platform::keyCodeToX(128), std::nullopt);
    EXPECT_EQ(platform::keyCodeToX(65536 + 0), std::nullopt);
    EXPECT_EQ(platform::xToKeyCode(0), std::nullopt);
    EXPECT_EQ(platform::xToKeyCode(8), std::nullopt);
    EXPECT_EQ(platform::xToKeyCode(255), std::nullopt);
}

TEST(KeyCodeMap, ModifiersMapToCoreMasks) {
    using namespace platform;
    EXPECT_EQ(modifiersToX(modifierBits::command), xModifierMask::mod4);
    EXPECT_EQ(modifiersToX(modifierBits::option), xModifierMask::mod1);
    EXPECT_EQ(modifiersToX(modifierBits::control), xModifierMask::control);
    EXPECT_EQ(modifiersToX(modifierBits::shift), xModifierMask::shift);
    // The stored default of the area capture: shift-option-command.
    EXPECT_EQ(modifiersToX(0x1A0000),
              xModifierMask::shift | xModifierMask::mod1 | xModifierMask::mod4);
    // Caps Lock, numeric pad (0x200000), function (0x800000) and stray bits add nothing.
    EXPECT_EQ(modifiersToX(modifierBits::capsLock | 0x200000 | 0x800000 | 0xFFFF), 0);
    EXPECT_EQ(modifiersToX(0), 0);
}

TEST(KeyCodeMap, XStateReadsBackWithoutLockKeys) {
    using namespace platform;
    for (std::uint64_t bits = 0; bits < 16; ++bits) {
        const std::uint64_t modifiers = bits << 17; // every mix of the four bits
        EXPECT_EQ(xToModifiers(modifiersToX(modifiers)), modifiers);
        EXPECT_EQ(xToModifiers(modifiersToX(modifiers) | xModifierMask::lock | xModifierMask::mod2),
                  modifiers);
    }
}

} // namespace

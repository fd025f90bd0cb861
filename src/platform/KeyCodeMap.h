#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// Stored shortcuts keep the virtual key codes and modifier bits of the format
// they were first written in, so that stored maps and their defaults stay
// portable. These functions translate them to and from the X server's key
// codes (evdev code + 8) by the physical position of the key, and to and from
// the core X modifier masks.

// Modifier bits of a stored shortcut.
namespace modifierBits {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
// The four bits a shortcut is made of.
inline constexpr std::uint64_t shortcutMask = shift | control | option | command;
} // namespace modifierBits

// X core modifier masks (the state field of key events, the modifiers of a grab).
namespace xModifierMask {
inline constexpr std::uint16_t shift = 0x0001;
inline constexpr std::uint16_t lock = 0x0002;
inline constexpr std::uint16_t control = 0x0004;
inline constexpr std::uint16_t mod1 = 0x0008; // Alt
inline constexpr std::uint16_t mod2 = 0x0010; // Num Lock
inline constexpr std::uint16_t mod4 = 0x0040; // Super
} // namespace xModifierMask

// The X key code of the physical key the stored code names; none for a code
// with no key on a PC keyboard (or out of range).
std::optional<std::uint8_t> keyCodeToX(std::uint32_t keyCode);
// The stored code of the physical key an X key code names; none for keys the
// stored numbering has no code for.
std::optional<std::uint32_t> xToKeyCode(std::uint8_t xKeyCode);

// command → Super (Mod4), option → Alt (Mod1), control → Control, shift →
// Shift. Every other bit (Caps Lock, function, numeric pad) is dropped.
std::uint16_t modifiersToX(std::uint64_t modifiers);
// The reverse of modifiersToX: Lock, Num Lock and the other Mod masks give
// nothing, so a shortcut reads the same whatever lock keys are on.
std::uint64_t xToModifiers(std::uint16_t xState);

} // namespace platform

#pragma once

#include "app/SettingsEnums.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace overlays {

// One key event as the keystroke label sees it. Codes and modifier bits are
// the stored shortcut numbering (platform::modifierBits), so a press reads
// the same as a stored shortcut.
struct KeyPress {
    std::uint32_t keyCode = 0;
    // Only shift, control, option and command (mask 0x1E0000).
    std::uint64_t modifiers = 0;
    // The key's display name; empty for a modifier's own press or release.
    QString keyName;
    // What the key typed; empty for a modifier's own press or release.
    QString characters;

    friend bool operator==(const KeyPress&, const KeyPress&) = default;
};

// What the label holds: nothing yet, a run of typed text, or a shortcut with
// how many times in a row it was pressed.
struct KeystrokeLabel {
    enum class Kind { none, typing, shortcut };
    Kind kind = Kind::none;
    QString text; // without the repeat count
    int count = 0;

    friend bool operator==(const KeystrokeLabel&, const KeystrokeLabel&) = default;
};

// Turns the presses of one recording into the one line the label shows: a
// shortcut with its modifier names ("Ctrl+Z", "Ctrl+Z ×2") or a running line
// of typed text. A plain value; the clock is the caller's.
class KeystrokeFormatter {
public:
    using Clock = std::chrono::steady_clock;

    // Presses closer than this merge into one run or one repeat count.
    static constexpr std::chrono::milliseconds mergeWindow{1200};
    // The typed run keeps its newest characters (as the user sees them).
    static constexpr int typedCharacters = 24;

    explicit KeystrokeFormatter(app::KeystrokeMode mode) : mode_(mode) {}

    // The text to show now, or nothing when the press shows nothing; only a
    // press that shows something changes the label and restarts the window.
    std::optional<QString> format(const KeyPress& press, Clock::time_point now);

    app::KeystrokeMode mode() const { return mode_; }
    const KeystrokeLabel& label() const { return label_; }

private:
    std::optional<QString> typed(const QString& piece, Clock::time_point now);
    QString shortcut(const KeyPress& press, Clock::time_point now);
    bool withinWindow(Clock::time_point now) const;

    app::KeystrokeMode mode_;
    KeystrokeLabel label_;
    std::optional<Clock::time_point> lastShown_;
};

// Keeps at most `units` UTF-16 units of `text` without splitting a surrogate
// pair: a pair that would be cut is dropped whole.
QString capUtf16(const QString& text, qsizetype units);

// The key codes the formatter sorts presses by.
namespace keyCodes {
bool isIgnored(std::uint32_t keyCode);  // the modifiers, Caps Lock, Fn
bool isFunction(std::uint32_t keyCode); // F1–F20
bool isEditing(std::uint32_t keyCode);  // Return, Tab, Escape, the deletes, arrows
bool isNamed(std::uint32_t keyCode);    // editing keys and Home, End, Page Up/Down
} // namespace keyCodes

} // namespace overlays

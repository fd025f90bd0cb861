#pragma once

#include <QHash>
#include <QHashFunctions>
#include <QJsonObject>
#include <QKeySequence>
#include <QSet>
#include <QString>

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

    // Whether the shortcut may be held as a global hot key: a function key
    // may stand alone, any other key needs control, option or command, or the
    // grab would swallow what the user types everywhere else (shift alone
    // only makes capitals).
    bool isSafeAsHotKey() const;

    // The text of the shortcut wherever one is shown (menus, settings, the
    // welcome window): the modifier names followed by the key's display name,
    // shift-option-command-4 reads "Alt+Shift+Super+4", F5 alone "F5".
    QString displayText() const;
    // The same shortcut for a QAction (Super stands for command); empty when
    // the key has neither a fixed name nor a character in the current layout.
    QKeySequence keySequence() const;

    // "Ctrl+", "Alt+", "Shift+", "Super+" in that order for the control,
    // option, shift and command bits that are set, so that the key's name can
    // follow directly; every other bit adds nothing.
    static QString modifierSymbols(std::uint64_t modifiers);
    // The key's fixed name, else its character in the current layout
    // upper-cased, else "#" and the decimal code. Never empty.
    static QString displayKey(std::uint32_t keyCode);
    // The key-equivalent text of a menu item: the fixed character of the key
    // when it has one, else displayKey lower-cased.
    static QString keyName(std::uint32_t keyCode);
    // What the current keyboard layout prints on the key without modifiers;
    // none for codes with no key or keys that print nothing.
    static std::optional<QString> layoutCharacter(std::uint32_t keyCode);

    // Names of the keys that print no character or whose character says
    // little (arrows, editing keys, F1–F20, Print, Scroll Lock, Pause, Insert,
    // Menu, Num Lock, the keypad's keys); built once, in the language then.
    static const QHash<std::uint32_t, QString>& displayNames();
    // The characters menu items take for Return, Tab, Space, Delete, Forward
    // Delete, the arrows and F1–F12.
    static const QHash<std::uint32_t, QChar>& keyEquivalents();
    // F1–F20: these keys make a shortcut without any modifier. Print, Scroll
    // Lock and Pause share the codes of F13–F15, so they do too.
    static const QSet<std::uint32_t>& functionKeyCodes();
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

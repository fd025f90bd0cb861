#pragma once

#include "app/CaptureAction.h"
#include "app/KeyShortcut.h"

#include <QByteArray>

#include <array>
#include <optional>

namespace app {

// The global shortcut of each capture action; an action without one is
// disabled. Stored under "shortcuts" as a JSON object that names all nine
// actions in action order, each with {"keyCode":n,"modifiers":n} or null.
class ShortcutMap {
public:
    // Every action with its shipped shortcut (Shift-Option-Command 2…7, the
    // copy actions with Control added).
    static ShortcutMap defaults();

    // The defaults with the stored entries laid over them. Names that are no
    // action are skipped; anything that does not read as an object of
    // shortcuts and nulls gives the defaults as a whole. A shortcut that is
    // not safe as a hot key (KeyShortcut::isSafeAsHotKey) reads as null.
    static ShortcutMap fromJson(const QByteArray& json);
    QByteArray toJson() const;

    std::optional<KeyShortcut> value(CaptureAction action) const;
    void set(CaptureAction action, std::optional<KeyShortcut> shortcut);

    friend bool operator==(const ShortcutMap&, const ShortcutMap&) = default;

private:
    std::array<std::optional<KeyShortcut>, 9> entries_{};
};

} // namespace app

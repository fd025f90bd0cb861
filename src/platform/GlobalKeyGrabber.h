#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace platform {

// A key combination as the X server knows it: a keycode of the current keyboard
// and a core modifier mask (Shift, Control, Mod1…Mod5). Lock modifiers (Caps
// Lock, Num Lock) never belong in it: grabs cover them on their own.
struct XKeyCombo {
    quint8 keycode = 0;
    quint16 modifiers = 0;

    friend bool operator==(const XKeyCombo&, const XKeyCombo&) = default;
};

enum class GrabResult {
    grabbed,
    // Another client already holds the combination (the server said BadAccess).
    taken,
    // This grabber already holds the combination under another identifier.
    duplicate,
    // The combination cannot be grabbed at all (no such keycode, bad modifiers).
    invalid,
    // There is no X server to grab from.
    unavailable,
};

// System-wide hot keys: each grabbed combination is known by an identifier of
// the caller's choice, and every press of it is reported by that identifier on
// the main thread, whichever window has the focus.
class GlobalKeyGrabber {
public:
    virtual ~GlobalKeyGrabber() = default;

    // Grabs `key` under `id`, first letting go of whatever `id` held before.
    virtual GrabResult grab(quint32 id, XKeyCombo key) = 0;
    // Lets go of the combination held under `id`; an unknown id is ignored.
    virtual void ungrab(quint32 id) = 0;
    // Called once per press of a grabbed combination (key repeat does not count).
    virtual void setOnPressed(std::function<void(quint32 id)> onPressed) = 0;
};

// The grabber for the running application: X11 on Qt's own xcb connection, or,
// when the application does not run on X11, one whose grabs all fail.
std::unique_ptr<GlobalKeyGrabber> createGlobalKeyGrabber();

} // namespace platform

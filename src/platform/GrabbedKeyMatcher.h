#pragma once

#include "platform/GlobalKeyGrabber.h"

#include <QtGlobal>

#include <map>
#include <optional>

namespace platform {

// Tells which grabbed combination an X key event belongs to. Pure bookkeeping,
// so the rules are testable without a server: lock modifiers and pointer
// buttons in the event's state are ignored, and the server's key repeat (a
// release and a press with the same timestamp) does not count as a new press.
class GrabbedKeyMatcher {
public:
    enum class Verdict { notGrabbed, repeat, pressed };
    struct PressResult {
        Verdict verdict = Verdict::notGrabbed;
        quint32 id = 0;
    };

    void add(quint32 id, XKeyCombo key);
    void remove(quint32 id);
    std::optional<quint32> idOf(XKeyCombo key) const;
    std::optional<XKeyCombo> keyOf(quint32 id) const;

    // The modifier bit that Num Lock sets in event states on this keyboard
    // (0 when Num Lock is no modifier).
    void setNumLockMask(quint16 mask) { numLockMask_ = mask; }
    quint16 numLockMask() const { return numLockMask_; }

    PressResult press(quint8 keycode, quint16 state, quint32 time);
    void release(quint8 keycode, quint32 time);

private:
    std::map<quint32, XKeyCombo> grabbed_;
    // The time of the last release per keycode, to recognise key repeat.
    std::map<quint8, quint32> releasedAt_;
    quint16 numLockMask_ = 0;
};

} // namespace platform

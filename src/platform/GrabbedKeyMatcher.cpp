#include "platform/GrabbedKeyMatcher.h"

namespace platform {

namespace {
// Shift, Lock, Control and Mod1…Mod5; the bits above are pointer buttons and
// the keyboard group, which never decide a hot key.
constexpr quint16 kModifierBits = 0xff;
constexpr quint16 kCapsLockMask = 0x02;
} // namespace

void GrabbedKeyMatcher::add(quint32 id, XKeyCombo key) {
    grabbed_[id] = key;
}

void GrabbedKeyMatcher::remove(quint32 id) {
    grabbed_.erase(id);
}

std::optional<quint32> GrabbedKeyMatcher::idOf(XKeyCombo key) const {
    for (const auto& [id, held] : grabbed_) {
        if (held == key) {
            return id;
        }
    }
    return std::nullopt;
}

std::optional<XKeyCombo> GrabbedKeyMatcher::keyOf(quint32 id) const {
    const auto it = grabbed_.find(id);
    if (it == grabbed_.end()) {
        return std::nullopt;
    }
    return it->second;
}

GrabbedKeyMatcher::PressResult GrabbedKeyMatcher::press(quint8 keycode, quint16 state,
                                                        quint32 time) {
    const quint16 modifiers = state & kModifierBits & ~(kCapsLockMask | numLockMask_);
    const std::optional<quint32> id = idOf(XKeyCombo{keycode, modifiers});
    if (!id) {
        return {};
    }
    // Without detectable auto-repeat the server sends each repeat as a release
    // and a press stamped with the same time; a real second press comes later.
    const auto released = releasedAt_.find(keycode);
    if (released != releasedAt_.end() && released->second == time) {
        return {Verdict::repeat, *id};
    }
    return {Verdict::pressed, *id};
}

void GrabbedKeyMatcher::release(quint8 keycode, quint32 time) {
    releasedAt_[keycode] = time;
}

} // namespace platform

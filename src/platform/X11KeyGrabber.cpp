#include "platform/X11KeyGrabber.h"

#include <QCoreApplication>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace platform {

namespace {

constexpr quint8 kBadAccess = 10;
constexpr quint8 kMinKeycode = 8;
// Shift, Control and Mod1…Mod5: the modifiers a hot key may ask for.
constexpr quint16 kGrabbableModifiers = 0xfd;

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11KeyGrabber::X11KeyGrabber(xcb_connection_t* connection) : connection_(connection) {
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_)); it.rem > 0;
         xcb_screen_next(&it)) {
        roots_.push_back(it.data->root);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11KeyGrabber::~X11KeyGrabber() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
    }
    std::vector<quint32> ids;
    for (const auto& entry : variants_) {
        ids.push_back(entry.first);
    }
    for (quint32 id : ids) {
        ungrab(id);
    }
}

quint16 X11KeyGrabber::readNumLockMask() const {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    if (symbols == nullptr) {
        return 0;
    }
    XcbReply<xcb_keycode_t> numLockCodes(xcb_key_symbols_get_keycode(symbols, XKB_KEY_Num_Lock));
    xcb_key_symbols_free(symbols);
    if (!numLockCodes) {
        return 0;
    }
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (!mapping) {
        return 0;
    }
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == XCB_NO_SYMBOL) {
                continue;
            }
            for (const xcb_keycode_t* n = numLockCodes.get(); *n != XCB_NO_SYMBOL; ++n) {
                if (*n == code) {
                    return static_cast<quint16>(1u << modifier);
                }
            }
        }
    }
    return 0;
}

std::vector<quint16> X11KeyGrabber::lockVariants() const {
    const quint16 numLock = matcher_.numLockMask();
    const quint16 capsLock = XCB_MOD_MASK_LOCK;
    std::vector<quint16> variants{0, numLock, capsLock, static_cast<quint16>(numLock | capsLock)};
    // Without a Num Lock modifier two of the four are the same grab.
    std::sort(variants.begin(), variants.end());
    variants.erase(std::unique(variants.begin(), variants.end()), variants.end());
    return variants;
}

GrabResult X11KeyGrabber::grab(quint32 id, XKeyCombo key) {
    ungrab(id);
    if (key.keycode < kMinKeycode || (key.modifiers & ~kGrabbableModifiers) != 0) {
        return GrabResult::invalid;
    }
    if (matcher_.idOf(key)) {
        // The server would let one client grab the same combination twice.
        return GrabResult::duplicate;
    }
    // The keyboard's modifier mapping may have changed since the last grab.
    matcher_.setNumLockMask(readNumLockMask());
    if ((key.modifiers & matcher_.numLockMask()) != 0) {
        return GrabResult::invalid;
    }

    const std::vector<quint16> variants = lockVariants();
    std::vector<xcb_void_cookie_t> cookies;
    for (quint32 root : roots_) {
        for (quint16 variant : variants) {
            cookies.push_back(xcb_grab_key_checked(
                connection_, 0, root, static_cast<quint16>(key.modifiers | variant), key.keycode,
                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool accessDenied = false;
    bool failed = false;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (XcbReply<xcb_generic_error_t> error{xcb_request_check(connection_, cookie)}) {
            failed = true;
            accessDenied = accessDenied || error->error_code == kBadAccess;
        }
    }
    if (failed) {
        // Letting go of every variant frees only our own grabs; another client's
        // grab of the same combination stays as it was.
        ungrabVariants(key, variants);
        return accessDenied ? GrabResult::taken : GrabResult::invalid;
    }
    matcher_.add(id, key);
    variants_[id] = variants;
    return GrabResult::grabbed;
}

void X11KeyGrabber::ungrabVariants(XKeyCombo key, const std::vector<quint16>& variants) {
    for (quint32 root : roots_) {
        for (quint16 variant : variants) {
            xcb_ungrab_key(connection_, key.keycode, root,
                           static_cast<quint16>(key.modifiers | variant));
        }
    }
    xcb_flush(connection_);
}

void X11KeyGrabber::ungrab(quint32 id) {
    const auto it = variants_.find(id);
    if (it == variants_.end()) {
        return;
    }
    if (const std::optional<XKeyCombo> key = matcher_.keyOf(id)) {
        ungrabVariants(*key, it->second);
    }
    matcher_.remove(id);
    variants_.erase(it);
}

void X11KeyGrabber::setOnPressed(std::function<void(quint32)> onPressed) {
    onPressed_ = std::move(onPressed);
}

bool X11KeyGrabber::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // Events another client sent on purpose never activate a grab.
    if ((event->response_type & 0x80) != 0) {
        return false;
    }
    const quint8 kind = event->response_type & 0x7f;
    if (kind == XCB_KEY_RELEASE) {
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event);
        matcher_.release(release->detail, release->time);
        return false;
    }
    if (kind != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    // A grab on the root reports its presses on the root, also while one of our
    // own windows has the focus; presses in our windows are ordinary keys.
    if (std::find(roots_.begin(), roots_.end(), press->event) == roots_.end()) {
        return false;
    }
    const GrabbedKeyMatcher::PressResult match =
        matcher_.press(press->detail, press->state, press->time);
    switch (match.verdict) {
    case GrabbedKeyMatcher::Verdict::notGrabbed:
        return false;
    case GrabbedKeyMatcher::Verdict::repeat:
        return true;
    case GrabbedKeyMatcher::Verdict::pressed:
        break;
    }
    QTimer::singleShot(0, &context_, [this, id = match.id] {
        if (onPressed_) {
            onPressed_(id);
        }
    });
    return true;
}

} // namespace platform

#include "platform/KeyboardLayout.h"

#include "platform/MainThread.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-names.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace platform {

namespace {

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using ContextPtr = std::unique_ptr<xkb_context, ContextDeleter>;
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

// Event subtypes of the XKB extension (second byte of its events).
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;

// A dead key prints its accent on the key cap; show that instead of nothing.
QString deadKeyAccent(xkb_keysym_t keysym) {
    static constexpr std::array<std::pair<xkb_keysym_t, char16_t>, 13> kAccents{{
        {XKB_KEY_dead_grave, u'`'},
        {XKB_KEY_dead_acute, u'\u00B4'},
        {XKB_KEY_dead_circumflex, u'^'},
        {XKB_KEY_dead_tilde, u'~'},
        {XKB_KEY_dead_macron, u'\u00AF'},
        {XKB_KEY_dead_breve, u'\u02D8'},
        {XKB_KEY_dead_abovedot, u'\u02D9'},
        {XKB_KEY_dead_diaeresis, u'\u00A8'},
        {XKB_KEY_dead_abovering, u'\u02DA'},
        {XKB_KEY_dead_doubleacute, u'\u02DD'},
        {XKB_KEY_dead_caron, u'\u02C7'},
        {XKB_KEY_dead_cedilla, u'\u00B8'},
        {XKB_KEY_dead_ogonek, u'\u02DB'},
    }};
    for (const auto& [dead, accent] : kAccents) {
        if (dead == keysym) {
            return QString(QChar(accent));
        }
    }
    return {};
}

bool isShowable(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

// Holds the keymap in use and notices when the X server's keymap changes.
class Layouts final : public QAbstractNativeEventFilter {
public:
    // Never destroyed: the native event filter must not unregister itself
    // from a dispatcher that is already gone when the program exits.
    static Layouts& instance() {
        static auto* layouts = new Layouts;
        return *layouts;
    }

    QString character(std::uint8_t xKeyCode) {
        assertMainThread();
        xkb_keymap* keymap = currentKeymap();
        if (!keymap) {
            return {};
        }
        StatePtr state(xkb_state_new(keymap));
        if (!state) {
            return {};
        }
        const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_NUM);
        const xkb_mod_mask_t locked = numLock == XKB_MOD_INVALID ? 0 : (1u << numLock);
        xkb_state_update_mask(state.get(), 0, 0, locked, 0, 0, currentGroup(keymap));

        const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state.get(), xKeyCode);
        if (keysym == XKB_KEY_NoSymbol) {
            return {};
        }
        if (QString accent = deadKeyAccent(keysym); !accent.isEmpty()) {
            return accent;
        }
        std::array<char, 16> utf8{};
        const int length = xkb_keysym_to_utf8(keysym, utf8.data(), utf8.size());
        if (length <= 1) { // the count includes the terminating zero
            return {};
        }
        QString text = QString::fromUtf8(utf8.data(), length - 1);
        return isShowable(text) ? text : QString();
    }

    bool useFixedLayout(const QString& layout, const QString& variant) {
        assertMainThread();
        keymap_.reset();
        fixed_ = false;
        if (layout.isEmpty()) {
            return true;
        }
        const QByteArray layoutName = layout.toUtf8();
        const QByteArray variantName = variant.toUtf8();
        xkb_rule_names names{};
        names.rules = "evdev";
        names.model = "pc105";
        names.layout = layoutName.constData();
        names.variant = variantName.isEmpty() ? nullptr : variantName.constData();
        if (!context_) {
            return false;
        }
        keymap_.reset(
            xkb_keymap_new_from_names(context_.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        fixed_ = true;
        return keymap_ != nullptr;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (fixed_ || !xkbBaseEvent_ || eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == *xkbBaseEvent_) {
            const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
            if (xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify) {
                keymap_.reset(); // fetched again when next needed
            }
        }
        return false;
    }

private:
    Layouts() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

    xcb_connection_t* x11Connection() {
        if (!qGuiApp) {
            return nullptr;
        }
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 ? x11->connection() : nullptr;
    }

    // Sets up the X side once: the XKB extension, the core keyboard, and the
    // filter that drops the keymap when the server's keymap changes.
    bool x11Ready(xcb_connection_t* connection) {
        if (x11Checked_) {
            return deviceId_ >= 0;
        }
        x11Checked_ = true;
        std::uint8_t baseEvent = 0;
        if (!xkb_x11_setup_xkb_extension(
                connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &baseEvent, nullptr)) {
            return false;
        }
        deviceId_ = xkb_x11_get_core_keyboard_device_id(connection);
        if (deviceId_ < 0) {
            return false;
        }
        xkbBaseEvent_ = baseEvent;
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            dispatcher->installNativeEventFilter(this);
        }
        return true;
    }

    xkb_keymap* currentKeymap() {
        if (keymap_ || fixed_ || !context_) {
            return keymap_.get();
        }
        if (xcb_connection_t* connection = x11Connection(); connection && x11Ready(connection)) {
            keymap_.reset(xkb_x11_keymap_new_from_device(context_.get(), connection, deviceId_,
                                                         XKB_KEYMAP_COMPILE_NO_FLAGS));
            if (keymap_) {
                return keymap_.get();
            }
        }
        // No X server: the layout the system would give a new keyboard.
        keymap_.reset(
            xkb_keymap_new_from_names(context_.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
        return keymap_.get();
    }

    // The group the user has switched to; the first one without X.
    xkb_layout_index_t currentGroup(xkb_keymap* keymap) {
        xcb_connection_t* connection = fixed_ ? nullptr : x11Connection();
        if (!connection || deviceId_ < 0) {
            return 0;
        }
        StatePtr live(xkb_x11_state_new_from_device(keymap, connection, deviceId_));
        return live ? xkb_state_serialize_layout(live.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    }

    ContextPtr context_;
    KeymapPtr keymap_;
    bool fixed_ = false;
    bool x11Checked_ = false;
    std::int32_t deviceId_ = -1;
    std::optional<std::uint8_t> xkbBaseEvent_;
};

} // namespace

QString KeyboardLayout::character(std::uint8_t xKeyCode) {
    return Layouts::instance().character(xKeyCode);
}

bool KeyboardLayout::useLayoutForTesting(const QString& layout, const QString& variant) {
    return Layouts::instance().useFixedLayout(layout, variant);
}

} // namespace platform

#include "platform/InputRecorder.h"

#include "platform/KeyCodeMap.h"
#include "platform/X11Connection.h"

#include <QObject>

#include <xcb/record.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

namespace {

// RECORD reply categories.
constexpr std::uint8_t kFromServer = 0;
constexpr std::uint8_t kEndOfData = 5;

struct XkbDeleter {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
    void operator()(xkb_state* p) const { xkb_state_unref(p); }
};
template <typename T> using XkbPtr = std::unique_ptr<T, XkbDeleter>;

bool hasRecord(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_record_id);
    if (extension == nullptr || !extension->present) {
        return false;
    }
    xcb_record_query_version_reply_t* version = xcb_record_query_version_reply(
        connection,
        xcb_record_query_version(connection, XCB_RECORD_MAJOR_VERSION, XCB_RECORD_MINOR_VERSION),
        nullptr);
    const bool ok = version != nullptr;
    free(version);
    return ok;
}

// The control connection (context, keymap) and the data connection that
// carries the recorded events.
struct Link {
    xcb_connection_t* control = nullptr;
    xcb_connection_t* data = nullptr;
    xcb_record_context_t context = 0;
    xcb_record_enable_context_cookie_t cookie{};
    XkbPtr<xkb_keymap> keymap;
    XkbPtr<xkb_state> state;

    void close() {
        state.reset();
        keymap.reset();
        if (control != nullptr) {
            if (context != 0) {
                xcb_record_free_context(control, context);
                xcb_flush(control);
            }
            xcb_disconnect(control);
        }
        if (data != nullptr) {
            xcb_disconnect(data);
        }
        control = data = nullptr;
        context = 0;
    }
};

// The server's keymap and its current state, from which the recorded events
// are then followed.
bool loadKeymap(xkb_context* xkb, Link& link) {
    if (!xkb_x11_setup_xkb_extension(
            link.control, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        return false;
    }
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(link.control);
    if (device < 0) {
        return false;
    }
    XkbPtr<xkb_keymap> keymap(
        xkb_x11_keymap_new_from_device(xkb, link.control, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return false;
    }
    XkbPtr<xkb_state> state(xkb_x11_state_new_from_device(keymap.get(), link.control, device));
    if (!state) {
        return false;
    }
    link.keymap = std::move(keymap);
    link.state = std::move(state);
    return true;
}

std::optional<Link> openLink(xkb_context* xkb) {
    Link link;
    const std::optional<PrivateConnection> control = openPrivateConnection();
    if (!control) {
        return std::nullopt;
    }
    link.control = control->connection;
    if (!hasRecord(link.control) || !loadKeymap(xkb, link)) {
        link.close();
        return std::nullopt;
    }
    const std::optional<PrivateConnection> data = openPrivateConnection();
    if (!data) {
        link.close();
        return std::nullopt;
    }
    link.data = data->connection;
    link.context = xcb_generate_id(link.control);
    xcb_record_range_t range{};
    range.device_events.first = XCB_KEY_PRESS;
    range.device_events.last = XCB_BUTTON_PRESS;
    // A new keymap (setxkbmap, xmodmap) reaches every client as MappingNotify.
    range.delivered_events.first = XCB_MAPPING_NOTIFY;
    range.delivered_events.last = XCB_MAPPING_NOTIFY;
    const xcb_record_client_spec_t clients = XCB_RECORD_CS_ALL_CLIENTS;
    xcb_generic_error_t* error = xcb_request_check(
        link.control,
        xcb_record_create_context_checked(link.control, link.context, 0, 1, 1, &clients, &range));
    if (error != nullptr) {
        free(error);
        link.context = 0;
        link.close();
        return std::nullopt;
    }
    link.cookie = xcb_record_enable_context(link.data, link.context);
    xcb_flush(link.data);
    return link;
}

std::uint64_t heldModifiers(xkb_state* state) {
    std::uint64_t bits = 0;
    const auto active = [state](const char* name) {
        return xkb_state_mod_name_is_active(state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT))
        bits |= modifierBits::shift;
    if (active(XKB_MOD_NAME_CTRL))
        bits |= modifierBits::control;
    if (active(XKB_MOD_NAME_ALT))
        bits |= modifierBits::option;
    if (active(XKB_MOD_NAME_LOGO))
        bits |= modifierBits::command;
    return bits;
}

// Each key event carries the modifier and group state the server held just
// before it. Taking it as the truth keeps the keyboard state right from the
// first event: modifiers held when listening began (the record hot key's)
// would otherwise stay down for good, as their releases alone cannot undo a
// press that was never seen. The X core modifiers are xkbcommon's first eight
// (real) modifiers, in the same order.
void followServerState(xkb_state* state, std::uint16_t core) {
    const xkb_mod_mask_t mods = core & 0xff;
    const xkb_layout_index_t group = (core >> 13) & 0x3;
    xkb_state_update_mask(state, mods, 0, 0, 0, 0, group);
}

QString typedText(xkb_state* state, xkb_keycode_t key) {
    char buffer[64];
    const int length = xkb_state_key_get_utf8(state, key, buffer, sizeof buffer);
    if (length <= 0) {
        return {};
    }
    return QString::fromUtf8(buffer, std::min<int>(length, sizeof buffer - 1));
}

} // namespace

struct InputRecorder::State {
    std::function<void(const RecordedInput&)> onInput;
    // Lives on the caller's thread; queued calls to it end with it.
    std::unique_ptr<QObject> receiver = std::make_unique<QObject>();
    XkbPtr<xkb_context> xkb{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
    std::mutex mutex; // guards link and stopping
    Link link;
    bool stopping = false;
    std::thread thread;

    void deliver(const RecordedInput& input) {
        QMetaObject::invokeMethod(
            receiver.get(),
            [this, input] {
                if (onInput)
                    onInput(input);
            },
            Qt::QueuedConnection);
    }

    void handle(Link& current, const std::uint8_t* event) {
        const std::uint8_t type = event[0] & 0x7f;
        if (type == XCB_MAPPING_NOTIFY) {
            loadKeymap(xkb.get(), current);
            return;
        }
        if (type == XCB_BUTTON_PRESS) {
            const auto* button = reinterpret_cast<const xcb_button_press_event_t*>(event);
            RecordedInput input;
            input.kind = RecordedInput::Kind::buttonPress;
            input.detail = button->detail;
            input.rootPixel = QPoint(button->root_x, button->root_y);
            deliver(input);
            return;
        }
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
            return;
        }
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        xkb_state* state = current.state.get();
        followServerState(state, key->state);
        RecordedInput input;
        input.detail = key->detail;
        if (type == XCB_KEY_PRESS) {
            input.kind = RecordedInput::Kind::keyPress;
            input.characters = typedText(state, key->detail);
            input.modifiers = heldModifiers(state);
            input.changesModifiers = xkb_state_update_key(state, key->detail, XKB_KEY_DOWN) != 0;
        } else {
            input.kind = RecordedInput::Kind::keyRelease;
            input.changesModifiers = xkb_state_update_key(state, key->detail, XKB_KEY_UP) != 0;
        }
        if (input.changesModifiers) {
            input.modifiers = heldModifiers(state);
            input.characters.clear();
        }
        deliver(input);
    }

    // Reads the recorded events until stopped; one reconnection when the
    // server drops either connection.
    void run() {
        bool reconnected = false;
        for (;;) {
            Link* current = nullptr;
            {
                std::lock_guard lock(mutex);
                if (stopping) {
                    return;
                }
                current = &link;
            }
            for (;;) {
                xcb_record_enable_context_reply_t* reply =
                    xcb_record_enable_context_reply(current->data, current->cookie, nullptr);
                if (reply == nullptr) {
                    break;
                }
                const std::uint8_t category = reply->category;
                if (category == kFromServer) {
                    const std::uint8_t* bytes = xcb_record_enable_context_data(reply);
                    const int length = xcb_record_enable_context_data_length(reply);
                    for (int offset = 0; offset + 32 <= length; offset += 32) {
                        handle(*current, bytes + offset);
                    }
                }
                free(reply);
                // stop() ends the context this way, and so does the server
                // when the context went with the control connection.
                if (category == kEndOfData) {
                    break;
                }
            }
            std::lock_guard lock(mutex);
            if (stopping || reconnected) {
                return;
            }
            reconnected = true;
            link.close();
            if (std::optional<Link> fresh = openLink(xkb.get())) {
                link = std::move(*fresh);
            } else {
                return;
            }
        }
    }
};

InputRecorder::InputRecorder(std::unique_ptr<State> state) : state_(std::move(state)) {}

InputRecorder::~InputRecorder() {
    stop();
}

std::unique_ptr<InputRecorder>
InputRecorder::start(std::function<void(const RecordedInput&)> onInput) {
    auto state = std::make_unique<State>();
    if (!state->xkb) {
        return nullptr;
    }
    std::optional<Link> link = openLink(state->xkb.get());
    if (!link) {
        return nullptr;
    }
    state->onInput = std::move(onInput);
    state->link = std::move(*link);
    State* raw = state.get();
    state->thread = std::thread([raw] { raw->run(); });
    return std::unique_ptr<InputRecorder>(new InputRecorder(std::move(state)));
}

void InputRecorder::stop() {
    if (!state_ || !state_->thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        Link& link = state_->link;
        if (link.control != nullptr && link.context != 0) {
            xcb_record_disable_context(link.control, link.context);
            xcb_flush(link.control);
        }
        // Wakes the reader at once, whatever the server makes of the request.
        if (link.data != nullptr) {
            ::shutdown(xcb_get_file_descriptor(link.data), SHUT_RDWR);
        }
    }
    state_->thread.join();
    state_->link.close();
    state_->onInput = nullptr;
    state_->receiver.reset();
}

bool InputRecorder::available() {
    const std::optional<PrivateConnection> connection = openPrivateConnection();
    if (!connection) {
        return false;
    }
    const bool present = hasRecord(connection->connection);
    xcb_disconnect(connection->connection);
    return present;
}

} // namespace platform

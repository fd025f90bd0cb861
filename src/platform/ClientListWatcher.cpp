#include "platform/ClientListWatcher.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace platform {

struct ClientListWatcher::Connection {
    xcb_connection_t* connection = nullptr;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Connection() {
        notifier.reset();
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
    }
};

ClientListWatcher::ClientListWatcher(QObject* parent)
    : QObject(parent), connection_(std::make_unique<Connection>()) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(display, &screenNumber);
    connection_->connection = c;
    if (xcb_connection_has_error(c) != 0) {
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return;
    }
    const char* name = "_NET_CLIENT_LIST";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    connection_->clientList = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(atom);
    if (connection_->clientList == XCB_ATOM_NONE) {
        return;
    }
    // Other programs may listen on the root too: event masks are per client,
    // so adding ours takes nothing from theirs.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    connection_->notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(connection_->notifier.get(), &QSocketNotifier::activated, this,
            &ClientListWatcher::readEvents);
}

ClientListWatcher::~ClientListWatcher() = default;

bool ClientListWatcher::isWatching() const {
    return connection_->notifier != nullptr;
}

void ClientListWatcher::readEvents() {
    xcb_connection_t* c = connection_->connection;
    bool listChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<xcb_property_notify_event_t*>(event)->atom ==
                connection_->clientList) {
            listChanged = true;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(c) != 0) {
        // The server went away: nothing more will come. The notifier is in
        // the middle of its own signal, so it goes once that has returned.
        connection_->notifier->setEnabled(false);
        connection_->notifier.release()->deleteLater();
    }
    if (listChanged) {
        Q_EMIT changed();
    }
}

} // namespace platform

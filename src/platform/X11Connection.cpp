#include "platform/X11Connection.h"

#include <QHash>

#include <cstdlib>
#include <cstring>

namespace platform {

struct X11Connection::AtomCache {
    QHash<QByteArray, xcb_atom_t> byName;
    QHash<xcb_atom_t, QString> byAtom;
};

X11Connection* X11Connection::shared() {
    static std::unique_ptr<X11Connection> connection;
    if (connection && connection->hasError()) {
        connection.reset();
    }
    if (!connection) {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') {
            return nullptr;
        }
        int screenNumber = 0;
        xcb_connection_t* raw = xcb_connect(display, &screenNumber);
        if (xcb_connection_has_error(raw) != 0) {
            xcb_disconnect(raw);
            return nullptr;
        }
        connection = std::make_unique<X11Connection>(raw, screenNumber);
    }
    return connection.get();
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber)
    : connection_(connection), atoms_(std::make_unique<AtomCache>()) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; it.rem > 0; xcb_screen_next(&it), ++i) {
        if (i == screenNumber || screen_ == nullptr) {
            screen_ = it.data;
        }
    }
}

X11Connection::~X11Connection() {
    xcb_disconnect(connection_);
}

xcb_atom_t X11Connection::atom(const char* name) {
    const QByteArray key(name);
    if (auto it = atoms_->byName.constFind(key); it != atoms_->byName.constEnd()) {
        return it.value();
    }
    xcb_generic_error_t* error = nullptr;
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        &error);
    std::free(error);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    if (atom != XCB_ATOM_NONE) {
        atoms_->byName.insert(key, atom);
    }
    return atom;
}

QString X11Connection::atomName(xcb_atom_t atom) {
    xcb_get_atom_name_reply_t* reply =
        xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr);
    if (reply == nullptr) {
        return {};
    }
    QString name =
        QString::fromLatin1(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
    std::free(reply);
    return name;
}

std::vector<std::uint32_t> X11Connection::Property::words() const {
    std::vector<std::uint32_t> out;
    if (format != 32) {
        return out;
    }
    out.resize(static_cast<std::size_t>(data.size()) / 4);
    if (!out.empty()) {
        std::memcpy(out.data(), data.constData(), out.size() * 4);
    }
    return out;
}

std::optional<X11Connection::Property> X11Connection::property(xcb_window_t window, xcb_atom_t name,
                                                               std::uint32_t maxWords) {
    if (name == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, maxWords),
        &error);
    std::free(error);
    if (reply == nullptr || reply->type == XCB_ATOM_NONE) {
        std::free(reply);
        return std::nullopt;
    }
    Property property;
    property.type = reply->type;
    property.format = reply->format;
    const int length = xcb_get_property_value_length(reply);
    property.data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), length);
    std::free(reply);
    return property;
}

} // namespace platform

#include <QGuiApplication>

namespace platform {

bool x11ServerReachable() {
    return X11Connection::shared() != nullptr;
}

void syncQtWindowSystem() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;
    }
    xcb_flush(connection);
    xcb_generic_error_t* error = nullptr;
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), &error));
    std::free(error);
}

std::optional<PrivateConnection> openPrivateConnection() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
        return std::nullopt;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.data == nullptr) {
        xcb_disconnect(connection);
        return std::nullopt;
    }
    return PrivateConnection{connection, it.data};
}

} // namespace platform

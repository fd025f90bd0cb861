#pragma once

#include "platform/X11Server.h"

#include <QByteArray>
#include <QString>

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The program's own connection to the X server named by DISPLAY, separate from
// Qt's: it works with any Qt platform plugin (tests run offscreen against the
// rig's Xvfb) and its blocking round trips never stall Qt's event reader.
// Window and atom identifiers are server-wide, so ids read here match Qt's.
// Main thread only.
class X11Connection {
public:
    // The shared connection, opened on first use; null when no X server can be
    // reached. A connection that broke is reopened on the next call.
    static X11Connection* shared();

    explicit X11Connection(xcb_connection_t* connection, int screenNumber);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return connection_; }
    xcb_screen_t* screen() const { return screen_; }
    xcb_window_t root() const { return screen_->root; }
    bool hasError() const { return xcb_connection_has_error(connection_) != 0; }

    // Interned atom, cached; XCB_ATOM_NONE when the server refuses.
    xcb_atom_t atom(const char* name);
    QString atomName(xcb_atom_t atom);

    // Raw property value (format 8, 16 or 32), or nothing when absent.
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        std::uint8_t format = 0;
        QByteArray data;
        std::vector<std::uint32_t> words() const;
    };
    std::optional<Property> property(xcb_window_t window, xcb_atom_t name,
                                     std::uint32_t maxWords = 1u << 20);

private:
    xcb_connection_t* connection_;
    xcb_screen_t* screen_ = nullptr;
    struct AtomCache;
    std::unique_ptr<AtomCache> atoms_;
};

// A connection of its own to the X server named by DISPLAY, with its default
// screen, for a worker thread that must not share anyone's connection; none
// when no server can be reached. The caller disconnects it.
struct PrivateConnection {
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
};
std::optional<PrivateConnection> openPrivateConnection();

} // namespace platform

#include "platform/DisplayServer.h"

#include <QCoreApplication>

#include <cstdlib>
#include <xcb/xcb.h>

namespace platform {

DisplayServer detectDisplayServer() {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') {
        xcb_connection_t* connection = xcb_connect(display, nullptr);
        const bool ok = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        if (ok) {
            return DisplayServer::X11;
        }
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
        return DisplayServer::WaylandOnly;
    }
    return DisplayServer::None;
}

QString displayServerProblem(DisplayServer server) {
    switch (server) {
    case DisplayServer::X11:
        return {};
    case DisplayServer::WaylandOnly:
        //: Printed at start when the session is Wayland without an X server
        return QCoreApplication::translate(
            "DisplayServer", "Vexlin Capture needs an X11 session. This Wayland session has no X "
                             "server that it can reach (DISPLAY is not usable).");
    case DisplayServer::None:
        break;
    }
    //: Printed at start when no X server can be reached
    return QCoreApplication::translate(
        "DisplayServer", "Vexlin Capture needs an X11 session, but no X server could be reached. "
                         "Set DISPLAY to a running X server.");
}

} // namespace platform

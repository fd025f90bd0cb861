#include "platform/WindowManagerRequests.h"

#include "platform/X11Connection.h"

#include <QGuiApplication>
#include <QWindow>

namespace platform {

namespace {

// _NET_ACTIVE_WINDOW's source indication for a pager or task bar.
constexpr std::uint32_t kSourcePager = 2;

} // namespace

bool requestWindowActivation(QWindow* window) {
    // Only on xcb is Qt's window id an X window.
    if (window == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return false;
    }
    const xcb_atom_t type = x11->atom("_NET_ACTIVE_WINDOW");
    if (type == XCB_ATOM_NONE) {
        return false;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = type;
    event.data.data32[0] = kSourcePager;
    // No X event of the user's led here (the second start came from a terminal
    // or a launcher), so there is no time of a user action to give.
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x11->get(), 0, x11->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11->get());
    return !x11->hasError();
}

} // namespace platform

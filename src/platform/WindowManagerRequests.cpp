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
    return requestWindowActivation(static_cast<std::uint32_t>(window->winId()));
}

bool requestWindowActivation(std::uint32_t window) {
    X11Connection* x11 = window != 0 ? X11Connection::shared() : nullptr;
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
    event.window = window;
    event.type = type;
    event.data.data32[0] = kSourcePager;
    // No X event of the user's led here (the second start came from a terminal
    // or a launcher, a popover closed), so there is no time of a user action
    // to give.
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x11->get(), 0, x11->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11->get());
    return !x11->hasError();
}

std::optional<std::uint32_t> activeWindow() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return std::nullopt;
    }
    const xcb_atom_t name = x11->atom("_NET_ACTIVE_WINDOW");
    if (name == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto property = x11->property(x11->root(), name, 1);
    if (!property) {
        return std::nullopt;
    }
    const std::vector<std::uint32_t> words = property->words();
    if (words.empty() || words[0] == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return words[0];
}

} // namespace platform

#include "platform/WindowManagerRequests.h"

#include "platform/X11Connection.h"

namespace platform {

namespace {

// Source indication of _NET_ACTIVE_WINDOW: 2 = a pager or task bar, i.e. a
// direct request of the user's.
constexpr std::uint32_t kSourcePager = 2;
// ICCCM's IconicState.
constexpr std::uint32_t kIconicState = 3;

bool sendToRoot(const char* message, std::uint32_t window, std::uint32_t first) {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr || window == 0) {
        return false;
    }
    const xcb_atom_t type = x11->atom(message);
    if (type == XCB_ATOM_NONE) {
        return false;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = first;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x11->get(), 0, x11->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11->get());
    return !x11->hasError();
}

} // namespace

bool requestWindowActivation(std::uint32_t window) {
    return sendToRoot("_NET_ACTIVE_WINDOW", window, kSourcePager);
}

bool requestWindowIconify(std::uint32_t window) {
    return sendToRoot("WM_CHANGE_STATE", window, kIconicState);
}

} // namespace platform

#include "platform/WindowManagerHints.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <numeric>

namespace platform {

namespace {

// WM_NORMAL_HINTS (ICCCM 4.1.2.3): flags, four obsolete words, minimum and
// maximum size, increments, then the minimum and maximum aspect as
// numerator and denominator, base size and gravity; 18 words.
constexpr std::size_t kHintWords = 18;
constexpr std::uint32_t kMinSizeFlag = 1u << 4;
constexpr std::uint32_t kAspectFlag = 1u << 7;
constexpr std::size_t kMinSize = 5;
constexpr std::size_t kMinAspect = 11;
constexpr std::size_t kMaxAspect = 13;

constexpr std::uint32_t kAllDesktops = 0xFFFFFFFFu;
constexpr std::uint32_t kStateAdd = 1;
constexpr std::uint32_t kSourceApplication = 1;

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t result = XCB_ATOM_NONE;
    if (reply != nullptr) {
        result = reply->atom;
    }
    std::free(reply);
    return result;
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window) {
    auto* reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    xcb_window_t root = XCB_WINDOW_NONE;
    if (reply != nullptr) {
        root = reply->root;
    }
    std::free(reply);
    return root;
}

void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::array<std::uint32_t, 5> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

} // namespace

bool setResizeHints(std::uint64_t window, QSize ratio, QSize minimum) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || window == 0 || ratio.width() <= 0 || ratio.height() <= 0) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window);
    // Keep what Qt wrote (position, maximum size, gravity); add the rest.
    std::array<std::uint32_t, kHintWords> hints{};
    auto* reply = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, kHintWords),
        nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto words = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
        std::memcpy(hints.data(), xcb_get_property_value(reply), std::min(words, kHintWords) * 4);
    }
    std::free(reply);
    const int divisor = std::gcd(ratio.width(), ratio.height());
    const auto numerator = static_cast<std::uint32_t>(ratio.width() / divisor);
    const auto denominator = static_cast<std::uint32_t>(ratio.height() / divisor);
    hints[0] |= kAspectFlag | kMinSizeFlag;
    hints[kMinSize] = static_cast<std::uint32_t>(std::max(minimum.width(), 1));
    hints[kMinSize + 1] = static_cast<std::uint32_t>(std::max(minimum.height(), 1));
    hints[kMinAspect] = hints[kMaxAspect] = numerator;
    hints[kMinAspect + 1] = hints[kMaxAspect + 1] = denominator;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, kHintWords, hints.data());
    xcb_flush(c);
    return true;
}

bool showOnAllDesktops(std::uint64_t window) {
    xcb_connection_t* c = qtConnection();
    if (c == nullptr || window == 0) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_window_t root = rootOf(c, id);
    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
    if (root == XCB_WINDOW_NONE || desktop == XCB_ATOM_NONE || state == XCB_ATOM_NONE ||
        sticky == XCB_ATOM_NONE) {
        return false;
    }
    // A window manager reads the property when it maps the window and takes
    // the messages once it manages it; either way the window ends up sticky.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    sendToRoot(c, root, id, desktop, {kAllDesktops, kSourceApplication, 0, 0, 0});
    sendToRoot(c, root, id, state, {kStateAdd, sticky, 0, kSourceApplication, 0});
    xcb_flush(c);
    return true;
}

} // namespace platform

// Runs only on a real X server without a window manager (the x11 rig with
// --no-wm): the test takes the window manager's place and reads what arrives.
#include "platform/WindowManagerRequests.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWindow>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The first client message of the type that reaches `connection` within 5 s
// (Qt sends others of its own to the root).
std::optional<xcb_client_message_event_t> nextClientMessage(xcb_connection_t* connection,
                                                            xcb_atom_t type) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            std::optional<xcb_client_message_event_t> message;
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                reinterpret_cast<xcb_client_message_event_t*>(event)->type == type) {
                message = *reinterpret_cast<xcb_client_message_event_t*>(event);
            }
            std::free(event);
            if (message) {
                return message;
            }
        }
        QThread::msleep(10);
    }
    return std::nullopt;
}

TEST(WindowManagerRequestsOnX11, ActivationIsAskedAsATaskBarAsksIt) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    std::unique_ptr<xcb_connection_t, Disconnect> manager(xcb_connect(nullptr, nullptr));
    ASSERT_EQ(xcb_connection_has_error(manager.get()), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(manager.get())).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_generic_error_t* error = xcb_request_check(
        manager.get(),
        xcb_change_window_attributes_checked(manager.get(), root, XCB_CW_EVENT_MASK, &mask));
    const bool managing = error == nullptr;
    std::free(error);
    ASSERT_TRUE(managing) << "another window manager runs";

    QWindow window;
    window.create();
    ASSERT_TRUE(platform::requestWindowActivation(&window));
    const std::optional<xcb_client_message_event_t> message =
        nextClientMessage(manager.get(), atom(manager.get(), "_NET_ACTIVE_WINDOW"));
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->window, window.winId());
    EXPECT_EQ(message->format, 32);
    // From a pager: granted even when the user's last input went elsewhere.
    EXPECT_EQ(message->data.data32[0], 2u);
}

} // namespace

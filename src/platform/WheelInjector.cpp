#include "platform/WheelInjector.h"

#include "platform/X11Connection.h"

#include <xcb/xtest.h>

#include <cstdlib>

namespace platform {

namespace {

constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kWheelDown = 5;

} // namespace

WheelInjector* WheelInjector::shared() {
    if (X11Connection::shared() == nullptr) {
        return nullptr;
    }
    static WheelInjector injector;
    return &injector;
}

bool WheelInjector::canPostEvents() {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr) {
        return false;
    }
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(x11->get(), &xcb_test_id);
    return data != nullptr && data->present;
}

void WheelInjector::wheel(int clicks) {
    X11Connection* x11 = X11Connection::shared();
    if (x11 == nullptr || clicks == 0 || !canPostEvents()) {
        return;
    }
    const std::uint8_t button = clicks > 0 ? kWheelDown : kWheelUp;
    for (int i = 0; i < std::abs(clicks); ++i) {
        xcb_test_fake_input(x11->get(), XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE,
                            0, 0, 0);
        xcb_test_fake_input(x11->get(), XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME,
                            XCB_WINDOW_NONE, 0, 0, 0);
    }
    xcb_flush(x11->get());
}

} // namespace platform

#pragma once

namespace platform {

// Turns the mouse wheel as if the user did, through the XTEST extension, for
// whatever window is under the pointer. The wheel is buttons 4 (up) and 5
// (down), each press and release one click: X11 has no finer wheel than that,
// and how far one click scrolls is up to the program that gets it. Main
// thread only.
class WheelInjector {
public:
    // Null without an X server.
    static WheelInjector* shared();

    // Whether the server takes synthetic input (XTEST is present).
    bool canPostEvents();

    // `clicks` > 0 scrolls the content down (further into the page), < 0 up.
    void wheel(int clicks);

private:
    WheelInjector() = default;
};

} // namespace platform

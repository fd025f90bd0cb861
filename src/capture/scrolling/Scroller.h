#pragma once

#include <QPointF>

#include <memory>

namespace capture {

// What auto-scroll does to the pointer and the wheel, in global points.
class Scroller {
public:
    virtual ~Scroller() = default;
    // Whether synthetic input may be posted; never asks the user.
    virtual bool preflight() = 0;
    // Asks for it; true when it is granted now.
    virtual bool request() = 0;
    // Shows the user where to allow it, where the desktop has such a place.
    virtual void openAccessibilitySettings() = 0;
    virtual void warpPointer(QPointF global) = 0;
    virtual QPointF pointer() = 0;
    // Turns the wheel under the pointer: `clicks` > 0 scrolls the content
    // down, < 0 up.
    virtual void wheel(int clicks) = 0;
};

// The X server's pointer and the XTEST wheel.
std::shared_ptr<Scroller> makeX11Scroller();

} // namespace capture

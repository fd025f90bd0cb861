#include "capture/scrolling/Scroller.h"

#include "platform/WheelInjector.h"

#include <QCursor>

namespace capture {

namespace {

// X11 has no gate for synthetic input: it is there when the server has XTEST.
// The pointer goes through Qt, which maps global points to root pixels.
class X11Scroller : public Scroller {
public:
    bool preflight() override {
        platform::WheelInjector* injector = platform::WheelInjector::shared();
        return injector != nullptr && injector->canPostEvents();
    }
    bool request() override { return preflight(); }
    // No desktop settings page can add XTEST to a running server.
    void openAccessibilitySettings() override {}
    void warpPointer(QPointF global) override { QCursor::setPos(global.toPoint()); }
    QPointF pointer() override { return QCursor::pos(); }
    void wheel(int clicks) override {
        if (platform::WheelInjector* injector = platform::WheelInjector::shared()) {
            injector->wheel(clicks);
        }
    }
};

} // namespace

std::shared_ptr<Scroller> makeX11Scroller() {
    return std::make_shared<X11Scroller>();
}

} // namespace capture

#include "platform/GlobalKeyGrabber.h"

#include "platform/X11KeyGrabber.h"

#include <QGuiApplication>

namespace platform {

namespace {

// Off X11 (the offscreen platform, Wayland) nothing can be grabbed, and every
// grab says so.
class UnavailableKeyGrabber final : public GlobalKeyGrabber {
public:
    GrabResult grab(quint32, XKeyCombo) override { return GrabResult::unavailable; }
    void ungrab(quint32) override {}
    void setOnPressed(std::function<void(quint32)>) override {}
};

} // namespace

std::unique_ptr<GlobalKeyGrabber> createGlobalKeyGrabber() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app != nullptr) {
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
            if (xcb_connection_t* connection = x11->connection()) {
                return std::make_unique<X11KeyGrabber>(connection);
            }
        }
    }
    return std::make_unique<UnavailableKeyGrabber>();
}

} // namespace platform

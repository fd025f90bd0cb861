#include "delivery/PinManager.h"

#include "delivery/PinGeometry.h"
#include "delivery/PinWindow.h"
#include "desktop/ScreenGeometry.h"
#include "platform/MainThread.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace delivery {

PinManager& PinManager::shared() {
    // Never destroyed: its pins are windows, which must not outlive the
    // application object a static would outlive.
    static PinManager* instance = new PinManager;
    return *instance;
}

PinManager::PinManager() = default;

PinManager::~PinManager() {
    for (PinWindow* pin : pins_) {
        delete pin;
    }
}

void PinManager::pin(const app::Capture& capture) {
    platform::assertMainThread();
    if (capture.image.isNull()) {
        return;
    }
    QScreen* screen = desktop::ScreenGeometry::screenUnderPointer();
    if (screen == nullptr && !QGuiApplication::screens().isEmpty()) {
        screen = QGuiApplication::screens().first();
    }
    if (screen == nullptr) {
        return;
    }
    const QRectF frame =
        pinGeometry::newPinFrame(pinGeometry::pointSize(capture.image.size(), capture.scale),
                                 screen->availableGeometry(), static_cast<int>(pins_.size()));
    auto* pin = new PinWindow(capture, this, frame);
    pins_.push_back(pin);
    pin->present();
}

void PinManager::close(PinWindow* pin) {
    platform::assertMainThread();
    const auto found = std::find(pins_.begin(), pins_.end(), pin);
    if (found == pins_.end()) {
        return;
    }
    pins_.erase(found);
    pin->hide();
    // Closing comes from the pin's own button, menu or keys, whose handlers
    // are still running.
    pin->deleteLater();
}

std::set<std::uint32_t> PinManager::windowNumbers() const {
    std::set<std::uint32_t> numbers;
    for (const PinWindow* pin : pins_) {
        numbers.insert(static_cast<std::uint32_t>(pin->winId()));
    }
    return numbers;
}

} // namespace delivery

#include "capture/ScreenshotFlow.h"

#include "app/Preferences.h"
#include "capture/CaptureCoordinator.h"
#include "capture/ScreenCapturer.h"
#include "desktop/ScreenGeometry.h"

#include <QUuid>

#include <algorithm>

namespace capture {

namespace {

std::variant<SelectionPicture, desktop::CaptureError> shootDisplayUnderPointer() {
    QScreen* screen = desktop::ScreenGeometry::screenUnderPointer();
    if (screen == nullptr) {
        return desktop::CaptureError::noDisplays;
    }
    auto taken = ScreenCapturer::displaySnapshots({screen}, app::Preferences::shared().showCursor(),
                                                  ScreenCapturer::keepSet());
    if (const auto* error = std::get_if<desktop::CaptureError>(&taken)) {
        return *error;
    }
    const auto& snapshots = std::get<std::vector<desktop::DisplaySnapshot>>(taken);
    if (snapshots.empty()) {
        return desktop::CaptureError::noDisplays;
    }
    return SelectionPicture{snapshots.front().image, snapshots.front().scale, false};
}

} // namespace

ScreenshotFlow::Services ScreenshotFlow::defaultServices() {
    Services services;
    services.shootDisplayUnderPointer = &shootDisplayUnderPointer;
    services.windowShadow = [] { return app::Preferences::shared().windowShadow(); };
    services.addWindowShadow = &ScreenCapturer::addWindowShadow;
    services.now = [] { return QDateTime::currentDateTime(); };
    return services;
}

ScreenshotFlow::ScreenshotFlow(std::shared_ptr<const ScreenshotDelivery> delivery,
                               Services services)
    : delivery_(std::move(delivery)), services_(std::move(services)) {
    Q_ASSERT(delivery_ != nullptr);
}

std::optional<CaptureFailure> ScreenshotFlow::captureFullScreen(CaptureCoordinator& coordinator) {
    auto shot = services_.shootDisplayUnderPointer();
    if (const auto* error = std::get_if<desktop::CaptureError>(&shot)) {
        return CaptureFailure::of(*error);
    }
    coordinator.clearBusy();
    deliver(coordinator, std::get<SelectionPicture>(shot));
    return std::nullopt;
}

void ScreenshotFlow::selectionEnded(CaptureCoordinator& coordinator,
                                    const SelectionOutcome& outcome) {
    coordinator.clearBusy();
    switch (outcome.kind) {
    case SelectionOutcome::Kind::area:
    case SelectionOutcome::Kind::display:
        if (outcome.picture) {
            deliver(coordinator, *outcome.picture);
        }
        return;
    case SelectionOutcome::Kind::window:
        if (outcome.picture) {
            SelectionPicture picture = *outcome.picture;
            // Only a window by itself gets the shadow: a cut from the screen
            // would get one around whatever else it shows.
            if (picture.isWindowAlone && services_.windowShadow && services_.windowShadow() &&
                services_.addWindowShadow) {
                picture.image = services_.addWindowShadow(picture.image, picture.scale);
            }
            deliver(coordinator, picture);
        }
        return;
    case SelectionOutcome::Kind::failed:
        coordinator.presentCaptureError(CaptureFailure::of(outcome));
        return;
    case SelectionOutcome::Kind::cancelled:
        return;
    }
}

void ScreenshotFlow::deliver(CaptureCoordinator& coordinator, const SelectionPicture& picture) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = picture.image;
    capture.scale = std::max<double>(picture.scale, 1.0);
    capture.date = services_.now ? services_.now() : QDateTime::currentDateTime();
    delivery_->deliver(std::move(capture), coordinator);
}

} // namespace capture

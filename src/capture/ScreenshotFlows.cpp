#include "capture/ScreenshotFlows.h"

#include "app/HotKeyCenter.h"
#include "app/Preferences.h"
#include "capture/ScreenCapturer.h"
#include "capture/ScrollingFlows.h"
#include "capture/UnbuiltCaptureFlows.h"
#include "capture/selection/SelectionOpening.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <QGuiApplication>
#include <QPointer>
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

std::variant<ScreenshotFlows::SelectionHandle, desktop::CaptureError>
openSelection(SelectionMode mode, ScreenshotFlows::SelectionCompletion completion) {
    return openCaptureSelection(mode, true, QString(), std::move(completion));
}

} // namespace

ScreenshotFlows::Services ScreenshotFlows::defaultServices() {
    Services services;
    services.shootDisplayUnderPointer = &shootDisplayUnderPointer;
    services.openSelection = &openSelection;
    services.windowShadow = [] { return app::Preferences::shared().windowShadow(); };
    services.addWindowShadow = &ScreenCapturer::addWindowShadow;
    services.now = [] { return QDateTime::currentDateTime(); };
    services.delivery = ScreenshotDelivery::defaultServices();
    services.others = std::make_shared<ScrollingFlows>(ScrollingFlows::defaultServices());
    return services;
}

ScreenshotFlows::ScreenshotFlows(Services services)
    : services_(std::move(services)), delivery_(services_.delivery) {}

ScreenshotFlows::~ScreenshotFlows() = default;

CaptureFailure ScreenshotFlows::failureOf(desktop::CaptureError error) {
    return {desktop::errorDescription(error), false};
}

std::optional<CaptureFailure> ScreenshotFlows::captureFullScreen(CaptureCoordinator& coordinator) {
    auto shot = services_.shootDisplayUnderPointer();
    if (const auto* error = std::get_if<desktop::CaptureError>(&shot)) {
        return failureOf(*error);
    }
    coordinator.clearBusy();
    deliver(coordinator, std::get<SelectionPicture>(shot));
    return std::nullopt;
}

std::optional<CaptureFailure> ScreenshotFlows::select(CaptureCoordinator& coordinator,
                                                      CaptureCoordinator::SelectionMode mode,
                                                      CaptureCoordinator::Purpose purpose) {
    if (purpose != CaptureCoordinator::Purpose::screenshot) {
        if (services_.others) {
            return services_.others->select(coordinator, mode, purpose);
        }
        return UnbuiltCaptureFlows::unavailable();
    }
    const SelectionMode selectionMode = mode == CaptureCoordinator::SelectionMode::window
                                            ? SelectionMode::window
                                            : SelectionMode::area;
    const auto error = selection_.open(
        [this, selectionMode](HeldSelection::Completion completion) {
            return services_.openSelection(selectionMode, std::move(completion));
        },
        coordinator,
        [this](CaptureCoordinator& owner, const SelectionOutcome& outcome) {
            selectionEnded(owner, outcome);
        });
    if (error) {
        return failureOf(*error);
    }
    return std::nullopt;
}

void ScreenshotFlows::selectionEnded(CaptureCoordinator& coordinator,
                                     const SelectionOutcome& outcome) {
    takeScreenshot(coordinator, outcome);
}

void ScreenshotFlows::takeScreenshot(CaptureCoordinator& coordinator,
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
        coordinator.presentCaptureError(
            failureOf(outcome.error.value_or(desktop::CaptureError::noDisplays)));
        return;
    case SelectionOutcome::Kind::cancelled:
        return;
    }
}

void ScreenshotFlows::deliver(CaptureCoordinator& coordinator, const SelectionPicture& picture) {
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = picture.image;
    capture.scale = std::max<double>(picture.scale, 1.0);
    capture.date = services_.now ? services_.now() : QDateTime::currentDateTime();
    const QPointer<CaptureCoordinator> owner(&coordinator);
    delivery_.deliver(std::move(capture), coordinator.delivery(),
                      [owner](const CaptureFailure& failure) {
                          if (owner) {
                              owner->presentCaptureError(failure);
                          }
                      });
}

} // namespace capture

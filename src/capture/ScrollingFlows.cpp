#include "capture/ScrollingFlows.h"

#include "app/HotKeyCenter.h"
#include "app/Preferences.h"
#include "capture/ScreenCapturer.h"
#include "capture/TextAndRecordingFlows.h"
#include "capture/UnbuiltCaptureFlows.h"
#include "capture/scrolling/ScrollingCaptureSession.h"
#include "capture/selection/SelectionOpening.h"
#include "desktop/EscapeKey.h"
#include "desktop/ScreenGeometry.h"
#include "desktop/WindowList.h"

#include <QGuiApplication>
#include <QPointer>

namespace capture {

namespace {

std::variant<ScrollingFlows::SelectionHandle, desktop::CaptureError>
openSelection(SelectionMode mode, ScrollingFlows::SelectionCompletion completion) {
    // The capture reads the screen itself once the overlay is gone.
    return openCaptureSelection(mode, false, QString(), std::move(completion));
}

} // namespace

ScrollingFlows::Services ScrollingFlows::defaultServices() {
    Services services;
    services.openSelection = &openSelection;
    services.makeSession = [](const desktop::CaptureDisplay& display, const QRectF& region,
                              SessionCompletion completion) {
        return std::make_shared<ScrollingCaptureSession>(region, display, std::move(completion));
    };
    services.escapeKey = &desktop::globalEscapeKey();
    services.scheduler = &desktop::mainScheduler();
    services.delivery = ScreenshotDelivery::defaultServices();
    services.others =
        std::make_shared<TextAndRecordingFlows>(TextAndRecordingFlows::defaultServices());
    return services;
}

ScrollingFlows::ScrollingFlows(Services services)
    : services_(std::move(services)), delivery_(services_.delivery) {
    Q_ASSERT(services_.escapeKey != nullptr && services_.scheduler != nullptr);
}

ScrollingFlows::~ScrollingFlows() {
    alive_.reset();
}

std::optional<CaptureFailure> ScrollingFlows::captureFullScreen(CaptureCoordinator& coordinator) {
    if (services_.others) {
        return services_.others->captureFullScreen(coordinator);
    }
    return UnbuiltCaptureFlows::unavailable();
}

std::optional<CaptureFailure> ScrollingFlows::select(CaptureCoordinator& coordinator,
                                                     CaptureCoordinator::SelectionMode mode,
                                                     CaptureCoordinator::Purpose purpose) {
    if (purpose != CaptureCoordinator::Purpose::scrolling) {
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
            startScrolling(owner, outcome);
        });
    if (error) {
        return CaptureFailure{desktop::errorDescription(*error), false};
    }
    return std::nullopt;
}

std::optional<std::pair<desktop::CaptureDisplay, QRectF>>
ScrollingFlows::regionOf(const SelectionOutcome& outcome) {
    if (!outcome.display) {
        return std::nullopt;
    }
    const desktop::CaptureDisplay& display = *outcome.display;
    const QRectF whole(QPointF(0, 0), display.frame.size());
    switch (outcome.kind) {
    case SelectionOutcome::Kind::area:
        return std::pair{display, outcome.rect};
    case SelectionOutcome::Kind::window: {
        if (!outcome.window) {
            return std::nullopt;
        }
        const QRectF local =
            outcome.window->frame.translated(-display.frame.topLeft()).intersected(whole);
        if (local.isEmpty()) {
            return std::nullopt;
        }
        return std::pair{display, local};
    }
    case SelectionOutcome::Kind::display:
        return std::pair{display, whole};
    case SelectionOutcome::Kind::failed:
    case SelectionOutcome::Kind::cancelled:
        break;
    }
    return std::nullopt;
}

void ScrollingFlows::startScrolling(CaptureCoordinator& coordinator,
                                    const SelectionOutcome& outcome) {
    if (outcome.kind == SelectionOutcome::Kind::failed) {
        coordinator.clearBusy();
        coordinator.presentCaptureError(
            {desktop::errorDescription(outcome.error.value_or(desktop::CaptureError::noDisplays)),
             false});
        return;
    }
    const auto region = regionOf(outcome);
    if (!region || region->second.width() < minimumSide || region->second.height() < minimumSide) {
        coordinator.clearBusy();
        return;
    }
    const std::weak_ptr<bool> alive = alive_;
    const QPointer<CaptureCoordinator> owner(&coordinator);
    std::shared_ptr<ScrollingSessionHandle> session =
        services_.makeSession(region->first, region->second,
                              [this, alive, owner](const std::optional<app::Capture>& capture) {
                                  if (!alive.expired() && owner) {
                                      finishScrolling(*owner, capture);
                                  }
                              });
    coordinator.setScrolling(session);
    session->showPanels();
    const std::weak_ptr<ScrollingSessionHandle> weak = session;
    session->setEscape(services_.escapeKey->holdEscape([weak] {
        if (const auto held = weak.lock()) {
            held->cancelOnce();
        }
    }));
    // The coordinator stays busy until the session ends.
    pendingStart_ = services_.scheduler->after(std::chrono::milliseconds(0), [weak] {
        if (const auto held = weak.lock()) {
            held->start();
        }
    });
}

void ScrollingFlows::finishScrolling(CaptureCoordinator& coordinator,
                                     const std::optional<app::Capture>& capture) {
    // The session calls this last thing; dropping it here is its end.
    coordinator.setScrolling(nullptr);
    coordinator.clearBusy();
    if (!capture) {
        return;
    }
    const QPointer<CaptureCoordinator> owner(&coordinator);
    delivery_.deliver(*capture, coordinator.delivery(), [owner](const CaptureFailure& failure) {
        if (owner) {
            owner->presentCaptureError(failure);
        }
    });
}

} // namespace capture

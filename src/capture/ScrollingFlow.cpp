#include "capture/ScrollingFlow.h"

#include "capture/CaptureCoordinator.h"
#include "capture/OutcomeRegion.h"
#include "capture/scrolling/ScrollingCaptureSession.h"
#include "desktop/EscapeKey.h"

#include <QPointer>

namespace capture {

ScrollingFlow::Services ScrollingFlow::defaultServices() {
    Services services;
    services.makeSession = [](const desktop::CaptureDisplay& display, const QRectF& region,
                              SessionCompletion completion) {
        return std::make_shared<ScrollingCaptureSession>(region, display, std::move(completion));
    };
    services.escapeKey = &desktop::globalEscapeKey();
    services.scheduler = &desktop::mainScheduler();
    return services;
}

ScrollingFlow::ScrollingFlow(std::shared_ptr<const ScreenshotDelivery> delivery, Services services)
    : delivery_(std::move(delivery)), services_(std::move(services)) {
    Q_ASSERT(delivery_ != nullptr && services_.escapeKey != nullptr &&
             services_.scheduler != nullptr);
}

ScrollingFlow::~ScrollingFlow() {
    alive_.reset();
}

void ScrollingFlow::selectionEnded(CaptureCoordinator& coordinator,
                                   const SelectionOutcome& outcome) {
    if (outcome.kind == SelectionOutcome::Kind::failed) {
        coordinator.clearBusy();
        coordinator.presentCaptureError(CaptureFailure::of(outcome));
        return;
    }
    const std::optional<OutcomeRegion> target = regionOf(outcome);
    if (!target || target->region.width() < minimumSide || target->region.height() < minimumSide) {
        coordinator.clearBusy();
        return;
    }
    const std::weak_ptr<bool> alive = alive_;
    const QPointer<CaptureCoordinator> owner(&coordinator);
    std::shared_ptr<ScrollingSessionHandle> session =
        services_.makeSession(target->display, target->region,
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

void ScrollingFlow::finishScrolling(CaptureCoordinator& coordinator,
                                    const std::optional<app::Capture>& capture) {
    // The session calls this last thing; dropping it here is its end.
    coordinator.setScrolling(nullptr);
    coordinator.clearBusy();
    if (!capture) {
        return;
    }
    delivery_->deliver(*capture, coordinator);
}

} // namespace capture

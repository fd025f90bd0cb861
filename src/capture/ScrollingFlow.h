#pragma once

#include "app/Capture.h"
#include "capture/CaptureFlow.h"
#include "capture/RunningSessions.h"
#include "capture/ScreenshotDelivery.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureDisplay.h"
#include "desktop/Scheduler.h"

#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

namespace desktop {
class EscapeKey;
} // namespace desktop

namespace capture {

// A scrolling capture as its flow opens it, beyond what the coordinator needs.
class ScrollingSessionHandle : public ScrollingSessionControl {
public:
    // Shows the region's outline and the HUD.
    virtual void showPanels() = 0;
    // Starts the frames.
    virtual void start() = 0;
    // The Escape hold the session gives back when it ends.
    virtual void setEscape(int token) = 0;
    // Ends it without a picture, once (Escape).
    virtual void cancelOnce() = 0;
};

// The scrolling capture behind the coordinator's gates: a scrolling capture
// of the region the selection picked, for as long as the user scrolls, and
// the delivery of the tall picture through the shared delivery, like any
// screenshot. The coordinator stays busy for the whole capture.
// Main thread only.
class ScrollingFlow final : public CaptureFlow {
public:
    using SessionCompletion = std::function<void(const std::optional<app::Capture>& capture)>;

    // Regions narrower or lower than this start nothing.
    static constexpr double minimumSide = 40;

    struct Services {
        // Makes the session for a region in points of `display`.
        std::function<std::shared_ptr<ScrollingSessionHandle>(
            const desktop::CaptureDisplay& display, const QRectF& region,
            SessionCompletion completion)>
            makeSession;
        desktop::EscapeKey* escapeKey = nullptr;
        desktop::Scheduler* scheduler = nullptr;
    };
    // The real sessions, Escape key and event loop.
    static Services defaultServices();

    // `delivery` is the one every finished picture goes through.
    explicit ScrollingFlow(std::shared_ptr<const ScreenshotDelivery> delivery,
                           Services services = defaultServices());
    ~ScrollingFlow() override;

    // Starts a scrolling capture of the outcome's region.
    void selectionEnded(CaptureCoordinator& coordinator, const SelectionOutcome& outcome) override;
    // The session's end: forgets it, clears the busy flag, delivers.
    void finishScrolling(CaptureCoordinator& coordinator,
                         const std::optional<app::Capture>& capture);

    const std::shared_ptr<const ScreenshotDelivery>& delivery() const { return delivery_; }

private:
    std::shared_ptr<const ScreenshotDelivery> delivery_;
    Services services_;
    desktop::ScheduledCallPtr pendingStart_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace capture

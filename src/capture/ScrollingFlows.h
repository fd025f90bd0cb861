#pragma once

#include "app/Capture.h"
#include "capture/CaptureCoordinator.h"
#include "capture/ScreenshotDelivery.h"
#include "capture/selection/SelectionOpening.h"
#include "capture/selection/SelectionTypes.h"
#include "desktop/CaptureError.h"

#include <QObject>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

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

// The scrolling action behind the coordinator's gates: the selection overlay
// for the region, then a scrolling capture of it for as long as the user
// scrolls, and the delivery of the tall picture like any screenshot. The
// coordinator stays busy for the whole capture. Selections for other
// purposes go to `others`. Main thread only.
class ScrollingFlows final : public CaptureCoordinator::Flows {
public:
    using SelectionCompletion = std::function<void(const SelectionOutcome& outcome)>;
    using SelectionHandle = std::unique_ptr<QObject>;
    using SessionCompletion = std::function<void(const std::optional<app::Capture>& capture)>;

    // Regions narrower or lower than this start nothing.
    static constexpr double minimumSide = 40;

    struct Services {
        // Opens the selection overlay in `mode` (no pictures are taken).
        std::function<std::variant<SelectionHandle, desktop::CaptureError>(
            SelectionMode mode, SelectionCompletion completion)>
            openSelection;
        // Makes the session for a region in points of `display`.
        std::function<std::shared_ptr<ScrollingSessionHandle>(
            const desktop::CaptureDisplay& display, const QRectF& region,
            SessionCompletion completion)>
            makeSession;
        desktop::EscapeKey* escapeKey = nullptr;
        desktop::Scheduler* scheduler = nullptr;
        // How a finished scrolling capture is delivered: as any screenshot.
        ScreenshotDelivery::Services delivery;
        std::shared_ptr<CaptureCoordinator::Flows> others;
    };
    // The real overlay, sessions, Escape key and event loop, the screenshot
    // delivery; the other purposes are not built here.
    static Services defaultServices();

    explicit ScrollingFlows(Services services);
    ~ScrollingFlows() override;

    std::optional<CaptureFailure> captureFullScreen(CaptureCoordinator& coordinator) override;
    std::optional<CaptureFailure> select(CaptureCoordinator& coordinator,
                                         CaptureCoordinator::SelectionMode mode,
                                         CaptureCoordinator::Purpose purpose) override;

    // Starts a scrolling capture of the outcome's region.
    void startScrolling(CaptureCoordinator& coordinator, const SelectionOutcome& outcome);
    // The session's end: forgets it, clears the busy flag, delivers.
    void finishScrolling(CaptureCoordinator& coordinator,
                         const std::optional<app::Capture>& capture);

    // The display and region (points of that display, origin at its
    // top-left) an outcome stands for; nothing for a window wholly off its
    // display, a failure or a cancellation.
    static std::optional<std::pair<desktop::CaptureDisplay, QRectF>>
    regionOf(const SelectionOutcome& outcome);

private:
    Services services_;
    ScreenshotDelivery delivery_;
    HeldSelection selection_;
    desktop::ScheduledCallPtr pendingStart_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace capture

#pragma once

#include "app/Capture.h"
#include "capture/ScrollingFlow.h"
#include "capture/scrolling/AutoScrollPolicy.h"
#include "capture/scrolling/Scroller.h"
#include "capture/scrolling/ScrollingFrameReceiver.h"
#include "capture/scrolling/ScrollingHud.h"
#include "capture/scrolling/ScrollingStatus.h"
#include "desktop/CaptureDisplay.h"
#include "desktop/RegionFrameWindow.h"
#include "desktop/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QRectF>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace desktop {
class EscapeKey;
class RegionFrameWindow;
} // namespace desktop

namespace capture {

class ScrollingHudPanel;

// One scrolling capture, from the moment its region is chosen to the call of
// its completion: frames of the region go to the stitcher on the capture's
// own thread while the user (or auto-scroll) scrolls; the HUD shows the
// growing picture; Done hands the stitched picture back as a Capture, Cancel
// and Escape hand back nothing. Main thread only.
//
// Nothing it starts outlives it: ending it (or destroying it) at any moment,
// even while it is still starting, stops the frames, ends the capture thread
// and closes the panels, and a start that completes afterwards creates
// nothing.
class ScrollingCaptureSession final : public QObject, public ScrollingSessionHandle {
    Q_OBJECT
public:
    using Completion = std::function<void(const std::optional<app::Capture>&)>;
    using ms = std::chrono::milliseconds;

    struct Services {
        desktop::Scheduler* scheduler = nullptr;
        desktop::EscapeKey* escapeKey = nullptr;
        // The monotonic clock of auto-scroll.
        std::function<ms()> now;
        std::function<bool()> autoScrollImmediately;
        std::shared_ptr<Scroller> scroller;
        // Whether the display can still be read.
        std::function<bool(const desktop::CaptureDisplay&)> displayAvailable;
        ScrollingStreamFactory makeStream;
        // The clock of the previews, read on the capture thread.
        ScrollingFrameHandler::Clock frameClock;
        // The part of the display that panels may use, in global points.
        std::function<QRectF(const desktop::CaptureDisplay&)> visibleFrame;
    };
    // The event loop, the global Escape key, the settings, the X11 pointer
    // and wheel, and frames read from the screen.
    static Services defaultServices();

    enum class End { finish, cancel };

    // `region` is in points of `display`, origin at its top-left corner; it
    // is made integral.
    ScrollingCaptureSession(const QRectF& region, const desktop::CaptureDisplay& display,
                            Completion completion, Services services = defaultServices());
    ~ScrollingCaptureSession() override;

    ScrollingStatus& status() const { return *status_; }
    const QRectF& region() const { return region_; }
    const desktop::CaptureDisplay& captureDisplay() const { return display_; }

    // Shows the region's outline and the HUD beside it.
    void showPanels() override;
    // Starts the frames; may start auto-scroll 0.4 s later.
    void start() override;
    // Ends with the stitched picture.
    void finish() override;
    // Ends without a picture.
    void cancel();
    // Runs finish or cancel once, from the event loop; later calls do nothing.
    void endOnce(End end);
    // The Escape hold, released when the session ends.
    void setEscape(int token) override { escape_ = token; }
    void cancelOnce() override { endOnce(End::cancel); }

    bool isFinished() const override { return finished_; }
    void setFinished() override { finished_ = true; }
    bool hasEnded() const { return ended_; }

    // Auto-scroll.
    void startAutoScroll();
    void stopAutoScroll(const std::optional<QString>& note);
    void toggleAutoScroll();
    void autoScrollTick();
    void adjustAutoScroll(const ScrollingMessage& message, int appendedRows);
    const std::optional<AutoScrollPolicy>& autoScroll() const { return autoScroll_; }
    const WheelClicks& wheelClicks() const { return wheel_; }

    // An update of the frames, on the main thread.
    void apply(const ScrollingFrameUpdate& update);

    // What runs now, for the owner's checks.
    bool hasStream() const { return stream_ != nullptr; }
    bool hasReceiver() const { return receiver_ != nullptr; }
    ScrollingHudPanel* hud() const { return hud_; }
    desktop::RegionFrameWindow* frameWindow() const { return frameWindow_; }

    // The texts of auto-scroll.
    static QString unavailableNote();
    static QString pauseNote();

private:
    void streamStarted(const std::optional<QString>& error);
    void finishLater();
    void postScroll(double points);
    void teardown();
    void complete(const std::optional<app::Capture>& capture);
    QRect rootPixels() const;

    Services services_;
    std::shared_ptr<ScrollingStatus> status_;
    desktop::CaptureDisplay display_;
    QRectF region_;
    Completion completion_;
    // Declared before the stream: the stream stops before its receiver goes.
    std::unique_ptr<ScrollingFrameReceiver> receiver_;
    std::unique_ptr<ScrollingStream> stream_;
    QPointer<desktop::RegionFrameWindow> frameWindow_;
    QPointer<ScrollingHudPanel> hud_;
    std::optional<int> escape_;
    bool finished_ = false;
    bool ended_ = false;
    std::optional<AutoScrollPolicy> autoScroll_;
    desktop::ScheduledCallPtr autoScrollTimer_;
    desktop::ScheduledCallPtr autoScrollDelay_;
    desktop::ScheduledCallPtr pendingEnd_;
    WheelClicks wheel_;
};

} // namespace capture

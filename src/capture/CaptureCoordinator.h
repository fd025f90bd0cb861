#pragma once

#include "app/CaptureAction.h"
#include "capture/RunningSessions.h"
#include "capture/SelfTimerCountdown.h"
#include "desktop/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace desktop {
class EscapeKey;
} // namespace desktop

namespace capture {

// Why a capture step stopped, with the text the user reads.
struct CaptureFailure {
    QString description;
    // The user backed out (a closed folder chooser): nothing is shown.
    bool isUserCancellation = false;
};

// The one object every capture action passes through, whatever its trigger.
// Its gates decide in a fixed order whether an action toggles what is running,
// is ignored, must wait for permission or a self-timer, or starts a capture.
// Main thread only.
class CaptureCoordinator : public QObject {
    Q_OBJECT
public:
    // How the next finished screenshot is delivered.
    enum class Delivery { standard, copyOnly };
    // What a selection is for.
    enum class Purpose { screenshot, scrolling, text, recording };
    // What the selection overlay starts in.
    enum class SelectionMode { area, window };

    // The work behind the gates. A step returns the failure that stopped it at
    // once, or nothing when its flow took over; such a flow clears the busy
    // flag itself when it hands its result on (clearBusy()).
    class Flows {
    public:
        virtual ~Flows() = default;
        // A shot of the display under the pointer.
        virtual std::optional<CaptureFailure>
        captureFullScreen(CaptureCoordinator& coordinator) = 0;
        // Opens the selection overlay for the purpose.
        virtual std::optional<CaptureFailure> select(CaptureCoordinator& coordinator,
                                                     SelectionMode mode, Purpose purpose) = 0;
    };

    // Everything the gates consult and start; defaultServices() gives the
    // program's own.
    struct Services {
        // The self-timer delay in seconds (0 = off).
        std::function<int()> captureTimer;
        // Whether the screen may be captured; never asks the user.
        std::function<bool()> preflightScreenCapture;
        // Asks for it (on Linux: explains what is missing).
        std::function<void()> requestScreenCapture;
        // Opens the welcome window.
        std::function<void()> showWelcome;
        // The failure alert: its message and the failure's text.
        std::function<void(const QString& message, const QString& detail)> alert;
        std::shared_ptr<Flows> flows;
        desktop::Scheduler* scheduler = nullptr;
        desktop::EscapeKey* escapeKey = nullptr;
    };
    // The self-timer delay of the settings, the screen permission of this
    // session, no welcome window (the application shell sets it), a warning
    // box for failures, the screenshot flows (the other purposes are not
    // built yet), the event loop and the global Escape key.
    static Services defaultServices();

    explicit CaptureCoordinator(Services services = defaultServices(), QObject* parent = nullptr);
    ~CaptureCoordinator() override;

    // The entry of every capture action. `fromMenu` is true for the main and
    // status menus' items (the capture then waits 0.25 s for the menu to leave
    // the screen), false for hot keys and the status item's stop button.
    void perform(app::CaptureAction action, bool fromMenu);

    // Set by the application shell: the recording's progress text while a
    // recording runs, nothing when it ends.
    std::function<void(const std::optional<QString>& elapsed)> recordingIndicator;

    bool isBusy() const { return isBusy_; }
    Delivery delivery() const { return delivery_; }
    SelfTimerCountdown* selfTimer() const { return selfTimer_; }
    RecordingSessionControl* recording() const { return recording_.get(); }
    ScrollingSessionControl* scrolling() const { return scrolling_.get(); }

    // For the flows: a flow has handed on (or dropped) its result.
    void clearBusy() { isBusy_ = false; }
    // For the flows: the sessions they start and end.
    void setRecording(std::shared_ptr<RecordingSessionControl> session) {
        recording_ = std::move(session);
    }
    void setScrolling(std::shared_ptr<ScrollingSessionControl> session) {
        scrolling_ = std::move(session);
    }
    // The one failure alert of every flow: silent for a cancellation, the
    // welcome window when the permission is missing, else the alert.
    void presentCaptureError(const CaptureFailure& failure);

    // The menu's pause before a capture.
    static constexpr std::chrono::milliseconds menuDelay{250};
    // The actions that wait for the self-timer: all but scrolling and record.
    static bool waitsForSelfTimer(app::CaptureAction action);

private:
    void start(app::CaptureAction action, bool fromMenu);
    void runStep(app::CaptureAction action);
    void startSelfTimer(int seconds, app::CaptureAction action);
    void runSelfTimerThenCapture(app::CaptureAction action, bool fired);
    void dropSelfTimer();

    Services services_;
    std::shared_ptr<ScrollingSessionControl> scrolling_;
    std::shared_ptr<RecordingSessionControl> recording_;
    QPointer<SelfTimerCountdown> selfTimer_;
    bool isBusy_ = false;
    Delivery delivery_ = Delivery::standard;
    desktop::ScheduledCallPtr pendingStep_;
    desktop::ScheduledCallPtr pendingScrollingFinish_;
};

} // namespace capture

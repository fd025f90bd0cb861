#pragma once

#include "app/CaptureAction.h"
#include "capture/CaptureFlow.h"
#include "capture/RunningSessions.h"
#include "capture/SelfTimerCountdown.h"
#include "desktop/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace desktop {
class EscapeKey;
} // namespace desktop

namespace capture {

// The one object every capture action passes through, whatever its trigger.
// Its gates decide in a fixed order whether an action toggles what is running,
// is ignored, must wait for permission or a self-timer, or starts a capture.
// A capture then runs the full-screen flow, or opens the selection overlay
// with its purpose's hint and hands the outcome to that purpose's flow, as
// the table of flows it was given says. Main thread only.
class CaptureCoordinator : public QObject {
    Q_OBJECT
public:
    // How the next finished screenshot is delivered.
    enum class Delivery { standard, copyOnly };
    using Purpose = CapturePurpose;

    // What the selection overlay is opened with.
    struct SelectionRequest {
        SelectionMode mode = SelectionMode::area;
        // Whether a pick takes its picture before the outcome comes back.
        bool takesPictures = true;
        // The instruction shown near the top of the display; none when empty.
        QString hint;
    };
    // Keeps an open selection overlay alive; dropping it takes the overlay down.
    using SelectionHandle = std::unique_ptr<QObject>;
    using SelectionCompletion = std::function<void(const SelectionOutcome& outcome)>;

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
        // The alert of a picture taken but not saved: its message and text,
        // and what "Choose Folder…" does (none: no such button). Without it
        // the failure alert says it.
        std::function<void(const QString& message, const QString& detail,
                           std::function<void()> chooseFolder)>
            unsavedAlert;
        // Opens the selection overlay on every display; `completion` later
        // receives its one outcome.
        std::function<std::variant<SelectionHandle, desktop::CaptureError>(
            const SelectionRequest& request, SelectionCompletion completion)>
            openSelection;
        desktop::Scheduler* scheduler = nullptr;
        desktop::EscapeKey* escapeKey = nullptr;
    };
    // The self-timer delay of the settings, the screen permission of this
    // session, no welcome window (the application shell sets it), a warning
    // box for failures, the selection overlay over pictures of the displays,
    // the event loop and the global Escape key.
    static Services defaultServices();

    // `flows` is where every capture leads, for the coordinator's whole life.
    explicit CaptureCoordinator(CaptureFlows flows, Services services = defaultServices(),
                                QObject* parent = nullptr);
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
    // Whether a selection overlay is open.
    bool isSelecting() const { return selection_ != nullptr; }

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
    // The same alert under another title, for what is not a screenshot.
    void presentFailure(const QString& title, const CaptureFailure& failure);

    // The menu's pause before a capture.
    static constexpr std::chrono::milliseconds menuDelay{250};
    // The actions that wait for the self-timer: all but scrolling and record.
    static bool waitsForSelfTimer(app::CaptureAction action);
    // The instruction the overlay shows while the user picks for `purpose`.
    static QString selectionHint(Purpose purpose);
    // Whether the overlay takes a picture of the pick: only a screenshot and
    // text recognition read it; the others read the screen afterwards.
    static bool takesPictures(Purpose purpose);

private:
    void start(app::CaptureAction action, bool fromMenu);
    void runStep(app::CaptureAction action);
    std::optional<CaptureFailure> select(SelectionMode mode, Purpose purpose);
    void selectionEnded(const SelectionOutcome& outcome, Purpose purpose);
    void letGoOfSelection();
    void startSelfTimer(int seconds, app::CaptureAction action);
    void runSelfTimerThenCapture(app::CaptureAction action, bool fired);
    void dropSelfTimer();

    CaptureFlows flows_;
    Services services_;
    SelectionHandle selection_;
    std::shared_ptr<ScrollingSessionControl> scrolling_;
    std::shared_ptr<RecordingSessionControl> recording_;
    QPointer<SelfTimerCountdown> selfTimer_;
    bool isBusy_ = false;
    Delivery delivery_ = Delivery::standard;
    desktop::ScheduledCallPtr pendingStep_;
    desktop::ScheduledCallPtr pendingScrollingFinish_;
};

} // namespace capture

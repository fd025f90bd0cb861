#pragma once

#include "app/CaptureAction.h"
#include "capture/SelfTimerPanel.h"
#include "desktop/Scheduler.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

namespace desktop {
class EscapeKey;
} // namespace desktop

namespace capture {

// The number the self-timer shows.
class SelfTimerModel : public QObject {
    Q_OBJECT
public:
    explicit SelfTimerModel(int remaining) : remaining_(remaining) {}
    int remaining() const { return remaining_; }
    // Notifies only when the value changes.
    void setRemaining(int remaining);
Q_SIGNALS:
    void remainingChanged(int remaining);

private:
    int remaining_;
};

// The visible countdown before a delayed capture: a 96 x 96 panel in the
// middle of the screen under the pointer that counts down once a second. It
// ends once: run out (the capture starts) or cancelled by Escape, a click on
// it or the same action again. Main thread only.
class SelfTimerCountdown : public QObject {
    Q_OBJECT
public:
    using Model = SelfTimerModel;

    // The panel's side, in points.
    static constexpr int panelSide = 96;

    SelfTimerCountdown(int seconds, app::CaptureAction action, desktop::Scheduler& scheduler,
                       desktop::EscapeKey& escapeKey, QObject* parent = nullptr);
    ~SelfTimerCountdown() override;

    app::CaptureAction action() const { return action_; }
    const Model& model() const { return model_; }
    bool isEnded() const { return ended_; }
    // The panel while it is shown.
    SelfTimerPanel* panel() const { return panel_; }

    // Called once when the countdown ends: true when it ran out (one frame
    // after the panel went, so the panel is not in the picture), false at once
    // when it was cancelled.
    std::function<void(bool fired)> onEnd;

    // Shows the panel, starts the 1 s ticks and holds Escape. With no screen
    // to show it on, the countdown ends at once as cancelled.
    void start();
    // Ends the countdown; later calls do nothing.
    void end(bool fired);
    // end(false): the Escape handler and the panel's click.
    void cancel();

private:
    void tick();

    app::CaptureAction action_;
    desktop::Scheduler& scheduler_;
    desktop::EscapeKey& escapeKey_;
    Model model_;
    QPointer<SelfTimerPanel> panel_;
    desktop::ScheduledCallPtr timer_;
    desktop::ScheduledCallPtr firedCall_;
    bool ended_ = false;
    std::optional<int> escape_;
};

} // namespace capture

#include "desktop/Scheduler.h"

#include <QTimer>

namespace desktop {

namespace {

class TimerCall : public ScheduledCall {
public:
    TimerCall(std::chrono::milliseconds interval, bool repeats, std::function<void()> call)
        : timer_(new QTimer) {
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setSingleShot(!repeats);
        QObject::connect(timer_, &QTimer::timeout, timer_, std::move(call));
        timer_->start(interval);
    }
    ~TimerCall() override {
        // The call may be the one destroying this handle, so the timer (which
        // holds the running call) goes on the next turn.
        timer_->stop();
        timer_->deleteLater();
    }

private:
    QTimer* timer_;
};

class EventLoopScheduler : public Scheduler {
public:
    ScheduledCallPtr after(std::chrono::milliseconds delay, std::function<void()> call) override {
        return std::make_unique<TimerCall>(delay, false, std::move(call));
    }
    ScheduledCallPtr every(std::chrono::milliseconds interval,
                           std::function<void()> call) override {
        return std::make_unique<TimerCall>(interval, true, std::move(call));
    }
};

} // namespace

Scheduler& mainScheduler() {
    static EventLoopScheduler scheduler;
    return scheduler;
}

} // namespace desktop

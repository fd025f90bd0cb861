#include "service/UpdateClock.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace service {

namespace {

class BootClock : public UpdateClock {
public:
    BootClock() : fd_(timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
        if (fd_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                             [this] { expired(); });
        }
    }
    ~BootClock() override {
        notifier_.reset();
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    qint64 elapsedMs() const override {
        timespec now{};
        clock_gettime(CLOCK_BOOTTIME, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }

    void wakeAt(qint64 atMs, std::function<void()> fire) override {
        fire_ = std::move(fire);
        if (fd_ < 0) {
            return;
        }
        itimerspec spec{};
        const qint64 at = std::max<qint64>(atMs, 1);
        spec.it_value.tv_sec = at / 1000;
        spec.it_value.tv_nsec = (at % 1000) * 1000000;
        timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
    }
    void cancelWake() override {
        fire_ = nullptr;
        if (fd_ >= 0) {
            const itimerspec off{};
            timerfd_settime(fd_, 0, &off, nullptr);
        }
    }

private:
    void expired() {
        quint64 count = 0;
        [[maybe_unused]] const auto got = ::read(fd_, &count, sizeof count);
        if (auto fire = std::exchange(fire_, nullptr)) {
            fire();
        }
    }

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> fire_;
};

} // namespace

std::unique_ptr<UpdateClock> makeBootClock() {
    return std::make_unique<BootClock>();
}

} // namespace service

#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

namespace service {

// The clock the update schedule sleeps on. Its elapsed time goes on while the
// machine is suspended, so a laptop that slept through the day still checks
// when it wakes.
class UpdateClock {
public:
    virtual ~UpdateClock() = default;
    // Milliseconds since an arbitrary start, suspended time included.
    virtual qint64 elapsedMs() const = 0;
    // The wall-clock time, in UTC.
    virtual QDateTime now() const = 0;
    // Calls `fire` once when elapsedMs() reaches `atMs`; replaces any pending
    // wake-up.
    virtual void wakeAt(qint64 atMs, std::function<void()> fire) = 0;
    virtual void cancelWake() = 0;
};

// The system's boot-time clock (CLOCK_BOOTTIME) through a timerfd.
std::unique_ptr<UpdateClock> makeBootClock();

} // namespace service

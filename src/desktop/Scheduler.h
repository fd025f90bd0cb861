#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace desktop {

// A call waiting in a Scheduler; destroying the handle cancels it. Safe to
// destroy from inside the call itself.
class ScheduledCall {
public:
    virtual ~ScheduledCall() = default;
};
using ScheduledCallPtr = std::unique_ptr<ScheduledCall>;

// Where the capture overlays' delays and timers come from, so that their
// timing can be driven by a manual clock in tests.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Calls `call` once on the main thread, `delay` from now (0: the next turn
    // of the event loop, never synchronously).
    virtual ScheduledCallPtr after(std::chrono::milliseconds delay, std::function<void()> call) = 0;
    // Calls `call` every `interval` (> 0) until the handle goes.
    virtual ScheduledCallPtr every(std::chrono::milliseconds interval,
                                   std::function<void()> call) = 0;
};

// The main thread's event loop.
Scheduler& mainScheduler();

} // namespace desktop

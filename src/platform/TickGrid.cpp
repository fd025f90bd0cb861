#include "platform/TickGrid.h"

#include <algorithm>

namespace platform {

namespace {
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
}

TickGrid::TickGrid(HostTime origin, int fps) : origin_(origin), fps_(std::max(fps, 1)) {}

HostTime TickGrid::timeOf(std::int64_t tick) const {
    // Whole seconds first: tick × 10⁹ would overflow after some 290 years of
    // ticks at 1 fps, but tick / fps keeps even absurd counts in range.
    const std::int64_t seconds = tick / fps_;
    const std::int64_t rest = tick % fps_;
    return origin_ + seconds * kNanosecondsPerSecond + rest * kNanosecondsPerSecond / fps_;
}

std::int64_t TickGrid::tickAtOrBefore(HostTime now) const {
    if (now < origin_) {
        return -1;
    }
    const std::int64_t elapsed = now - origin_;
    const std::int64_t seconds = elapsed / kNanosecondsPerSecond;
    const std::int64_t rest = elapsed % kNanosecondsPerSecond;
    std::int64_t tick = seconds * fps_ + rest * fps_ / kNanosecondsPerSecond;
    // The division above may land one short where timeOf rounds down.
    while (timeOf(tick + 1) <= now) {
        ++tick;
    }
    while (tick > 0 && timeOf(tick) > now) {
        --tick;
    }
    return tick;
}

std::int64_t TickGrid::nextTick(std::int64_t done, HostTime now) const {
    return std::max(done + 1, tickAtOrBefore(now));
}

} // namespace platform

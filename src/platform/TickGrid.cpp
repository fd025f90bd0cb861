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

double TickThinning::share(double fullness) {
    constexpr double from = 0.5, to = 0.875, least = 0.125;
    const double along = std::clamp((fullness - from) / (to - from), 0.0, 1.0);
    return 1 - along * (1 - least);
}

bool TickThinning::take(std::int64_t tick, double fullness) {
    if (started_) {
        const double ticks = double(std::max<std::int64_t>(tick - last_, 1));
        credit_ = std::min(1.0, credit_ + ticks * share(fullness));
    }
    started_ = true;
    last_ = tick;
    // The margin keeps rounding from costing a tick.
    if (credit_ < 1 - 1e-9) {
        return false;
    }
    credit_ -= 1;
    return true;
}

} // namespace platform

#pragma once

#include "platform/MediaSamples.h"

#include <cstdint>

namespace platform {

// The instants a stream of frames is taken at: tick k falls at
// origin + k / fps seconds. Each instant is worked out from the origin, so
// rounding never adds up over a long recording.
class TickGrid {
public:
    TickGrid(HostTime origin, int fps);

    HostTime origin() const { return origin_; }
    int fps() const { return fps_; }
    HostTime timeOf(std::int64_t tick) const;
    // The last tick at or before `now`; -1 before the origin.
    std::int64_t tickAtOrBefore(HostTime now) const;
    // The tick to take after `done` when the clock reads `now`: the next one,
    // unless the grid has run past it; then the latest that is due, so a slow
    // grab skips instants instead of falling further and further behind.
    std::int64_t nextTick(std::int64_t done, HostTime now) const;

private:
    HostTime origin_;
    int fps_;
};

} // namespace platform

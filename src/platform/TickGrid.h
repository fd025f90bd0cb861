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

// Which ticks a stream takes while what it feeds falls behind, so that the
// frames it leaves out are spread evenly instead of lost in a run when the
// queue ahead overflows. Every tick is taken while that queue is at most half
// full: a consumer that keeps up on average (an encoder with its bursts at
// key frames, a slow write) empties it again on its own, and a tick left out
// then would be a frame lost for nothing. From there to 7/8 the share taken
// falls to one in eight, each tick adding its share to a credit and the tick
// that brings it to one being taken. The queue settles where the share
// matches what the consumer keeps up with, with room left for a moment when
// it stalls. Ticks that a slow grab ran past count as ticks of this share,
// so a late grab never leads to a tick left out on top.
class TickThinning {
public:
    // The share of ticks taken with the queue ahead `fullness` full (0 to 1).
    static double share(double fullness);
    // Whether to take `tick` (ticks grow; those a slow grab ran past count
    // too); the first asked is always taken.
    bool take(std::int64_t tick, double fullness);

private:
    double credit_ = 1;
    std::int64_t last_ = 0;
    bool started_ = false;
};

} // namespace platform

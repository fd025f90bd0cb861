#pragma once

#include <functional>

namespace platform {

// How one parallelFor call may split its work.
struct ParallelLimits {
    // Fewest indices in a range: work too small for two ranges runs on the
    // calling thread alone, so small jobs wake no other thread.
    int minimumChunk = 1;
    // Most threads at work at once, the caller among them; 0: as many as the
    // global thread pool allows (one per core unless changed).
    unsigned maxThreads = 0;
};

// Runs body(begin, end) over consecutive ranges that cover [0, count) once,
// on idle threads of the global thread pool and on the calling thread, and
// returns when every range is done. Ranges are claimed in order from a shared
// counter, so uneven work still spreads evenly. Only idle pool threads are
// taken and the caller works too, so a call from a pool thread, or with the
// pool busy, never waits for another task.
void parallelFor(int count, const std::function<void(int begin, int end)>& body,
                 ParallelLimits limits = {});

} // namespace platform

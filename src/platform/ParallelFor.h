#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// Runs task(0) … task(count - 1) on up to maxThreads threads (0: one per
// core), the calling thread among them, and returns when all have finished.
// Tasks are handed out in order from a shared counter, so uneven tasks still
// spread evenly. The caller works too, so calling this from a pool thread
// cannot starve.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& task,
                 unsigned maxThreads = 0);

// The number of threads parallelFor uses for maxThreads = 0.
unsigned hardwareThreads();

} // namespace platform

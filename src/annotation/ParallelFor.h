#pragma once

#include <functional>

namespace annotation {

// Runs body(begin, end) over [0, count) in chunks on the global thread pool
// and the calling thread, and returns when every chunk is done. Chunks that
// find no idle pool thread run on the calling thread, so it never waits on a
// busy pool.
void parallelFor(int count, const std::function<void(int begin, int end)>& body,
                 int minimumChunk = 16);

} // namespace annotation

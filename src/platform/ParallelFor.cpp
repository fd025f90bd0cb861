#include "platform/ParallelFor.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <latch>

namespace platform {

void parallelFor(int count, const std::function<void(int, int)>& body, ParallelLimits limits) {
    if (count <= 0) {
        return;
    }
    QThreadPool* pool = QThreadPool::globalInstance();
    int threads = std::max(1, pool->maxThreadCount());
    if (limits.maxThreads > 0 && limits.maxThreads < static_cast<unsigned>(threads)) {
        threads = static_cast<int>(limits.maxThreads);
    }
    // A few ranges a thread, so that a thread slowed by others catches up on
    // the ranges the rest have left.
    const int ranges = std::clamp(count / std::max(1, limits.minimumChunk), 1, threads * 4);
    const int helpers = std::min(threads, ranges) - 1;
    if (helpers <= 0) {
        body(0, count);
        return;
    }
    std::atomic<int> next{0};
    auto run = [&next, ranges, count, &body] {
        for (int range = next.fetch_add(1); range < ranges; range = next.fetch_add(1)) {
            const int begin = static_cast<int>(static_cast<long long>(count) * range / ranges);
            const int end = static_cast<int>(static_cast<long long>(count) * (range + 1) / ranges);
            body(begin, end);
        }
    };
    // The latch counts the helpers that were started; every local outlives
    // them, since this returns only once they are done.
    std::latch done(helpers);
    int started = 0;
    for (int i = 0; i < helpers; ++i) {
        if (pool->tryStart([&run, &done] {
                run();
                done.count_down();
            })) {
            ++started;
        }
    }
    done.count_down(helpers - started);
    run();
    done.wait();
}

} // namespace platform

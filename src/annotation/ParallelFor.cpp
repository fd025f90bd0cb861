#include "annotation/ParallelFor.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <latch>
#include <memory>

namespace annotation {

void parallelFor(int count, const std::function<void(int, int)>& body, int minimumChunk) {
    if (count <= 0) {
        return;
    }
    QThreadPool* pool = QThreadPool::globalInstance();
    const int workers = std::max(1, pool->maxThreadCount());
    const int chunks = std::clamp(count / std::max(1, minimumChunk), 1, workers * 4);
    if (chunks == 1) {
        body(0, count);
        return;
    }
    // Chunks are claimed from a shared counter, by pool threads and by the
    // caller alike; the latch counts the helpers that were started.
    auto next = std::make_shared<std::atomic<int>>(0);
    auto runChunks = [next, chunks, count, &body] {
        for (int chunk = next->fetch_add(1); chunk < chunks; chunk = next->fetch_add(1)) {
            const int begin = static_cast<int>(static_cast<long long>(count) * chunk / chunks);
            const int end = static_cast<int>(static_cast<long long>(count) * (chunk + 1) / chunks);
            body(begin, end);
        }
    };
    const int helpers = std::min(workers, chunks) - 1;
    std::latch done(helpers);
    int started = 0;
    for (int i = 0; i < helpers; ++i) {
        if (pool->tryStart([&runChunks, &done] {
                runChunks();
                done.count_down();
            })) {
            ++started;
        }
    }
    done.count_down(helpers - started);
    runChunks();
    done.wait();
}

} // namespace annotation

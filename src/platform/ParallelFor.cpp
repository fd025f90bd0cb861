#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace platform {

unsigned hardwareThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& task,
                 unsigned maxThreads) {
    const unsigned limit = maxThreads == 0 ? hardwareThreads() : maxThreads;
    const std::size_t threads = std::min<std::size_t>(limit, count);
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            task(i);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            task(i);
        }
    };
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) {
        helpers.emplace_back(work);
    }
    work();
}

} // namespace platform

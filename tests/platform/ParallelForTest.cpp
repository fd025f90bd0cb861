#include "platform/ParallelFor.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <mutex>
#include <set>
#include <vector>

namespace {

struct Calls {
    std::mutex mutex;
    std::vector<std::pair<int, int>> ranges;
    std::set<QThread*> threads;

    std::function<void(int, int)> body() {
        return [this](int begin, int end) {
            const std::scoped_lock lock(mutex);
            ranges.emplace_back(begin, end);
            threads.insert(QThread::currentThread());
        };
    }

    // Whether the ranges cover [0, count) once, without gaps or overlaps,
    // none of them empty.
    bool coverExactly(int count) {
        std::sort(ranges.begin(), ranges.end());
        int next = 0;
        for (const auto& [begin, end] : ranges) {
            if (begin != next || end <= begin) {
                return false;
            }
            next = end;
        }
        return next == count;
    }
};

TEST(ParallelFor, CoversEveryIndexOnceWithinTheThreadLimit) {
    struct Case {
        int count;
        platform::ParallelLimits limits;
        std::size_t maxRanges; // 0: any number
        std::size_t maxThreads;
    };
    const auto pool = static_cast<std::size_t>(QThreadPool::globalInstance()->maxThreadCount());
    const Case cases[] = {
        {1, {}, 1, 1},
        {7, {.minimumChunk = 16}, 1, 1}, // too small to split: the caller alone
        {31, {.minimumChunk = 16}, 1, 1},
        {1000, {}, 0, pool},
        {1000, {.minimumChunk = 300}, 3, 3},
        {1000, {.maxThreads = 1}, 1, 1},
        {1000, {.minimumChunk = 1, .maxThreads = 2}, 0, 2},
        {100003, {.minimumChunk = 16}, 0, pool},
    };
    for (const Case& c : cases) {
        Calls calls;
        platform::parallelFor(c.count, calls.body(), c.limits);
        EXPECT_TRUE(calls.coverExactly(c.count)) << c.count;
        if (c.maxRanges > 0) {
            EXPECT_LE(calls.ranges.size(), c.maxRanges) << c.count;
        }
        EXPECT_LE(calls.threads.size(), c.maxThreads) << c.count;
        // Work for one thread is the caller's alone (with more threads, a
        // helper may happen to take every range).
        if (c.maxThreads == 1) {
            EXPECT_EQ(calls.threads, std::set<QThread*>{QThread::currentThread()}) << c.count;
        }
    }

    for (const int none : {0, -5}) {
        Calls calls;
        platform::parallelFor(none, calls.body());
        EXPECT_TRUE(calls.ranges.empty()) << none;
    }
}

// Every pool thread busy with a call of its own: each call finds no idle
// helper and does its work itself instead of waiting for one.
TEST(ParallelFor, CallsFromEveryPoolThreadAtOnceFinish) {
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    std::atomic<int> waiting{threads};
    std::atomic<long long> total{0};
    std::latch finished(threads);
    for (int i = 0; i < threads; ++i) {
        pool->start([&] {
            // All of them start before any of them splits its work.
            waiting.fetch_sub(1);
            const QDeadlineTimer patience(10000);
            while (waiting.load() > 0 && !patience.hasExpired()) {
                QThread::yieldCurrentThread();
            }
            platform::parallelFor(10000, [&](int begin, int end) { total.fetch_add(end - begin); },
                                  {.minimumChunk = 1});
            finished.count_down();
        });
    }
    finished.wait();
    EXPECT_EQ(total.load(), 10000LL * threads);
}

} // namespace

#include "platform/MainThread.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

TEST(MainThread, OnlyTheApplicationsThreadIsTheMainThread) {
    EXPECT_TRUE(platform::onMainThread());
    platform::assertMainThread();

    std::atomic<int> elsewhere{-1};
    const std::unique_ptr<QThread> worker(
        QThread::create([&] { elsewhere = platform::onMainThread() ? 1 : 0; }));
    worker->start();
    ASSERT_TRUE(worker->wait());
    EXPECT_EQ(elsewhere.load(), 0);
}

} // namespace

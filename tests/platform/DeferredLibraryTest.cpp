#include "platform/DeferredLibrary.h"

#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <thread>
#include <vector>

// The trampolines of tests/platform/deferred/*.symbols exist only where the
// build defers libraries (x86-64).
#ifdef VEXLIN_DEFERRED_probe

extern "C" {
double vexlin_probe_mix(int a, long b, int c, long d, int e, long f, int g, long h, double x0,
                        double x1, double x2, double x3, double x4, double x5, double x6, double x7,
                        double x8, double x9);
double vexlin_probe_weighted(int count, ...);
struct VexlinProbeTriple {
    long first, second, third;
};
VexlinProbeTriple vexlin_probe_triple(long seed);
int vexlin_probe_twice(int value);
void vexlin_probe_missing();
void vexlin_absent_call();
extern DeferredLibraryDescriptor vexlin_deferred_probe;
extern DeferredLibraryDescriptor vexlin_deferred_absent;
}

namespace {

// Every argument register and the stack reach the function as the caller set
// them, through the loading first call and the plain calls after it.
TEST(DeferredLibrary, CallsArriveWithEveryArgument) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_DOUBLE_EQ(vexlin_probe_mix(1, 2, 3, 4, 5, 6, 7, 8, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5,
                                          7.5, 8.5, 9.5),
                         1 + 4 + 9 + 16 + 25 + 36 + 49 + 64 + 4.5 + 15 + 27.5 + 42 + 58.5 + 77 +
                             97.5 + 120 + 144.5 + 171);
        EXPECT_DOUBLE_EQ(vexlin_probe_weighted(3, 1.25, 2.5, -4.0), 1.25 + 5 - 12);
        const VexlinProbeTriple triple = vexlin_probe_triple(21);
        EXPECT_EQ(triple.first, 21);
        EXPECT_EQ(triple.second, 42);
        EXPECT_EQ(triple.third, 63);
    }
    EXPECT_NE(vexlin_deferred_probe.handle, nullptr);
}

// Threads that make the first call of a function at once all reach it.
TEST(DeferredLibrary, FirstCallsFromManyThreadsAtOnce) {
    std::atomic<bool> go{false};
    std::atomic<int> right{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            right += vexlin_probe_twice(i) == 2 * i ? 1 : 0;
        });
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(right.load(), 8);
}

TEST(DeferredLibrary, AMissingLibraryIsAnErrorThatNamesIt) {
    QString error;
    EXPECT_FALSE(platform::loadDeferredLibrary(vexlin_deferred_absent, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("libvexlin-absent.so.0"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << error.toStdString();
    EXPECT_EQ(vexlin_deferred_absent.handle, nullptr);

    QString loaded;
    EXPECT_TRUE(platform::loadDeferredLibrary(vexlin_deferred_probe, &loaded));
    EXPECT_TRUE(loaded.isEmpty());
}

// A call that cannot go on ends the program with the library's name and the
// loader's reason, rather than jumping nowhere.
TEST(DeferredLibraryDeathTest, ACallIntoWhatCannotLoadEndsWithTheReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(vexlin_absent_call(), "cannot load libvexlin-absent.so.0: .*No such file");
    EXPECT_DEATH(
        vexlin_probe_missing(),
        "cannot find vexlin_probe_missing in .*libvexlin_deferred_probe.so: .*undefined symbol");
}

} // namespace

#endif

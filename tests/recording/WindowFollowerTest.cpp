#include "recording/WindowFollower.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace recording {
namespace {

// A window whose bounds the test sets; counts how often it is asked.
struct FakeWindow {
    std::optional<QRectF> bounds;
    int polls = 0;
    std::uint32_t askedFor = 0;
    WindowFollower::BoundsSource source() {
        return [this](std::uint32_t id) {
            ++polls;
            askedFor = id;
            return bounds;
        };
    }
};

// What a follower reported, in order: a move's bounds, or nothing for a close.
struct Reports {
    std::vector<std::optional<QRectF>> seen;
    void attach(WindowFollower& follower) {
        follower.onMove = [this](const QRectF& r) { seen.push_back(r); };
        follower.onClose = [this] { seen.push_back(std::nullopt); };
    }
};

TEST(WindowFollower, ReportsEachChangeOnceAndTheCloseOnce) {
    using Bounds = std::optional<QRectF>;
    const QRectF at(100, 80, 400, 300);
    struct Case {
        const char* what;
        std::vector<Bounds> polls; // the first is what start() sees
        std::vector<Bounds> reported;
        bool stillFollowing;
    };
    const Case cases[] = {
        {"a still window: its place at start, then nothing", {at, at, at}, {at}, true},
        {"moved and resized",
         {at, at.translated(5, 0), QRectF(105, 80, 300, 200)},
         {at, at.translated(5, 0), QRectF(105, 80, 300, 200)},
         true},
        {"a fraction of a point counts",
         {at, at.translated(0.25, 0)},
         {at, at.translated(0.25, 0)},
         true},
        {"a change too small for QRectF's own == still counts",
         {at, at.translated(1e-12, 0)},
         {at, at.translated(1e-12, 0)},
         true},
        {"back where it was after a move",
         {at, at.translated(0, 7), at},
         {at, at.translated(0, 7), at},
         true},
        {"gone while followed: one close, no move", {at, std::nullopt}, {at, std::nullopt}, false},
        {"gone before start: the close comes from start itself",
         {std::nullopt},
         {std::nullopt},
         false},
    };
    for (const Case& c : cases) {
        FakeWindow window;
        WindowFollower follower(42, window.source());
        Reports reports;
        reports.attach(follower);
        window.bounds = c.polls.front();
        follower.start();
        for (std::size_t i = 1; i < c.polls.size(); ++i) {
            window.bounds = c.polls[i];
            follower.tick();
        }
        EXPECT_EQ(reports.seen, c.reported) << c.what;
        EXPECT_EQ(follower.isFollowing(), c.stillFollowing) << c.what;
        EXPECT_EQ(window.askedFor, 42u) << c.what;
    }
}

TEST(WindowFollower, StartingTwicePollsOnceAndFollowsOnce) {
    FakeWindow window;
    window.bounds = QRectF(0, 0, 50, 50);
    WindowFollower follower(7, window.source());
    follower.start();
    follower.start();
    EXPECT_EQ(window.polls, 1) << "the second start neither polls nor makes a second timer";
    EXPECT_TRUE(follower.isFollowing());
    // One timer: it polls on its own, and one stop ends all polling (a second
    // timer would go on).
    QTRY_VERIFY_WITH_TIMEOUT(window.polls > 1, 5000);
    follower.stop();
    EXPECT_FALSE(follower.isFollowing());
    const int stopped = window.polls;
    QTest::qWait(250);
    EXPECT_EQ(window.polls, stopped) << "a timer still polls after stop";
}

TEST(WindowFollower, TheTimerFollowsAndStopsForGoodWhenTheWindowGoes) {
    FakeWindow window;
    window.bounds = QRectF(10, 10, 200, 100);
    WindowFollower follower(7, window.source());
    Reports reports;
    reports.attach(follower);
    follower.start();
    window.bounds = QRectF(30, 10, 200, 100);
    QTRY_COMPARE_WITH_TIMEOUT(reports.seen.size(), std::size_t{2}, 5000);
    EXPECT_EQ(reports.seen.back(), QRectF(30, 10, 200, 100));

    window.bounds.reset();
    QTRY_COMPARE_WITH_TIMEOUT(reports.seen.size(), std::size_t{3}, 5000);
    EXPECT_EQ(reports.seen.back(), std::nullopt);
    const int polls = window.polls;
    QTest::qWait(350);
    EXPECT_EQ(window.polls, polls) << "no tick after the close";
    EXPECT_EQ(reports.seen.size(), 3u) << "exactly one close";
}

TEST(WindowFollower, TheOwnerMayDeleteItFromItsCallbacks) {
    FakeWindow window;
    window.bounds = QRectF(0, 0, 50, 50);
    auto follower = std::make_unique<WindowFollower>(7, window.source());
    int closes = 0;
    follower->onClose = [&] {
        ++closes;
        follower.reset();
    };
    follower->start();
    window.bounds.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!follower, 5000);
    QTest::qWait(250);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(window.polls, 2);

    // Deleted while following, from a move: its timer goes with it.
    window = FakeWindow{};
    window.bounds = QRectF(0, 0, 50, 50);
    follower = std::make_unique<WindowFollower>(7, window.source());
    int moves = 0;
    follower->onMove = [&](const QRectF&) {
        if (++moves == 2) {
            follower.reset();
        }
    };
    follower->start();
    window.bounds = QRectF(1, 0, 50, 50);
    QTRY_VERIFY_WITH_TIMEOUT(!follower, 5000);
    const int polls = window.polls;
    QTest::qWait(250);
    EXPECT_EQ(window.polls, polls);
}

} // namespace
} // namespace recording

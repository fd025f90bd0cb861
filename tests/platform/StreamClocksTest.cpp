// The clocks a recording's samples are stamped on: the frames' tick grid and
// the sound's sample count.
#include "platform/AudioSource.h"
#include "platform/TickGrid.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

constexpr HostTime kSecond = 1'000'000'000;
constexpr HostTime kOrigin = 5 * kSecond;

TEST(TickGrid, InstantsComeFromTheOriginWithoutAddingUpRounding) {
    struct Case {
        int fps;
        std::int64_t tick;
        HostTime time;
    };
    const Case cases[] = {
        {30, 0, kOrigin},
        {30, 1, kOrigin + 33'333'333},
        {30, 2, kOrigin + 66'666'666},
        {30, 30, kOrigin + kSecond},
        // An hour of ticks lands exactly on the hour.
        {30, 30 * 3600, kOrigin + 3600 * kSecond},
        {60, 61, kOrigin + kSecond + 16'666'666},
        {24, 25, kOrigin + kSecond + 41'666'666},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TickGrid(kOrigin, c.fps).timeOf(c.tick), c.time)
            << c.fps << " fps, tick " << c.tick;
    }
}

TEST(TickGrid, TheTickDueAndTheNextOne) {
    const TickGrid grid(kOrigin, 30);
    struct Case {
        const char* name;
        std::int64_t done;
        HostTime now;
        std::int64_t dueAtOrBefore;
        std::int64_t next;
    };
    const Case cases[] = {
        {"before the origin", -1, kOrigin - 1, -1, 0},
        {"at the origin", -1, kOrigin, 0, 0},
        {"a nanosecond before tick 1", 0, kOrigin + 33'333'332, 0, 1},
        {"exactly at tick 1", 0, kOrigin + 33'333'333, 1, 1},
        {"tick 1 a little late", 0, kOrigin + 40'000'000, 1, 1},
        // A grab that took three periods: ticks 2 and 3 are skipped, the
        // one due now is taken at once.
        {"a slow grab", 1, kOrigin + 140'000'000, 4, 4},
        {"a tick taken early never repeats", 4, kOrigin + 130'000'000, 3, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(grid.tickAtOrBefore(c.now), c.dueAtOrBefore);
        EXPECT_EQ(grid.nextTick(c.done, c.now), c.next);
        if (c.dueAtOrBefore >= 0) {
            EXPECT_LE(grid.timeOf(c.dueAtOrBefore), c.now);
            EXPECT_GT(grid.timeOf(c.dueAtOrBefore + 1), c.now);
        }
    }
}

// 20 ms of 48 kHz sound.
constexpr std::int64_t kPiece = 960;
constexpr HostTime kPieceTime = 20'000'000;

TEST(AudioClock, PiecesJoinDespiteAWanderingLatency) {
    AudioClock clock(48000);
    HostTime arrived = kOrigin;
    HostTime expected = kOrigin - 10'000'000;
    // The measured times wander by up to 140 ms, as a monitor's
    // interpolated latency does; the stamps go on sample by sample.
    const HostTime wander[] = {0,           20'000'000, 40'000'000,  60'000'000,
                               140'000'000, 20'000'000, -60'000'000, 100'000'000};
    for (HostTime w : wander) {
        EXPECT_EQ(clock.stamp(arrived - 10'000'000 + w * (arrived != kOrigin), arrived, kPiece),
                  expected);
        arrived += kPieceTime;
        expected += kPieceTime;
    }
}

TEST(AudioClock, AQuietSpellStartsAfreshAndSteadyDriftIsFollowed) {
    AudioClock clock(48000);
    EXPECT_EQ(clock.stamp(kOrigin, kOrigin, kPiece), kOrigin);
    // The output went idle for a second: nothing arrived, and the next piece
    // is where it was measured, not right after the last.
    const HostTime later = kOrigin + kSecond;
    EXPECT_EQ(clock.stamp(later, later, kPiece), later);
    // A late delivery of samples measured right after the last is no pause.
    EXPECT_EQ(clock.stamp(later + kPieceTime + 5'000'000, later + 60'000'000, kPiece),
              later + kPieceTime);

    // The measured time stays 300 ms ahead: after a few pieces the stamps
    // follow, by the smallest distance seen.
    AudioClock drifting(48000);
    drifting.stamp(kOrigin, kOrigin, kPiece);
    HostTime stamp = 0;
    for (int i = 1; i <= AudioClock::kOutliersToMove + 1; ++i) {
        const HostTime arrived = kOrigin + i * kPieceTime;
        stamp = drifting.stamp(arrived + 300'000'000 + (i == 3 ? -10'000'000 : 0), arrived, kPiece);
    }
    EXPECT_EQ(stamp, kOrigin + (AudioClock::kOutliersToMove + 1) * kPieceTime + 290'000'000);

    // Samples the server lost move the next piece on.
    AudioClock holed(48000);
    holed.stamp(kOrigin, kOrigin, kPiece);
    holed.skip(kPiece);
    EXPECT_EQ(holed.stamp(kOrigin, kOrigin + kPieceTime, kPiece), kOrigin + 2 * kPieceTime);
}

} // namespace
} // namespace platform

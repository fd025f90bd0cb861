// The clocks a recording's samples are stamped on: the frames' tick grid and
// the sound's sample count.
#include "platform/AudioSource.h"
#include "platform/TickGrid.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

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

// How a stream of 20 ms pieces reaches the reader, and where each lands.
struct Delivery {
    HostTime arrived; // from kOrigin
    int pieces;       // read in this callback, one after the other
    int waiting;      // pieces there to be read at that moment (at least `pieces`)
};

TEST(AudioClock, PiecesJoinWhateverTheirArrivals) {
    const struct {
        const char* name;
        std::vector<Delivery> deliveries;
        // Where each piece lands, from kOrigin, in ms.
        std::vector<int> lands;
    } cases[] = {
        {"on time", {{20, 1, 1}, {40, 1, 1}, {60, 1, 1}}, {0, 20, 40}},
        // A busy reader comes late and finds several pieces waiting.
        {"a late reader finds a backlog",
         {{20, 1, 1}, {40, 1, 1}, {150, 3, 5}, {150, 2, 2}, {160, 1, 1}},
         {0, 20, 40, 60, 80, 100, 120, 140}},
        // The first piece came late (a stream starting on a busy machine);
        // the next, on time, shows it: the stamps move back, a few ms.
        {"the first arrival was late", {{35, 1, 1}, {40, 1, 1}, {60, 1, 1}}, {15, 0 + 20, 40}},
        // The output went idle for a second: once a few pieces have shown
        // it, they land where they came, not right after the last.
        {"a quiet spell",
         {{20, 1, 1}, {40, 1, 1}, {1040, 1, 1}, {1060, 1, 1}, {1080, 1, 1}, {1100, 1, 1}},
         {0, 20, 40, 60, 1060, 1080}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AudioClock clock(48000);
        std::vector<int> lands;
        for (const Delivery& d : c.deliveries) {
            for (int i = 0; i < d.pieces; ++i) {
                const HostTime at = clock.stamp(kOrigin + d.arrived * 1'000'000, kPiece,
                                                std::int64_t(d.waiting - i) * kPiece);
                lands.push_back(int((at - kOrigin) / 1'000'000));
            }
        }
        EXPECT_EQ(lands, c.lands);
    }
}

TEST(AudioClock, FollowsADriftingSoundCardAndLostSamples) {
    // The sound card's clock runs 0.1 % slow against the host's, and every
    // arrival wanders by up to 15 ms: over a minute the stamps follow the
    // card, and never jump by more than a millisecond between pieces.
    AudioClock clock(48000);
    HostTime previous = 0;
    HostTime largestJump = 0;
    HostTime last = 0;
    const int pieces = 3000;
    for (int i = 0; i < pieces; ++i) {
        const HostTime captured = kOrigin + (i + 1) * kPieceTime * 1001 / 1000;
        const HostTime arrived = captured + (i * 7919 % 16) * 1'000'000;
        last = clock.stamp(arrived, kPiece, kPiece);
        if (i > 0) {
            largestJump = std::max<HostTime>(largestJump, std::llabs(last - previous - kPieceTime));
        }
        previous = last;
    }
    EXPECT_LE(largestJump, 1'000'000);
    const HostTime capturedLast = kOrigin + (pieces - 1) * kPieceTime * 1001 / 1000;
    EXPECT_NEAR(double(last), double(capturedLast), 20e6);

    // Samples the server lost move the next piece on.
    AudioClock holed(48000);
    holed.stamp(kOrigin + kPieceTime, kPiece, kPiece);
    holed.skip(kPiece);
    EXPECT_EQ(holed.stamp(kOrigin + 3 * kPieceTime, kPiece, kPiece), kOrigin + 2 * kPieceTime);
}

} // namespace
} // namespace platform

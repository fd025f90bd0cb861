#include "capture/scrolling/AutoScrollPolicy.h"

#include <gtest/gtest.h>

namespace {

using capture::AutoScrollPolicy;
using capture::WheelClicks;
using ms = std::chrono::milliseconds;
using Action = AutoScrollPolicy::TickAction;

TEST(AutoScrollPolicy, FirstStepIsATenthOfTheHeightWithinTwelveAndFortyEight) {
    const struct {
        double height;
        double step;
    } cases[] = {{100, 12}, {120, 12}, {125, 13}, {300, 30}, {480, 48}, {800, 48}, {40, 12}};
    for (const auto& c : cases) {
        EXPECT_EQ(AutoScrollPolicy::firstStep(c.height), c.step) << "height " << c.height;
    }
}

TEST(AutoScrollPolicy, PointerIsWatchedOnlyAfterThreeEvents) {
    AutoScrollPolicy policy = AutoScrollPolicy::start(300, {500, 400}, ms(0));
    const QPointF away(500, 460); // 60 from the anchor
    for (int ticks = 0; ticks < 3; ++ticks) {
        policy.ticks = ticks;
        EXPECT_EQ(policy.decide(ms(80 * ticks), away), Action::scroll) << ticks;
    }
    policy.ticks = 3;
    EXPECT_EQ(policy.decide(ms(240), away), Action::pause);
    EXPECT_EQ(policy.decide(ms(240), QPointF(500, 440)), Action::scroll) << "40 is not beyond";
}

TEST(AutoScrollPolicy, StallEndsAfterOnePointSixSecondsButNeverBeforeTheFifthTick) {
    AutoScrollPolicy policy = AutoScrollPolicy::start(300, {0, 0}, ms(1000));
    policy.ticks = 3;
    EXPECT_EQ(policy.decide(ms(5000), {0, 0}), Action::scroll) << "only three events so far";
    policy.ticks = 4;
    EXPECT_EQ(policy.decide(ms(2600), {0, 0}), Action::scroll) << "exactly 1.6 s";
    EXPECT_EQ(policy.decide(ms(2601), {0, 0}), Action::finish);
}

TEST(AutoScrollPolicy, BacksOffAtMostEveryHalfSecondHalvingTheStep) {
    AutoScrollPolicy policy = AutoScrollPolicy::start(300, {0, 0}, ms(0));
    ASSERT_EQ(policy.step, 30);
    EXPECT_EQ(policy.backOff(ms(1000)), 60.0);
    EXPECT_EQ(policy.step, 15);
    EXPECT_EQ(policy.lastProgress, ms(1000));
    EXPECT_EQ(policy.backOff(ms(1300)), std::nullopt) << "0.3 s after the last";
    EXPECT_EQ(policy.step, 15);
    EXPECT_EQ(policy.backOff(ms(1600)), 30.0) << "0.6 s after it";
    EXPECT_EQ(policy.step, 8);
    EXPECT_EQ(policy.backOff(ms(2200)), 16.0);
    EXPECT_EQ(policy.step, 8) << "never below 8";
}

TEST(AutoScrollPolicy, StepOfTwelveBacksOffTwentyFourAndBecomesEight) {
    AutoScrollPolicy policy = AutoScrollPolicy::start(100, {0, 0}, ms(0));
    EXPECT_EQ(policy.backOff(ms(0)), 24.0);
    EXPECT_EQ(policy.step, 8);
}

TEST(WheelClicks, OneClickEachUntilAClickWasMeasured) {
    WheelClicks clicks;
    EXPECT_EQ(clicks.clicksFor(30), 1);
    EXPECT_EQ(clicks.clicksFor(12), 1);
    EXPECT_EQ(clicks.clicksFor(-60), -2) << "a back-off scrolls back two";
    EXPECT_EQ(clicks.clicksFor(0), 0);
    EXPECT_EQ(clicks.pointsPerClick(), std::nullopt);
}

TEST(WheelClicks, LearnsHowFarAClickMovesAndSpreadsStepsOverClicks) {
    WheelClicks clicks;
    clicks.clicksFor(30);
    clicks.clicksFor(30);
    clicks.contentMoved(80); // two clicks moved the content 80 points
    ASSERT_EQ(clicks.pointsPerClick(), 40.0);
    // A step of 20 points is half a click: a click every second tick.
    int total = 0;
    for (int tick = 0; tick < 8; ++tick) {
        const int n = clicks.clicksFor(20);
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 1);
        total += n;
    }
    EXPECT_EQ(total, 4);
    // A step far larger than a click is capped.
    EXPECT_EQ(clicks.clicksFor(1000), WheelClicks::mostClicksAtOnce);
}

TEST(WheelClicks, ClicksWithoutMovementDoNotShrinkTheMeasure) {
    WheelClicks clicks;
    for (int i = 0; i < 3; ++i) {
        clicks.clicksFor(40);
    }
    clicks.contentMoved(120);
    // The end of the page: clicks go on, nothing moves.
    for (int i = 0; i < 10; ++i) {
        clicks.clicksFor(40);
    }
    EXPECT_EQ(clicks.pointsPerClick(), 40.0);
}

} // namespace

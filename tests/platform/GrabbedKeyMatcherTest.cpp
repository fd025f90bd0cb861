#include "platform/GrabbedKeyMatcher.h"

#include <gtest/gtest.h>

namespace {

using platform::GrabbedKeyMatcher;
using Verdict = GrabbedKeyMatcher::Verdict;

constexpr quint16 kShift = 0x01, kLock = 0x02, kControl = 0x04, kMod1 = 0x08, kMod2 = 0x10,
                  kMod4 = 0x40, kButton1 = 0x100;
constexpr quint8 kFour = 13;
constexpr quint16 kShiftAltSuper = kShift | kMod1 | kMod4;

TEST(GrabbedKeyMatcher, MatchesTheGrabbedModifiersWhateverTheLockKeys) {
    GrabbedKeyMatcher matcher;
    matcher.add(0, {kFour, kShiftAltSuper});
    matcher.setNumLockMask(kMod2);
    struct Case {
        quint16 state;
        Verdict expected;
    };
    const Case cases[] = {
        {kShiftAltSuper, Verdict::pressed},
        {kShiftAltSuper | kLock, Verdict::pressed},
        {kShiftAltSuper | kMod2, Verdict::pressed},
        {kShiftAltSuper | kLock | kMod2, Verdict::pressed},
        {kShiftAltSuper | kButton1, Verdict::pressed},
        // A modifier more or less is another combination.
        {kShiftAltSuper | kControl, Verdict::notGrabbed},
        {kMod1 | kMod4, Verdict::notGrabbed},
        {0, Verdict::notGrabbed},
    };
    quint32 time = 100;
    for (const Case& c : cases) {
        const auto result = matcher.press(kFour, c.state, time += 50);
        EXPECT_EQ(result.verdict, c.expected) << "state " << c.state;
    }
    EXPECT_EQ(matcher.press(kFour + 1, kShiftAltSuper, 1000).verdict, Verdict::notGrabbed);
}

TEST(GrabbedKeyMatcher, Mod2CountsWhenItIsNotNumLock) {
    GrabbedKeyMatcher matcher;
    matcher.add(3, {kFour, kShift});
    matcher.setNumLockMask(0);
    EXPECT_EQ(matcher.press(kFour, kShift | kMod2, 1).verdict, Verdict::notGrabbed);
    EXPECT_EQ(matcher.press(kFour, kShift | kLock, 2).verdict, Verdict::pressed);
}

TEST(GrabbedKeyMatcher, TellsEachCombinationByItsId) {
    GrabbedKeyMatcher matcher;
    matcher.add(0, {kFour, kShiftAltSuper});
    matcher.add(6, {kFour, kShiftAltSuper | kControl});
    matcher.add(900, {9, 0});
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1).id, 0u);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper | kControl, 2).id, 6u);
    EXPECT_EQ(matcher.press(9, kLock, 3).id, 900u);

    matcher.remove(6);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper | kControl, 4).verdict, Verdict::notGrabbed);
    EXPECT_FALSE(matcher.keyOf(6).has_value());
    EXPECT_EQ(matcher.idOf({kFour, kShiftAltSuper}), 0u);
}

TEST(GrabbedKeyMatcher, KeyRepeatIsNoNewPress) {
    GrabbedKeyMatcher matcher;
    matcher.add(0, {kFour, kShiftAltSuper});
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1000).verdict, Verdict::pressed);
    // The server's repeat: a release and a press with one timestamp.
    matcher.release(kFour, 1500);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1500).verdict, Verdict::repeat);
    matcher.release(kFour, 1530);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1530).verdict, Verdict::repeat);
    // Let go for real, then pressed again.
    matcher.release(kFour, 1550);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1700).verdict, Verdict::pressed);
    // Another key's release says nothing about this one.
    matcher.release(kFour + 1, 1800);
    EXPECT_EQ(matcher.press(kFour, kShiftAltSuper, 1800).verdict, Verdict::pressed);
}

} // namespace

#include "CanvasFixture.h"

#include "editor/canvas/DisplaySources.h"

#include <gtest/gtest.h>

using namespace canvastest;

namespace {

TEST(DisplaySources, HalvesAsOftenAsTheViewAllowsAndKeepsThePointSize) {
    // 1001 × 601 pixels at scale 2: 500.5 × 300.5 points.
    ImageSources original(patternImage(1001, 601), 2);
    DisplaySources display(original);
    struct Case {
        double devicePixelsPerPoint;
        int level;
    };
    for (const Case& c : {Case{4, 0}, Case{2, 0}, Case{1.01, 0}, Case{1, 1}, Case{0.6, 1},
                          Case{0.5, 2}, Case{0.26, 2}, Case{0.01, 5}}) {
        ImageSources& shown = display.at(c.devicePixelsPerPoint);
        EXPECT_EQ(display.level(), c.level) << c.devicePixelsPerPoint;
        if (c.level == 0) {
            EXPECT_EQ(&shown, &original);
            continue;
        }
        EXPECT_EQ(shown.base().width(), 1001 >> c.level);
        // The width in points is exact; the copy reaches at least as far down.
        EXPECT_DOUBLE_EQ(shown.imageSize().width, 500.5) << c.level;
        EXPECT_GE(shown.imageSize().height, 300.5) << c.level;
        EXPECT_LT(shown.imageSize().height, 300.5 + 1 / shown.scale()) << c.level;
    }
    // A level once made is kept.
    const ImageSources* half = &display.at(1);
    display.at(0.3);
    EXPECT_EQ(&display.at(1), half);
}

TEST(DisplaySources, TinyImagesAreNeverHalvedAway) {
    ImageSources tiny(patternImage(20, 3000), 1);
    DisplaySources display(tiny);
    EXPECT_EQ(&display.at(0.01), &tiny);
    EXPECT_EQ(display.level(), 0);
}

} // namespace

// Where a new pin goes and how it zooms, as sums on rectangles.
#include "delivery/PinGeometry.h"

#include <gtest/gtest.h>

namespace pg = delivery::pinGeometry;

namespace {

void expectRect(const QRectF& expected, const QRectF& actual) {
    EXPECT_NEAR(expected.x(), actual.x(), 1e-9);
    EXPECT_NEAR(expected.y(), actual.y(), 1e-9);
    EXPECT_NEAR(expected.width(), actual.width(), 1e-9);
    EXPECT_NEAR(expected.height(), actual.height(), 1e-9);
}

} // namespace

TEST(PinGeometry, NewPinFrames) {
    struct Case {
        const char* name;
        QSize pixels;
        double scale;
        QRectF available;
        int openPins;
        QRectF expected;
    };
    const QRectF laptop(0, 0, 1440, 875);
    const Case cases[] = {
        // 2000 × 1000 points, held to 60 % of the width: s = 0.432.
        {"wide retina capture", {4000, 2000}, 2, laptop, 0, {288, 221.5, 864, 432}},
        // Held by the height instead: s = 0.6 × 875 / 2000.
        {"tall capture", {500, 2000}, 1, laptop, 0, {654.375, 175, 131.25, 525}},
        {"small capture at its own size", {300, 200}, 1, laptop, 0, {570, 337.5, 300, 200}},
        {"small retina capture in points", {300, 200}, 2, laptop, 0, {645, 387.5, 150, 100}},
        {"second pin moves 24 right and down", {300, 200}, 1, laptop, 1, {594, 361.5, 300, 200}},
        {"six open: centred again", {300, 200}, 1, laptop, 6, {570, 337.5, 300, 200}},
        {"seven open: 24 again", {300, 200}, 1, laptop, 7, {594, 361.5, 300, 200}},
        // A second screen right of the first, below a 30-point panel.
        {"centred on the free area",
         {300, 200},
         1,
         {1920, 30, 1280, 994},
         0,
         {2410, 427, 300, 200}},
        {"one pixel", {1, 1}, 1, laptop, 0, {719.5, 437, 1, 1}},
        // Held by the width: s = 0.6 × 1440 / 12000 = 0.072.
        {"very long strip", {12000, 300}, 1, laptop, 0, {288, 426.7, 864, 21.6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectRect(c.expected,
                   pg::newPinFrame(pg::pointSize(c.pixels, c.scale), c.available, c.openPins));
    }
}

TEST(PinGeometry, AspectCountsAFlatImageAsOnePointHigh) {
    EXPECT_DOUBLE_EQ(2.0, pg::aspectOf({200, 100}));
    EXPECT_DOUBLE_EQ(30.0, pg::aspectOf({30, 0.5}));
    EXPECT_DOUBLE_EQ(1.0, pg::aspectOf(pg::pointSize({7, 7}, 0)));
}

TEST(PinGeometry, InputGivesZoomFactors) {
    struct Case {
        const char* name;
        double factor;
        double expected;
    };
    const Case cases[] = {
        {"30 wheel notches double", pg::wheelFactor({}, {0, 30 * 120}), 2.0},
        {"one notch up", pg::wheelFactor({}, {0, 120}), 1 + 1.0 / 30},
        {"three notches down", pg::wheelFactor({}, {0, -360}), 0.9},
        {"horizontal wheel does not zoom", pg::wheelFactor({}, {120, 0}), 1.0},
        {"touchpad pixels", pg::wheelFactor({0, 30}, {0, 15}), 1.1},
        {"touchpad pixels down", pg::wheelFactor({0, -60}, {0, -120}), 0.8},
        {"pinch out", pg::pinchFactor(0.1), 1.1},
        {"pinch in", pg::pinchFactor(-0.25), 0.75},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.expected, c.factor, 1e-12);
    }
}

TEST(PinGeometry, ZoomKeepsCentreProportionsAndLimits) {
    struct Case {
        const char* name;
        QRectF frame;
        double factor;
        double aspect;
        QRectF expected;
    };
    const QRectF pin(400, 250, 200, 100); // centre (500, 300)
    const Case cases[] = {
        {"double", pin, 2.0, 2.0, {300, 200, 400, 200}},
        {"ten per cent wider", pin, 1.1, 2.0, {390, 245, 220, 110}},
        {"shrinks to 60 at most", pin, 0.01, 2.0, {470, 285, 60, 30}},
        {"a factor below zero is the smallest", pin, -0.5, 2.0, {470, 285, 60, 30}},
        {"grows to 4000 at most", pin, 100, 2.0, {-1500, -700, 4000, 2000}},
        // The frame's own height does not count: width / aspect does.
        {"height from the aspect", {400, 250, 200, 101}, 1.5, 3.0, {350, 250.5, 300, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectRect(c.expected, pg::zoomed(c.frame, c.factor, c.aspect));
    }
}

TEST(PinGeometry, ActualSizeAfterZoomIsTheImageAboutTheSameCentre) {
    const QRectF zoomedIn = pg::zoomed({400, 250, 200, 100}, 2.0, 2.0);
    expectRect({400, 250, 200, 100}, pg::actualSize(zoomedIn, {200, 100}, 2.0));
    // An image wider than the zoom's limit stops there.
    expectRect({-1500, 0, 4000, 600},
               pg::actualSize({400, 250, 200, 100}, {6000, 900}, 6000.0 / 900));
}

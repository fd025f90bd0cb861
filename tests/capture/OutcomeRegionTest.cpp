// The display and region a scrolling capture or a recording is aimed at.
#include "capture/OutcomeRegion.h"

#include <gtest/gtest.h>

namespace {

using capture::SelectionOutcome;
using capture::SelectionPick;

TEST(OutcomeRegion, RegionOfEachOutcome) {
    desktop::CaptureDisplay display;
    display.displayID = 7;
    display.scale = 2;
    display.frame = QRectF(1920, 0, 1280, 1024);
    desktop::WindowInfo window;
    window.frame = QRectF(3100, 900, 300, 300); // partly off the display's right and bottom
    desktop::WindowInfo away;
    away.frame = QRectF(100, 100, 300, 300); // on another display altogether
    const struct {
        const char* name;
        SelectionOutcome outcome;
        std::optional<QRectF> region;
    } cases[] = {
        {"area", SelectionOutcome::of(SelectionPick::area(display, QRectF(10, 20, 300, 400))),
         QRectF(10, 20, 300, 400)},
        {"window, clipped", SelectionOutcome::of(SelectionPick::ofWindow(window, display)),
         QRectF(1180, 900, 100, 124)},
        {"window off its display", SelectionOutcome::of(SelectionPick::ofWindow(away, display)),
         std::nullopt},
        {"display", SelectionOutcome::of(SelectionPick::ofDisplay(display)),
         QRectF(0, 0, 1280, 1024)},
        {"cancelled", SelectionOutcome::cancelled(), std::nullopt},
        {"failed", SelectionOutcome::failed(desktop::CaptureError::noDisplays), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto target = capture::regionOf(c.outcome);
        ASSERT_EQ(target.has_value(), c.region.has_value()) << c.name;
        if (target) {
            EXPECT_EQ(target->region, *c.region) << c.name;
            EXPECT_EQ(target->display, display) << c.name;
        }
    }
}

} // namespace

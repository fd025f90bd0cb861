#include "capture/selection/SelectionMachine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace capture {
namespace {

using Kind = SelectionMachine::Command::Kind;
using Key = SelectionMachine::Key;

// Two displays side by side: 1920 × 1080 at 1× and 1280 × 1024 at 2×.
const desktop::CaptureDisplay kLeft{nullptr, 11, 1.0, QRectF(0, 0, 1920, 1080)};
const desktop::CaptureDisplay kRight{nullptr, 22, 2.0, QRectF(1920, 0, 1280, 1024)};

const desktop::WindowInfo kEditor{0x100, QRectF(200, 150, 800, 600), 10, QStringLiteral("Gedit"),
                                  QStringLiteral("notes")};
const desktop::WindowInfo kTerminal{
    0x200, QRectF(600, 400, 500, 400), 11, QStringLiteral("XTerm"), {}};
const desktop::WindowInfo kOnRight{
    0x300, QRectF(2100, 100, 400, 300), 12, QStringLiteral("Viewer"), {}};

class SelectionMachineTest : public testing::Test {
protected:
    // `windows` is what the window list says each time it is read.
    SelectionMachine make(SelectionMode mode = SelectionMode::area, QString hint = {}) {
        return SelectionMachine({kLeft, kRight}, windows,
                                {mode, /*magnifier*/ true, /*crosshair*/ true, std::move(hint)},
                                [this] {
                                    ++windowReads;
                                    return windows;
                                });
    }

    SelectionMachine::Command drag(SelectionMachine& m, int view, QPointF from, QPointF to,
                                   bool shift = false) {
        const QPointF origin = m.view(view).display.frame.topLeft();
        m.pressed(view, from, from + origin);
        m.dragged(view, to, shift);
        return m.released(view);
    }

    std::vector<desktop::WindowInfo> windows{kTerminal, kEditor, kOnRight}; // front to back
    int windowReads = 0;
};

TEST_F(SelectionMachineTest, ADragPicksTheAreaInItsDisplaysPoints) {
    struct Case {
        int view;
        QPointF from, to;
        QRectF rect;
    } cases[] = {
        {0, {100, 100}, {300, 250}, {100, 100, 200, 150}},
        {0, {300, 250}, {100, 100}, {100, 100, 200, 150}},      // dragged up and left
        {1, {100, 100}, {300, 250}, {100, 100, 200, 150}},      // local to the second display
        {0, {10, 10}, {14, 14}, {10, 10, 4, 4}},                // the smallest pick
        {0, {1800, 1000}, {2500, 1400}, {1800, 1000, 120, 80}}, // stops at the edge
        {0, {100, 100}, {130, 160}, {100, 100, 60, 60}},        // Shift: below
    };
    for (const Case& c : cases) {
        SelectionMachine m = make();
        m.begin(QPointF(50, 50));
        const bool shift = &c == &cases[5];
        const auto command = drag(m, c.view, c.from, c.to, shift);
        ASSERT_EQ(command.kind, Kind::choose) << c.rect.x();
        EXPECT_EQ(command.pick->kind, SelectionPick::Kind::area);
        EXPECT_EQ(command.pick->rect, c.rect);
        EXPECT_EQ(command.pick->display, c.view == 0 ? kLeft : kRight);
    }
}

TEST_F(SelectionMachineTest, AClickOrATinyDragPicksNothingAndStartsOver) {
    for (const QPointF to : {QPointF(100, 100), QPointF(103, 300), QPointF(300, 103.9)}) {
        SelectionMachine m = make();
        m.begin(QPointF(100, 100));
        EXPECT_EQ(drag(m, 0, QPointF(100, 100), to).kind, Kind::none);
        EXPECT_FALSE(m.view(0).isDragging());
        EXPECT_TRUE(m.isCrosshairShown(0));
        // The user can drag again.
        EXPECT_EQ(drag(m, 0, QPointF(10, 10), QPointF(60, 60)).kind, Kind::choose);
    }
}

TEST_F(SelectionMachineTest, DragsAndReleasesWithoutAPressInThisViewAreDropped) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    EXPECT_EQ(m.dragged(0, QPointF(300, 300), false).kind, Kind::none);
    EXPECT_FALSE(m.view(0).dragPoint);
    EXPECT_EQ(m.released(0).kind, Kind::none);
    m.pressed(0, QPointF(100, 100), QPointF(100, 100));
    m.dragged(0, QPointF(300, 300), false);
    EXPECT_EQ(m.released(1).kind, Kind::none);
}

TEST_F(SelectionMachineTest, ThePointerBelongsToTheDisplayUnderIt) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    EXPECT_EQ(m.view(0).pointer, QPointF(100, 100));
    EXPECT_FALSE(m.view(1).pointer);
    EXPECT_EQ(m.hoveredDisplay(), kLeft.displayID);

    // The shared edge belongs to the right display.
    m.pointerMoved(QPointF(1920, 500));
    EXPECT_FALSE(m.view(0).pointer);
    EXPECT_EQ(m.view(1).pointer, QPointF(0, 500));
    EXPECT_EQ(m.hoveredDisplay(), kRight.displayID);
    EXPECT_FALSE(m.isCrosshairShown(0));
    EXPECT_TRUE(m.isCrosshairShown(1));

    // Below the shorter display there is none.
    m.pointerMoved(QPointF(2000, 1050));
    EXPECT_FALSE(m.hoveredDisplay());
    EXPECT_FALSE(m.view(1).pointer);
}

TEST_F(SelectionMachineTest, SpaceSwitchesModesAndClearsEveryDrag) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    m.pressed(0, QPointF(100, 100), QPointF(100, 100));
    m.dragged(0, QPointF(200, 200), false);
    const int readsBefore = windowReads;

    m.keyPressed(Key::space, QPointF(700, 500));
    EXPECT_EQ(m.mode(), SelectionMode::window);
    EXPECT_FALSE(m.view(0).isDragging());
    EXPECT_EQ(windowReads, readsBefore + 1); // the list is read as window mode starts
    EXPECT_EQ(m.hoveredWindow(), kTerminal);
    EXPECT_FALSE(m.isCrosshairShown(0));
    EXPECT_FALSE(m.isMagnifierShown(0));
    // A release of the old drag no longer picks anything.
    EXPECT_EQ(m.released(0).kind, Kind::none);

    m.keyPressed(Key::space, QPointF(700, 500));
    EXPECT_EQ(m.mode(), SelectionMode::area);
    EXPECT_FALSE(m.hoveredWindow());
    EXPECT_FALSE(m.view(0).isDragging());
}

TEST_F(SelectionMachineTest, EscapeCancelsOtherKeysDoNothing) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    EXPECT_EQ(m.keyPressed(Key::other, QPointF(100, 100)).kind, Kind::none);
    EXPECT_EQ(m.mode(), SelectionMode::area);
    EXPECT_EQ(m.keyPressed(Key::escape, QPointF(100, 100)).kind, Kind::cancel);
    EXPECT_EQ(m.cancelRequested().kind, Kind::cancel);
}

TEST_F(SelectionMachineTest, NothingIsHeardWhileThePictureIsTaken) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    ASSERT_EQ(drag(m, 0, QPointF(100, 100), QPointF(300, 250)).kind, Kind::choose);
    m.startTakingPicture();
    EXPECT_EQ(m.cancelRequested().kind, Kind::none);
    EXPECT_EQ(m.keyPressed(Key::escape, QPointF()).kind, Kind::none);
    EXPECT_EQ(m.keyPressed(Key::space, QPointF()).kind, Kind::none);
    EXPECT_EQ(m.mode(), SelectionMode::area);
    EXPECT_EQ(m.pressed(0, QPointF(5, 5), QPointF(5, 5)).kind, Kind::none);
    EXPECT_EQ(m.released(0).kind, Kind::none);
    EXPECT_EQ(m.displayRemoved(kLeft.displayID).kind, Kind::none);
    // The overlay stays frozen, without crosshair or magnifier.
    EXPECT_FALSE(m.isMagnifierShown(0));
    EXPECT_EQ(m.view(0).selection(), QRectF(100, 100, 200, 150));
}

TEST_F(SelectionMachineTest, HoverFindsTheFrontmostWindowAndAClickPicksIt) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(700, 500)); // both the editor and the terminal are here
    EXPECT_EQ(m.hoveredWindow(), kTerminal);
    m.pointerMoved(QPointF(300, 200));
    EXPECT_EQ(m.hoveredWindow(), kEditor);

    const auto command = m.pressed(0, QPointF(300, 200), QPointF(300, 200));
    ASSERT_EQ(command.kind, Kind::choose);
    EXPECT_EQ(command.pick->kind, SelectionPick::Kind::window);
    EXPECT_EQ(command.pick->window, kEditor);
    EXPECT_EQ(command.pick->display, kLeft);
}

TEST_F(SelectionMachineTest, AClickOffAnyWindowPicksTheClickedDisplay) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(50, 50));
    EXPECT_FALSE(m.hoveredWindow());
    const auto left = m.pressed(0, QPointF(50, 50), QPointF(50, 50));
    EXPECT_EQ(left.pick->kind, SelectionPick::Kind::display);
    EXPECT_EQ(left.pick->display, kLeft);

    SelectionMachine second = make(SelectionMode::window);
    second.begin(QPointF(3000, 900));
    const auto right = second.pressed(1, QPointF(1080, 900), QPointF(3000, 900));
    EXPECT_EQ(right.pick->kind, SelectionPick::Kind::display);
    EXPECT_EQ(right.pick->display, kRight);

    const auto window = second.pressed(1, QPointF(300, 200), QPointF(2220, 200));
    EXPECT_EQ(window.pick->window, kOnRight);
    EXPECT_EQ(window.pick->display, kRight);
}

TEST_F(SelectionMachineTest, TheClickSeesTheWindowsOfThatMoment) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(700, 500));
    ASSERT_EQ(m.hoveredWindow(), kTerminal);

    // The terminal closes between hover and click: the editor behind it is picked.
    windows = {kEditor, kOnRight};
    auto command = m.pressed(0, QPointF(700, 500), QPointF(700, 500));
    EXPECT_EQ(command.pick->window, kEditor);

    // Everything under the pointer closed: the click picks the display.
    SelectionMachine other = make(SelectionMode::window);
    windows = {kTerminal, kEditor};
    other.begin(QPointF(300, 200));
    ASSERT_EQ(other.hoveredWindow(), kEditor);
    windows = {};
    command = other.pressed(0, QPointF(300, 200), QPointF(300, 200));
    EXPECT_EQ(command.pick->kind, SelectionPick::Kind::display);

    // A window that opened after the overlay is found.
    SelectionMachine third = make(SelectionMode::window);
    third.begin(QPointF(1500, 1000));
    EXPECT_FALSE(third.hoveredWindow());
    const desktop::WindowInfo late{
        0x999, QRectF(1400, 900, 300, 150), 13, QStringLiteral("Late"), {}};
    windows.insert(windows.begin(), late);
    command = third.pressed(0, QPointF(1500, 1000), QPointF(1500, 1000));
    EXPECT_EQ(command.pick->window, late);
}

TEST_F(SelectionMachineTest, AnUnchangedWindowListRedrawsNothing) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(700, 500));
    m.takeDamage(0);
    m.takeDamage(1);
    m.refreshWindows(QPointF(700, 500));
    EXPECT_FALSE(m.takeDamage(0).whole);

    // A window that moved redraws every display.
    windows[0].frame.translate(10, 0);
    m.refreshWindows(QPointF(700, 500));
    EXPECT_TRUE(m.takeDamage(0).whole);
    EXPECT_TRUE(m.takeDamage(1).whole);
    EXPECT_EQ(m.hoveredWindow(), windows[0]);
}

TEST_F(SelectionMachineTest, HoverRedrawsEveryViewInWindowModeOnly) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(700, 500));
    m.takeDamage(0);
    m.takeDamage(1);
    m.pointerMoved(QPointF(50, 50)); // from the terminal onto the desktop
    EXPECT_FALSE(m.hoveredWindow());
    EXPECT_TRUE(m.takeDamage(0).whole);
    EXPECT_TRUE(m.takeDamage(1).whole);

    SelectionMachine area = make();
    area.begin(QPointF(700, 500));
    area.takeDamage(0);
    area.pointerMoved(QPointF(50, 50));
    EXPECT_FALSE(area.hoveredWindow());
    const auto damage = area.takeDamage(0);
    EXPECT_FALSE(damage.whole);
    // Only the crosshair bands and the magnifier, before and after.
    EXPECT_EQ(damage.rects.size(), 6u);
}

TEST_F(SelectionMachineTest, DirtyRectsFollowTheDecorations) {
    SelectionMachine m = make(SelectionMode::area, QStringLiteral("Select the text to copy"));
    m.begin(QPointF(100, 100));
    // Crosshair bands, magnifier, hint.
    EXPECT_EQ(m.dirtyRects(0).size(), 4u);
    // The other display shows only the hint.
    EXPECT_EQ(m.dirtyRects(1).size(), 1u);

    m.pressed(0, QPointF(100, 100), QPointF(100, 100));
    m.dragged(0, QPointF(300, 250), false);
    const auto rects = m.dirtyRects(0);
    // Selection, its label, magnifier, hint.
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_EQ(rects[0], QRectF(97, 97, 206, 156));
}

TEST_F(SelectionMachineTest, MagnifierAndCrosshairFollowTheirSettings) {
    SelectionMachine m({kLeft}, {}, {SelectionMode::area, false, false, {}}, {});
    m.begin(QPointF(100, 100));
    EXPECT_FALSE(m.isCrosshairShown(0));
    EXPECT_FALSE(m.isMagnifierShown(0));

    SelectionMachine shown = make();
    shown.begin(QPointF(100, 100));
    shown.pressed(0, QPointF(100, 100), QPointF(100, 100));
    shown.dragged(0, QPointF(150, 150), false);
    // During a drag: no crosshair, the magnifier stays.
    EXPECT_FALSE(shown.isCrosshairShown(0));
    EXPECT_TRUE(shown.isMagnifierShown(0));
    EXPECT_EQ(shown.view(0).pointer, QPointF(150, 150));
}

TEST_F(SelectionMachineTest, UnpluggingADisplayOfTheSelectionCancelsIt) {
    SelectionMachine m = make();
    m.begin(QPointF(100, 100));
    EXPECT_EQ(m.displayRemoved(999).kind, Kind::none);
    EXPECT_EQ(m.displayRemoved(kRight.displayID).kind, Kind::cancel);
    m.close();
    EXPECT_EQ(m.displayRemoved(kRight.displayID).kind, Kind::none);
    EXPECT_EQ(m.cancelRequested().kind, Kind::none);
    EXPECT_TRUE(m.view(0).isClosed);
}

TEST_F(SelectionMachineTest, OccludersAreTheWindowsInFrontInViewPoints) {
    SelectionMachine m = make(SelectionMode::window);
    m.begin(QPointF(300, 200));
    ASSERT_EQ(m.hoveredWindow(), kEditor);
    const auto occluders = m.occluders(0);
    ASSERT_EQ(occluders.size(), 1u);
    EXPECT_EQ(occluders[0], kTerminal.frame);
    EXPECT_EQ(m.occluders(1)[0], kTerminal.frame.translated(-1920, 0));
}

} // namespace
} // namespace capture

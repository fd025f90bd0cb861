#include "capture/scrolling/ScrollingFrameHandler.h"

#include "ScrollStitcherFrames.h"

#include <gtest/gtest.h>

namespace {

using capture::ScrollingFrameHandler;
using capture::ScrollingFrameUpdate;
using Kind = capture::ScrollingMessage::Kind;
using ms = std::chrono::milliseconds;

// A page of noise seen through a 200 × 150 window, and a clock the test moves.
class ScrollingFrameHandlerTest : public ::testing::Test {
protected:
    QImage page = stitchtest::noise(200, 2000, 11);
    ms now{10000};
    ScrollingFrameHandler handler{[this] { return now; }};

    QImage frame(int offset) const { return stitchtest::rows(page, offset, 150); }
    ScrollingFrameUpdate add(int offset, ms after = ms(50)) {
        now += after;
        return handler.handle(frame(offset));
    }
};

TEST_F(ScrollingFrameHandlerTest, FirstFrameAsksToScrollWithAPreviewAndItsSize) {
    const ScrollingFrameUpdate update = add(0);
    EXPECT_EQ(update.message.kind, Kind::scrollDown);
    EXPECT_FALSE(update.preview.isNull());
    EXPECT_EQ(update.preview.width(), 132);
    EXPECT_EQ(update.pixelSize, QSize(200, 150));
    EXPECT_FALSE(update.appended);
}

TEST_F(ScrollingFrameHandlerTest, MessagesFollowTheStitcher) {
    add(0);
    // Nothing moved yet: still one frame high.
    EXPECT_EQ(add(0).message.kind, Kind::scrollDown);

    const ScrollingFrameUpdate moved = add(30);
    EXPECT_EQ(moved.message.kind, Kind::capturing);
    EXPECT_TRUE(moved.appended);
    EXPECT_EQ(moved.rows, 30);
    EXPECT_EQ(moved.pixelSize, QSize(200, 180));

    // Nothing new once taller than a frame: still capturing, not appended.
    const ScrollingFrameUpdate same = add(30);
    EXPECT_EQ(same.message.kind, Kind::capturing);
    EXPECT_FALSE(same.appended);

    // Too far to place.
    EXPECT_EQ(add(1000).message.kind, Kind::tooFast);
    // Another size than the frames before.
    now += ms(50);
    EXPECT_EQ(handler.handle(stitchtest::rows(page, 60, 140)).message.kind, Kind::tooFast);
    EXPECT_EQ(handler.stitcher().height(), 180);
}

TEST_F(ScrollingFrameHandlerTest, PreviewsComeAtMostEveryQuarterSecondAndNotForNothingNew) {
    add(0, ms(0)); // preview at t
    EXPECT_TRUE(add(20, ms(200)).preview.isNull()) << "0.2 s after the last preview";
    EXPECT_FALSE(add(40, ms(100)).preview.isNull()) << "0.3 s after it";
    EXPECT_TRUE(add(40, ms(400)).preview.isNull()) << "a frame that brought nothing new";
    EXPECT_FALSE(add(60, ms(10)).preview.isNull()) << "the next new rows, long after";
}

TEST_F(ScrollingFrameHandlerTest, ComposesThePageScrolledPast) {
    for (const int offset : {0, 25, 60, 100, 145}) {
        add(offset);
    }
    EXPECT_TRUE(stitchtest::samePixels(handler.compose(), stitchtest::rows(page, 0, 295)));
}

TEST_F(ScrollingFrameHandlerTest, OneColourNeverMovesAndStillComposesOneFrame) {
    QImage blank(200, 150, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_EQ(handler.handle(blank).message.kind, Kind::scrollDown);
    for (int i = 0; i < 5; ++i) {
        now += ms(100);
        const ScrollingFrameUpdate update = handler.handle(blank);
        EXPECT_EQ(update.message.kind, Kind::scrollDown);
        EXPECT_FALSE(update.appended);
    }
    EXPECT_EQ(handler.compose().size(), QSize(200, 150));
}

TEST(ScrollingFrameHandler, StoppedStreamFailsWithItsTextAndNoSize) {
    const ScrollingFrameUpdate update = ScrollingFrameHandler::stopped("The display went away.");
    EXPECT_EQ(update.message, capture::ScrollingMessage::failedWith("The display went away."));
    EXPECT_EQ(update.message.text(), "The display went away.");
    EXPECT_EQ(update.pixelSize, QSize(0, 0));
    EXPECT_TRUE(update.preview.isNull());
}

} // namespace

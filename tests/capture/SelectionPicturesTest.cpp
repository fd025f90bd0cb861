#include "capture/selection/SelectionPictures.h"

#include <gtest/gtest.h>

namespace capture {
namespace {

// A display picture whose every pixel says where it is: red = x, green = y.
QImage positionImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256));
        }
    }
    return image;
}

desktop::DisplaySnapshot snapshot(std::uint32_t id, QRectF frame, double scale) {
    QImage image = positionImage(qRound(frame.width() * scale), qRound(frame.height() * scale));
    image.setDevicePixelRatio(scale);
    return {nullptr, id, image, scale, frame};
}

class SelectionPicturesTest : public testing::Test {
protected:
    std::vector<desktop::DisplaySnapshot> snapshots{snapshot(1, QRectF(0, 0, 400, 300), 1.0),
                                                    snapshot(2, QRectF(400, 0, 200, 150), 2.0)};
    desktop::CaptureDisplay left = snapshots[0].display();
    desktop::CaptureDisplay right = snapshots[1].display();
    WindowPictureSource failing = [](std::uint32_t) { return std::nullopt; };
};

TEST_F(SelectionPicturesTest, AnAreaIsCutFromItsDisplaysPictureInPixels) {
    auto taken = takeSelectionPicture(SelectionPick::area(right, QRectF(10, 20, 30, 15.5)),
                                      snapshots, failing);
    ASSERT_TRUE(std::holds_alternative<SelectionPicture>(taken));
    const SelectionPicture& picture = std::get<SelectionPicture>(taken);
    EXPECT_EQ(picture.image.size(), QSize(60, 31));
    EXPECT_EQ(picture.scale, 2.0);
    EXPECT_FALSE(picture.isWindowAlone);
    EXPECT_EQ(picture.image.pixel(0, 0), snapshots[1].image.pixel(20, 40));
    EXPECT_EQ(picture.image.pixel(59, 30), snapshots[1].image.pixel(79, 70));
}

TEST_F(SelectionPicturesTest, ADisplayIsItsWholePicture) {
    auto taken = takeSelectionPicture(SelectionPick::ofDisplay(left), snapshots, failing);
    ASSERT_TRUE(std::holds_alternative<SelectionPicture>(taken));
    EXPECT_EQ(std::get<SelectionPicture>(taken).image, snapshots[0].image);
}

TEST_F(SelectionPicturesTest, NothingOfTheAreaOnItsDisplayIsNoDisplays) {
    auto outside = takeSelectionPicture(SelectionPick::area(left, QRectF(500, 10, 20, 20)),
                                        snapshots, failing);
    EXPECT_EQ(std::get<desktop::CaptureError>(outside), desktop::CaptureError::noDisplays);
    const desktop::CaptureDisplay unknown{nullptr, 99, 1.0, QRectF(0, 0, 100, 100)};
    auto gone = takeSelectionPicture(SelectionPick::ofDisplay(unknown), snapshots, failing);
    EXPECT_EQ(std::get<desktop::CaptureError>(gone), desktop::CaptureError::noDisplays);
}

TEST_F(SelectionPicturesTest, AWindowIsTakenAlone) {
    const desktop::WindowInfo window{0x42, QRectF(50, 60, 100, 80), 1, {}, {}};
    std::uint32_t asked = 0;
    const WindowPictureSource source = [&](std::uint32_t id) {
        asked = id;
        return SelectionPicture{QImage(100, 80, QImage::Format_RGB32), 1.0, false};
    };
    auto taken = takeSelectionPicture(SelectionPick::ofWindow(window, left), snapshots, source);
    ASSERT_TRUE(std::holds_alternative<SelectionPicture>(taken));
    EXPECT_EQ(asked, 0x42u);
    EXPECT_TRUE(std::get<SelectionPicture>(taken).isWindowAlone);
}

TEST_F(SelectionPicturesTest, AWindowWhosePictureFailsFallsBackToItsVisiblePart) {
    // Half of it hangs off the left display's bottom edge.
    const desktop::WindowInfo window{0x42, QRectF(50, 250, 100, 100), 1, {}, {}};
    auto taken = takeSelectionPicture(SelectionPick::ofWindow(window, left), snapshots, failing);
    ASSERT_TRUE(std::holds_alternative<SelectionPicture>(taken));
    const SelectionPicture& picture = std::get<SelectionPicture>(taken);
    EXPECT_FALSE(picture.isWindowAlone);
    EXPECT_EQ(picture.image.size(), QSize(100, 50));
    EXPECT_EQ(picture.image.pixel(0, 0), snapshots[0].image.pixel(50, 250));

    // On the second display, in its own points.
    const desktop::WindowInfo onRight{0x43, QRectF(450, 10, 20, 20), 1, {}, {}};
    taken = takeSelectionPicture(SelectionPick::ofWindow(onRight, right), snapshots, failing);
    EXPECT_EQ(std::get<SelectionPicture>(taken).image.size(), QSize(40, 40));
}

TEST_F(SelectionPicturesTest, AFailedWindowOffTheClickedDisplayIsNotFound) {
    const desktop::WindowInfo window{0x42, QRectF(450, 10, 20, 20), 1, {}, {}};
    auto taken = takeSelectionPicture(SelectionPick::ofWindow(window, left), snapshots, failing);
    EXPECT_EQ(std::get<desktop::CaptureError>(taken), desktop::CaptureError::windowNotFound);
}

} // namespace
} // namespace capture

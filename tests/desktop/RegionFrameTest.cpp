#include "desktop/RegionFramePainter.h"
#include "desktop/RegionFrameWindow.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace desktop {
namespace {

const QRectF kRegion(100, 80, 200, 100);
const QColor kAccent(0, 100, 255);

QImage paintFrame(RegionFrameStyle style, bool dims = true) {
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red); // whatever was there before is replaced
    QPainter painter(&image);
    regionFrame::paint(painter, image.size(), kRegion, style, kAccent, dims);
    painter.end();
    return image;
}

TEST(RegionFrameTest, DimmedDarkensTheSurroundAndOutlinesTheRegion) {
    const QImage image = paintFrame(RegionFrameStyle::dimmed);
    EXPECT_EQ(qAlpha(image.pixel(150, 120)), 0); // the region
    EXPECT_EQ(qAlpha(image.pixel(100, 80)), 0);  // its corner pixel
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), qRound(0.28 * 255));
    // The 2 pt line covers 1 to 3 pt outside the region.
    for (const QPoint p :
         {QPoint(98, 120), QPoint(97, 120), QPoint(150, 77), QPoint(301, 120), QPoint(150, 182)}) {
        EXPECT_EQ(image.pixelColor(p), kAccent) << p.x() << "," << p.y();
    }
    EXPECT_EQ(qAlpha(image.pixel(99, 120)), 0);
    // Just outside the line: the undimmed hole of 3 pt ends there.
    EXPECT_EQ(qAlpha(image.pixel(96, 120)), qRound(0.28 * 255));
}

TEST(RegionFrameTest, RecordingDrawsOnlyADashedRedOutline) {
    const QImage image = paintFrame(RegionFrameStyle::recording);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0);
    EXPECT_EQ(qAlpha(image.pixel(150, 120)), 0);
    // Along the top edge (y = 77…78) the line runs 8 pt on, 5 pt off from its corner at x = 98.
    int on = 0;
    int off = 0;
    for (int x = 98; x < 98 + 26; ++x) {
        const QRgb pixel = image.pixel(x, 77);
        if (qAlpha(pixel) == 255) {
            EXPECT_EQ(QColor(pixel), regionFrame::recordingRed());
            ++on;
        } else {
            EXPECT_EQ(qAlpha(pixel), 0);
            ++off;
        }
    }
    EXPECT_EQ(on, 16);
    EXPECT_EQ(off, 10);
}

TEST(RegionFrameTest, WithoutBlendingOnlyTheOutlineIsShown) {
    const QImage image = paintFrame(RegionFrameStyle::dimmed, false);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0);
    const QRegion mask =
        outlineRegion(regionFrame::outlineArea(kRegion, RegionFrameStyle::dimmed), 1.0);
    EXPECT_TRUE(mask.contains(QPoint(98, 120)));
    EXPECT_TRUE(mask.contains(QPoint(301, 179)));
    EXPECT_FALSE(mask.contains(QPoint(150, 120)));
    EXPECT_FALSE(mask.contains(QPoint(99, 120)));
    EXPECT_FALSE(mask.contains(QPoint(10, 10)));
    const QRegion dashes =
        outlineRegion(regionFrame::outlineArea(kRegion, RegionFrameStyle::recording), 1.0);
    EXPECT_TRUE(dashes.contains(QPoint(100, 77)));
    EXPECT_FALSE(dashes.contains(QPoint(110, 77)));
}

TEST(RegionFrameTest, TheWindowCoversTheDisplayAndTakesNoInput) {
    RegionFrameWindow window(QRectF(0, 0, 800, 600), QRectF(0, 0, 300, 200));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), QRect(0, 0, 800, 600));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(window.style(), RegionFrameStyle::dimmed);
    window.setStyle(RegionFrameStyle::recording);
    EXPECT_EQ(window.style(), RegionFrameStyle::recording);
}

} // namespace
} // namespace desktop

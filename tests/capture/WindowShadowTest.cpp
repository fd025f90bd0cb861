#include "capture/WindowShadow.h"
#include "desktop/CaptureError.h"

#include <gtest/gtest.h>

namespace capture {
namespace {

using namespace WindowShadow;

QImage opaque(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(WindowShadowTest, LeavesTheMarginsAroundTheWindow) {
    struct Case {
        QSize window;
        double scale;
        QSize canvas;
    } cases[] = {
        {{200, 100}, 2.0, {360, 260}},
        {{400, 300}, 1.0, {480, 380}},
        {{801, 600}, 2.0, {961, 760}},
        // 1.25 × 80 = 100; halves round away from zero.
        {{101, 51}, 1.25, {201, 151}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(canvasSize(c.window, c.scale), c.canvas) << c.scale;
        const QImage out = addWindowShadow(opaque(c.window, qRgb(10, 20, 30)), c.scale);
        EXPECT_EQ(out.size(), c.canvas);
        EXPECT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
    }
    EXPECT_EQ(margins(2.0), QMarginsF(80, 52, 80, 108));
}

TEST(WindowShadowTest, PutsTheWindowUnchangedAboveItsShade) {
    QImage window = opaque({200, 100}, qRgb(200, 100, 50));
    window.setPixel(0, 0, qRgb(1, 2, 3));
    window.setDevicePixelRatio(2.0);
    const QImage out = addWindowShadow(window, 2.0);
    EXPECT_EQ(out.devicePixelRatio(), 2.0);
    // Lower-left corner at (80, 108) from the bottom: top-left at (80, 52).
    EXPECT_EQ(out.copy(80, 52, 200, 100).convertToFormat(QImage::Format_RGB32),
              window.convertToFormat(QImage::Format_RGB32));
    const auto alphaAt = [&out](int x, int y) { return qAlpha(out.pixel(x, y)); };
    // Dropped: darker below the window than above it, fading towards the edges.
    EXPECT_GT(alphaAt(180, 170), alphaAt(180, 40));
    EXPECT_GT(alphaAt(180, 170), alphaAt(180, 250));
    EXPECT_GT(alphaAt(70, 100), alphaAt(10, 100));
    EXPECT_LT(alphaAt(180, 170), 256 * 0.42 + 1);
    EXPECT_EQ(qRed(out.pixel(180, 170)), 0); // a black shade
    EXPECT_EQ(alphaAt(0, 0), 0);
}

TEST(WindowShadowTest, TransparentCornersCastNoShade) {
    QImage window(100, 100, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::transparent);
    const QImage out = addWindowShadow(window, 1.0);
    for (int y = 0; y < out.height(); y += 7) {
        for (int x = 0; x < out.width(); x += 7) {
            ASSERT_EQ(qAlpha(out.pixel(x, y)), 0) << x << "," << y;
        }
    }
    EXPECT_TRUE(addWindowShadow(QImage(), 2.0).isNull());
}

TEST(WindowShadowTest, TheBlurKeepsTheAmountAndSpreadsIt) {
    QImage mask(101, 101, QImage::Format_Alpha8);
    mask.fill(0);
    for (int y = 40; y <= 60; ++y) {
        for (int x = 40; x <= 60; ++x) {
            mask.scanLine(y)[x] = 255;
        }
    }
    const auto total = [](const QImage& m) {
        long sum = 0;
        for (int y = 0; y < m.height(); ++y) {
            for (int x = 0; x < m.width(); ++x) {
                sum += m.constScanLine(y)[x];
            }
        }
        return sum;
    };
    const long before = total(mask);
    blurAlpha(mask, 4.0);
    EXPECT_NEAR(static_cast<double>(total(mask)), static_cast<double>(before), before * 0.02);
    EXPECT_EQ(mask.constScanLine(50)[50], 255);
    EXPECT_GT(mask.constScanLine(50)[36], 0);
    EXPECT_LT(mask.constScanLine(50)[40], 200);
    EXPECT_EQ(mask.constScanLine(50)[10], 0);
    // Symmetric both ways.
    EXPECT_EQ(mask.constScanLine(50)[35], mask.constScanLine(35)[50]);
    EXPECT_EQ(mask.constScanLine(50)[35], mask.constScanLine(50)[65]);
}

TEST(CaptureErrorTest, EachErrorHasItsSentence) {
    EXPECT_EQ(desktop::errorDescription(desktop::CaptureError::noDisplays),
              QStringLiteral("No display could be captured."));
    EXPECT_EQ(desktop::errorDescription(desktop::CaptureError::windowNotFound),
              QStringLiteral("That window is no longer on screen."));
    EXPECT_EQ(desktop::errorDescription(desktop::CaptureError::permissionMissing),
              QStringLiteral("Vexlin Capture has no access to the screen."));
}

} // namespace
} // namespace capture

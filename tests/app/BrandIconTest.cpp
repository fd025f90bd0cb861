#include "app/BrandIcon.h"

#include <gtest/gtest.h>

namespace {

struct PixelCase {
    int x, y;
    bool inked;
    const char* what;
};

// Points well inside or well outside the strokes, at 18 x 18 pixels: the
// brackets' stroke centres lie on (1.9, 2.4)-(16.1, 15.6) with arms of 4.26,
// the block is 7.56 x 5.58 around the middle.
TEST(BrandIcon, DrawsBracketsAndBlockWhereTheyBelong) {
    const QImage image = app::BrandIcon::render(18, Qt::black);
    const PixelCase cases[] = {
        {9, 9, true, "centre block"},          {6, 9, true, "block near its left edge"},
        {4, 9, false, "left of the block"},    {1, 5, true, "top-left bracket, vertical arm"},
        {12, 2, true, "top-right arm"},        {5, 15, true, "bottom-left arm"},
        {9, 2, false, "gap between top arms"}, {1, 9, false, "gap between left arms"},
        {0, 0, false, "outside the brackets"}, {17, 17, false, "outside the brackets"},
    };
    for (const PixelCase& c : cases) {
        const int alpha = qAlpha(image.pixel(c.x, c.y));
        if (c.inked) {
            EXPECT_EQ(alpha, 255) << c.what;
        } else {
            EXPECT_EQ(alpha, 0) << c.what;
        }
    }
}

TEST(BrandIcon, ScalesWithThePixelSizeAndTakesTheTint) {
    const QImage image = app::BrandIcon::render(36, QColor(200, 10, 10));
    EXPECT_EQ(image.pixelColor(18, 18), QColor(200, 10, 10));
    EXPECT_EQ(image.pixelColor(3, 11), QColor(200, 10, 10));
    EXPECT_EQ(qAlpha(image.pixel(18, 4)), 0);
}

// Trays on X11 never recolour a mask, so the icon carries its colour itself.
TEST(BrandIcon, IconIsDrawnInItsTintAtEveryScale) {
    const QIcon icon = app::BrandIcon::image(QColor(240, 240, 240));
    EXPECT_FALSE(icon.isMask());
    for (const qreal scale : {1.0, 2.0}) {
        const QImage image = icon.pixmap(QSize(18, 18), scale).toImage();
        ASSERT_EQ(image.size(), QSize(18, 18) * scale);
        EXPECT_EQ(image.pixelColor(QPoint(9, 9) * scale), QColor(240, 240, 240)) << scale;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << scale;
    }
}

} // namespace

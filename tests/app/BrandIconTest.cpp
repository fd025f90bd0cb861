#include "app/BrandIcon.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

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

// A tray's slot is rarely square (22 x 30 in a 32-pixel panel, 44 x 46 at
// scale 2): the mark keeps its proportions there instead of being stretched.
QRect inkedArea(const QImage& image) {
    QRect inked;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 128) {
                inked |= QRect(x, y, 1, 1);
            }
        }
    }
    return inked;
}

TEST(BrandIcon, KeepsItsProportionsInANonSquareTraySlot) {
    const QIcon icon = app::BrandIcon::image(Qt::black);
    for (const QSize slot : {QSize(22, 30), QSize(30, 22), QSize(44, 46)}) {
        SCOPED_TRACE(testing::Message() << slot.width() << "x" << slot.height());
        const int side = std::min(slot.width(), slot.height());
        EXPECT_EQ(icon.actualSize(slot), QSize(side, side));
        EXPECT_EQ(icon.pixmap(slot).size(), QSize(side, side));

        // Painted the way the tray paints it, into the whole slot: the mark
        // drawn square at the slot's shorter side, centred.
        QImage painted(slot, QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::transparent);
        {
            QPainter painter(&painted);
            icon.paint(&painter, painted.rect());
        }
        const QRect expected =
            inkedArea(app::BrandIcon::render(side, Qt::black))
                .translated((slot.width() - side) / 2, (slot.height() - side) / 2);
        EXPECT_EQ(inkedArea(painted), expected);
    }
}

} // namespace

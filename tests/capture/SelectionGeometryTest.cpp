#include "capture/selection/SelectionGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace capture {
namespace {

using namespace selection;

TEST(SelectionGeometryTest, SizeTextRoundsHalvesAwayFromZero) {
    struct Case {
        QRectF rect;
        const char* text;
    } cases[] = {
        {QRectF(0, 0, 100.5, 40.4), "101 × 40"},
        {QRectF(3, 7, 200, 150), "200 × 150"},
        {QRectF(0, 0, 0.49, 2.5), "0 × 3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sizeText(c.rect), QString::fromUtf8(c.text));
    }
}

TEST(SelectionGeometryTest, ShiftMakesASquareCutOnlyByTheDisplayEdge) {
    const QSizeF display(1920, 1080);
    struct Case {
        QPointF origin, pointer, corner;
    } cases[] = {
        {{100, 100}, {130, 160}, {160, 160}},
        {{100, 100}, {70, 160}, {40, 160}},
        {{100, 100}, {100, 100}, {100, 100}},
        {{100, 100}, {100, 40}, {160, 40}},      // a zero difference counts as positive
        {{100, 1000}, {300, 1050}, {300, 1080}}, // clamped at the bottom: not a square
    };
    for (const Case& c : cases) {
        EXPECT_EQ(squareCorner(c.origin, c.pointer, display), c.corner)
            << c.pointer.x() << "," << c.pointer.y();
    }
    EXPECT_EQ(clampToBounds(QPointF(-5, 2000), display), QPointF(0, 1080));
}

TEST(SelectionGeometryTest, CrosshairLinesFallOnWholePixels) {
    // 1×: one pixel; 2×: two pixels (one point); 3×: three pixels.
    for (const qreal scale : {1.0, 2.0, 3.0}) {
        const CrosshairLines lines = crosshairLines(QPointF(10.3, 5.7), scale);
        const qreal pixels = lines.thickness * scale;
        EXPECT_DOUBLE_EQ(pixels, std::max(1.0, std::round(scale)));
        // The line's first pixel is the pointer's pixel.
        const qreal left = (lines.center.x() - lines.thickness / 2) * scale;
        EXPECT_DOUBLE_EQ(left, std::floor(10.3 * scale));
        const qreal top = (lines.center.y() - lines.thickness / 2) * scale;
        EXPECT_DOUBLE_EQ(top, std::floor(5.7 * scale));
    }
    const auto bands = crosshairRects(QPointF(10.3, 5.7), QRectF(0, 0, 100, 50), 1);
    EXPECT_EQ(bands[0], QRectF(0, 1.5, 100, 8));
    EXPECT_EQ(bands[1], QRectF(6.5, 0, 8, 50));
}

TEST(SelectionGeometryTest, LightTravelsForTwoPointFourSecondsAndRests) {
    EXPECT_EQ(lightCurve(-1).radius, 0);
    EXPECT_EQ(lightCurve(-1).intensity, 0);
    EXPECT_NEAR(lightCurve(0.15).intensity, 0.5, 1e-9);
    EXPECT_NEAR(lightCurve(0.3).intensity, 1, 1e-9);
    EXPECT_NEAR(lightCurve(1.2).radius, 1800 * (1 - 0.125), 1e-6);
    EXPECT_GT(lightCurve(2.39).intensity, 0);
    EXPECT_EQ(lightCurve(2.4).intensity, 0);
    EXPECT_EQ(lightCurve(2.4).radius, 1800);
    EXPECT_EQ(lightCurve(3.99).intensity, 0);
    // Every 4 s it starts again.
    EXPECT_NEAR(lightCurve(4.15).intensity, lightCurve(0.15).intensity, 1e-9);
    EXPECT_NEAR(lightCurve(9.0).radius, lightCurve(1.0).radius, 1e-6);
}

TEST(SelectionGeometryTest, MagnifierMovesAwayFromTheRightAndBottomEdges) {
    const QSizeF display(1920, 1080);
    EXPECT_EQ(magnifierFrame(QPointF(500, 400), display), QRectF(524, 424, 120, 146));
    EXPECT_EQ(magnifierFrame(QPointF(1800, 400), display).left(), 1800 - 144);
    EXPECT_EQ(magnifierFrame(QPointF(500, 950), display).top(), 950 - 170);
    EXPECT_EQ(lensRect(QPointF(500, 400), display), QRectF(524, 424, 120, 120));

    // The centre of the 15-pixel square is the pointer's pixel, at any scale.
    for (const qreal scale : {1.0, 1.5, 2.0}) {
        const QRect source = magnifierSource(QPointF(10.3, 5.7), scale);
        EXPECT_EQ(source.size(), QSize(15, 15));
        EXPECT_EQ(source.left() + 7, static_cast<int>(std::floor(10.3 * scale)));
        EXPECT_EQ(source.top() + 7, static_cast<int>(std::floor(5.7 * scale)));
    }
    EXPECT_EQ(magnifierReadRegion(QPointF(5.5, 100.2), QRectF(0, 0, 1920, 1080)),
              QRectF(0, 88, 17, 24));
}

TEST(SelectionGeometryTest, SizeLabelGoesInsideNearTheBottom) {
    EXPECT_EQ(sizeLabelCenter(QRectF(100, 100, 200, 150), 1080), QPointF(200, 268));
    // Bottom edge at 1080: 1080 + 18 > 1080 − 16.
    EXPECT_EQ(sizeLabelCenter(QRectF(100, 900, 200, 180), 1080), QPointF(200, 1062));
    const QRectF frame = sizeLabelFrame(QRectF(100, 100, 200, 150), 1080);
    EXPECT_NEAR(frame.center().x(), 200, 1e-9);
    EXPECT_NEAR(frame.center().y(), 268, 1e-9);
    EXPECT_EQ(frame.size(), textSize(QStringLiteral("200 × 150"), false) + QSizeF(16, 8));
}

TEST(SelectionGeometryTest, WindowLabelNamesTheProgramAndCutsTheSize) {
    desktop::WindowInfo window{7, QRectF(0, 0, 161.9, 81.2), 1, QStringLiteral("Gedit"), {}};
    EXPECT_EQ(windowLabelText(window), QStringLiteral("Gedit  ·  161 × 81"));
    window.ownerName.clear();
    EXPECT_EQ(windowLabelText(window), QStringLiteral("Window  ·  161 × 81"));

    EXPECT_FALSE(windowHasLabel(QRectF(0, 0, 160, 300)));
    EXPECT_FALSE(windowHasLabel(QRectF(0, 0, 300, 80)));
    EXPECT_TRUE(windowHasLabel(QRectF(0, 0, 161, 81)));
}

} // namespace
} // namespace capture

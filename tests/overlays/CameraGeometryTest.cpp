#include "overlays/CameraGeometry.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <limits>

namespace overlays::cameraGeometry {
namespace {

using app::CameraShape;
using app::CameraSize;

TEST(CameraGeometry, SizesAndRadii) {
    const struct {
        CameraSize size;
        CameraShape shape;
        QSizeF bubble;
        double radius;
    } cases[] = {
        {CameraSize::small, CameraShape::circle, {160, 160}, 80},
        {CameraSize::small, CameraShape::roundedRectangle, {160, 120}, 14},
        {CameraSize::medium, CameraShape::circle, {220, 220}, 110},
        {CameraSize::medium, CameraShape::roundedRectangle, {220, 165}, 20},
        {CameraSize::large, CameraShape::circle, {300, 300}, 150},
        {CameraSize::large, CameraShape::roundedRectangle, {300, 225}, 27},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(app::rawValue(c.size).toStdString() + " " +
                     app::rawValue(c.shape).toStdString());
        EXPECT_EQ(bubbleSize(c.size, c.shape), c.bubble);
        EXPECT_EQ(cornerRadius(c.bubble, c.shape), c.radius);
    }
}

TEST(CameraGeometry, CircleToRoundedRectangleKeepsTheCentre) {
    const QRectF display(0, 0, 1920, 1080);
    const QRectF circle(500, 300, 220, 220);
    const QRectF rect =
        resized(circle, bubbleSize(CameraSize::medium, CameraShape::roundedRectangle), display);
    EXPECT_EQ(rect.size(), QSizeF(220, 165));
    EXPECT_EQ(rect.center(), circle.center());
    // At the display's edge it stays on it.
    const QRectF corner(1700, 860, 220, 220);
    EXPECT_EQ(resized(corner, bubbleSize(CameraSize::large, CameraShape::circle), display),
              QRectF(1620, 780, 300, 300));
}

TEST(CameraGeometry, FirstPlaces) {
    // A display right of the first, with a 30-point panel at its top and
    // a 40-point one at its bottom.
    const QRectF display(1920, 0, 1280, 1024);
    const QRectF visible(1920, 30, 1280, 1024 - 70);
    EXPECT_EQ(defaultFrameOnDisplay({220, 220}, visible, display),
              QRectF(1920 + 1280 - 40 - 220, 1024 - 40 - 40 - 220, 220, 220));
    const QRectF window(100, 100, 800, 600);
    EXPECT_EQ(defaultFrameInWindow({220, 165}, window),
              QRectF(900 - 20 - 220, 700 - 20 - 165, 220, 165));
    // A window smaller than the bubble pins it to its top-left corner.
    EXPECT_EQ(defaultFrameInWindow({220, 220}, QRectF(100, 100, 150, 150)),
              QRectF(100, 100, 220, 220));
}

TEST(CameraGeometry, StoredPositionsRoundTripAndAreClamped) {
    const QRectF display(1920, 0, 1280, 1024);
    const QSizeF size(220, 220);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        QPointF stored;
        QRectF frame;
    } cases[] = {
        {"centre, measured from the bottom-left", {0.5, 0.25}, {2560 - 110, 768 - 110, 220, 220}},
        {"off the right and the top", {1.7, 1.2}, {3200 - 220, 0, 220, 220}},
        {"absurdly far", {-1e300, 1e300}, {1920, 0, 220, 220}},
        {"not numbers", {nan, nan}, {2560 - 110, 512 - 110, 220, 220}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frameFromStored(size, c.stored, display), c.frame);
    }
    const QRectF frame(2000, 600, 220, 220);
    const QPointF stored = storedFromFrame(frame, display);
    EXPECT_DOUBLE_EQ(stored.x(), (2110.0 - 1920) / 1280);
    EXPECT_DOUBLE_EQ(stored.y(), (1024.0 - 710) / 1024);
    EXPECT_EQ(frameFromStored(size, stored, display), frame);
}

TEST(CameraGeometry, DragStopsAtTheEdgeAndStoresFractionsInRange) {
    const QRectF display(0, 0, 1920, 1080);
    const QRectF start(1500, 500, 220, 220);
    const QRectF end = dragged(start, QPointF(900, -800), display);
    EXPECT_EQ(end, QRectF(1700, 0, 220, 220));
    const QPointF stored = storedFromFrame(end, display);
    EXPECT_GE(stored.x(), 0);
    EXPECT_LE(stored.x(), 1);
    EXPECT_GE(stored.y(), 0);
    EXPECT_LE(stored.y(), 1);
}

TEST(CameraGeometry, BubbleMovesWithItsWindow) {
    const QRectF from(100, 100, 800, 600);
    const struct {
        const char* name;
        QRectF bubble;
        QRectF to;
        QRectF moved;
    } cases[] = {
        {"right half, lower half: keeps right and bottom distances",
         {660, 515, 220, 165},
         from.translated(100, 0),
         {760, 515, 220, 165}},
        {"left half, upper half: keeps left and top distances",
         {120, 120, 220, 165},
         QRectF(300, 50, 600, 400),
         {320, 70, 220, 165}},
        {"window shrank under it: stays inside",
         {660, 515, 220, 165},
         QRectF(100, 100, 200, 150),
         {100, 100, 220, 165}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(movedWith(c.bubble, from, c.to), c.moved);
    }
}

TEST(CameraGeometry, DisplayKeys) {
    const QByteArray edid = QByteArray::fromHex("00ffffffffffff004c2d");
    const QString key = displayKey(edid, 7);
    EXPECT_TRUE(
        QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$")
            .match(key)
            .hasMatch())
        << key.toStdString();
    EXPECT_EQ(displayKey(edid, 9), key);
    EXPECT_NE(displayKey(edid + "x", 7), key);
    EXPECT_EQ(displayKey({}, 7), QStringLiteral("7"));
}

} // namespace
} // namespace overlays::cameraGeometry

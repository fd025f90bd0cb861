// Where Quick Access cards stand and how big their tiles are, from the numbers
// alone.
#include "delivery/QuickAccessStack.h"
#include "delivery/QuickAccessThumbnail.h"

#include <gtest/gtest.h>

using delivery::QuickAccessStack::layout;
using delivery::QuickAccessStack::offstage;
using Corner = app::ScreenCorner;

namespace {

struct StackCase {
    const char* name;
    QRect available;
    Corner corner;
    QList<QSize> sizes; // newest first
    QList<QPoint> expected;
    QList<bool> dropped;
};

class StackLayout : public testing::TestWithParam<StackCase> {};

TEST_P(StackLayout, PlacesAndDropsCards) {
    const StackCase& c = GetParam();
    const auto slots = layout(c.available, c.corner, c.sizes);
    ASSERT_EQ(c.sizes.size(), slots.size());
    for (qsizetype i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(c.expected[i], slots[i].topLeft) << "card " << i;
        EXPECT_EQ(c.dropped[i], slots[i].dropped) << "card " << i;
    }
}

const QRect fullHd(0, 0, 1920, 1080);

INSTANTIATE_TEST_SUITE_P(
    Cases, StackLayout,
    testing::Values(
        // 6 from the left and the bottom: 1080 − 6 − 168.
        StackCase{
            "OneCardBottomLeft", fullHd, Corner::bottomLeft, {{256, 168}}, {{6, 906}}, {false}},
        StackCase{"OneCardBottomRight",
                  fullHd,
                  Corner::bottomRight,
                  {{256, 168}},
                  {{1920 - 6 - 256, 906}},
                  {false}},
        // A free area that does not start at the origin: a second display to
        // the right, a panel along its top.
        StackCase{"SecondDisplayWithPanel",
                  QRect(1920, 32, 1280, 992),
                  Corner::bottomRight,
                  {{220, 144}},
                  {{1920 + 1280 - 6 - 220, 32 + 992 - 6 - 144}},
                  {false}},
        // The new card takes the bottom; the older one's bottom edge is 26
        // below the new card's top.
        StackCase{"SecondCardPushesTheFirstUp",
                  fullHd,
                  Corner::bottomLeft,
                  {{256, 186}, {220, 144}},
                  {{6, 888}, {6, 888 + 26 - 144}},
                  {false, false}},
        StackCase{"SecondCardBottomRightKeepsEachWidth",
                  fullHd,
                  Corner::bottomRight,
                  {{256, 186}, {220, 144}},
                  {{1658, 888}, {1694, 770}},
                  {false, false}},
        // Available top 100: a card is kept while its top + 26 ≥ 140.
        // Newest: 494 − 200 = 294. Second: bottom 320, top 320 − 206 = 114.
        StackCase{"OlderCardExactlyAtTheLimitStays",
                  QRect(0, 100, 800, 400),
                  Corner::bottomLeft,
                  {{220, 200}, {220, 206}},
                  {{6, 294}, {6, 114}},
                  {false, false}},
        StackCase{"OlderCardOnePointOverIsDropped",
                  QRect(0, 100, 800, 400),
                  Corner::bottomLeft,
                  {{220, 200}, {220, 207}, {220, 144}},
                  {{6, 294}, {6, 113}, {6, -5}},
                  {false, true, true}},
        // Once one card is dropped every older one goes too.
        StackCase{"OverflowTakesTheOldest",
                  QRect(0, 0, 800, 500),
                  Corner::bottomLeft,
                  {{256, 186}, {256, 186}, {256, 186}, {256, 186}},
                  {{6, 308}, {6, 148}, {6, -12}, {6, -172}},
                  {false, false, true, true}},
        // Taller than the whole free area, and still kept while newest.
        StackCase{"OversizedNewestIsKept",
                  QRect(0, 0, 800, 300),
                  Corner::bottomRight,
                  {{256, 400}, {220, 144}},
                  {{538, -106}, {574, -224}},
                  {false, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StackLayoutOffstage, HalfAWidthTowardsTheCornersEdge) {
    EXPECT_EQ(QPoint(6 - 128, 900), offstage(QPoint(6, 900), 256, Corner::bottomLeft));
    EXPECT_EQ(QPoint(1658 + 128, 900), offstage(QPoint(1658, 900), 256, Corner::bottomRight));
}

// --- tile sizes ---

struct SizeCase {
    QSizeF points;
    QSize tile;
};

class TileSize : public testing::TestWithParam<SizeCase> {};

TEST_P(TileSize, FitsWithinBoundsAndKeepsTheMinimum) {
    EXPECT_EQ(GetParam().tile, delivery::thumbnailSize(GetParam().points))
        << GetParam().points.width() << "×" << GetParam().points.height();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileSize,
    testing::Values(SizeCase{{100, 50}, {184, 108}}, SizeCase{{1000, 1000}, {184, 150}},
                    // Scale 0.1: 220 × 100, raised to 108.
                    SizeCase{{2200, 1000}, {220, 108}}, SizeCase{{0, 0}, {184, 108}},
                    SizeCase{{-5, 40}, {184, 108}},
                    // 1000 × 600: scale 0.22.
                    SizeCase{{1000, 600}, {220, 132}},
                    // Scale 0.5: 184.5 rounds away from zero.
                    SizeCase{{369, 300}, {185, 150}},
                    // Never enlarged: 200 × 120 stays.
                    SizeCase{{200, 120}, {200, 120}}, SizeCase{{1, 1}, {184, 108}},
                    SizeCase{{12000, 300}, {220, 108}}));

// --- crop rectangles ---

// w × h, transparent with an opaque inside `margin` in from every edge;
// the top-left pixel gets `cornerAlpha`.
QImage framed(int w, int h, int margin, int cornerAlpha = 0,
              QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = margin; y < h - margin; ++y) {
        for (int x = margin; x < w - margin; ++x) {
            image.setPixel(x, y, qRgba(200, 40, 40, 255));
        }
    }
    image.setPixel(0, 0, qRgba(10, 10, 10, cornerAlpha));
    return image.convertToFormat(format);
}

struct CropCase {
    const char* name;
    QImage image;
    std::optional<QRect> crop;
};

class CropRect : public testing::TestWithParam<CropCase> {};

TEST_P(CropRect, TrimsOnlyATransparentMargin) {
    EXPECT_EQ(GetParam().crop, delivery::thumbnailCropRect(GetParam().image));
}

QImage opaqueWithAlpha() {
    QImage image(50, 40, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    return image;
}

QImage withoutAlpha() {
    QImage image(50, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// Transparent except the middle row and the middle column, opaque from edge
// to edge.
QImage opaqueCross() {
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int x = 0; x < 40; ++x) {
        image.setPixel(x, 15, qRgba(0, 0, 0, 255));
    }
    for (int y = 0; y < 30; ++y) {
        image.setPixel(20, y, qRgba(0, 0, 0, 255));
    }
    return image;
}

QImage clearMiddleRow() {
    QImage image = framed(100, 80, 10);
    for (int x = 0; x < 100; ++x) {
        image.setPixel(x, 40, qRgba(0, 0, 0, 0));
    }
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CropRect,
    testing::Values(CropCase{"Margin10", framed(100, 80, 10), QRect(10, 10, 80, 60)},
                    CropCase{"Margin10Straight", framed(100, 80, 10, 0, QImage::Format_ARGB32),
                             QRect(10, 10, 80, 60)},
                    CropCase{"Margin10Rgba8888", framed(100, 80, 10, 0, QImage::Format_RGBA8888),
                             QRect(10, 10, 80, 60)},
                    // Alpha 249 still counts as transparent; 250 is opaque.
                    CropCase{"CornerAlpha249Searches", framed(100, 80, 10, 249),
                             QRect(10, 10, 80, 60)},
                    CropCase{"CornerAlpha250IsOpaque", framed(100, 80, 10, 250), std::nullopt},
                    CropCase{"TwoPixelsWide", framed(2, 40, 0), std::nullopt},
                    CropCase{"TwoPixelsHigh", framed(40, 2, 0), std::nullopt},
                    CropCase{"ThreeByThreeWithAHole", framed(3, 3, 1), QRect(1, 1, 1, 1)},
                    CropCase{"OpaqueWithAlphaChannel", opaqueWithAlpha(), std::nullopt},
                    CropCase{"NoAlphaChannel", withoutAlpha(), std::nullopt},
                    CropCase{"MiddleRowClear", clearMiddleRow(), std::nullopt},
                    CropCase{"CrossEdgeToEdge", opaqueCross(), std::nullopt},
                    CropCase{"Empty", QImage(), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

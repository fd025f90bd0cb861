#include "annotation/AnnotationGeometry.h"
#include "annotation/ShapeTraits.h"
#include "annotation/Tool.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <limits>

using namespace annotation;

namespace {

Annotation mark(Shape shape, double size = 4) {
    return Annotation{QUuid::createUuid(), std::move(shape), RGBA{1, 0, 0, 1}, size, true,
                      TextStyle::plain};
}

Annotation area(ShapeKind kind, Rect r, double size = 4) {
    return mark(Shape::area(kind, r), size);
}

TEST(Tool, ThirteenToolsInStripOrderWithUniqueKeysAndIcons) {
    const char* raws[] = {"crop",        "rectangle", "filledRectangle", "ellipse", "line",
                          "arrow",       "text",      "pixelate",        "blur",    "counter",
                          "highlighter", "pencil",    "spotlight"};
    const char* keys = "crfolatxbnhps";
    ASSERT_EQ(tools::allCases().size(), 13u);
    for (std::size_t i = 0; i < 13; ++i) {
        const Tool tool = tools::allCases()[i];
        EXPECT_EQ(rawValue(tool), QLatin1String(raws[i]));
        EXPECT_EQ(toolFromRawValue(QLatin1String(raws[i])), tool);
        EXPECT_EQ(shortcutKey(tool), QString(QLatin1Char(keys[i])));
        EXPECT_FALSE(title(tool).isEmpty());
        QFile icon(iconPath(tool));
        ASSERT_TRUE(icon.open(QIODevice::ReadOnly)) << raws[i];
        EXPECT_TRUE(icon.readAll().startsWith("<svg")) << raws[i];
    }
    EXPECT_EQ(title(Tool::filledRectangle), QStringLiteral("Filled Rectangle"));
    EXPECT_EQ(symbolName(Tool::spotlight), QStringLiteral("flashlight.on.fill"));
    EXPECT_EQ(toolFromRawValue(QStringLiteral("Crop")), std::nullopt);
}

TEST(Shape, EqualityFollowsCaseAndPayload) {
    EXPECT_NE(mark(Shape::line({0, 0}, {1, 1})), mark(Shape::line({0, 0}, {1, 1})))
        << "annotations differing only in id";
    EXPECT_NE(Shape::pencil({{0, 0}, {1, 1}}), Shape::pencil({{1, 1}, {0, 0}}));
    EXPECT_NE(Shape::pencil({{0, 0}}), Shape::highlighter({{0, 0}}));
    EXPECT_NE(Shape::line({0, 0}, {1, 1}), Shape::arrow({0, 0}, {1, 1}));
    // Rectangles compare as rectangles.
    EXPECT_EQ(Shape::area(ShapeKind::blur, Rect(100, 100, -40, -20)),
              Shape::area(ShapeKind::blur, Rect(60, 80, 40, 20)));
}

// The traits table is indexed by kind: a row out of place, or one whose form
// is not the payload its kind carries, breaks drawing, hit-testing and
// editing of that kind at once.
TEST(ShapeTraits, EveryKindsRowMatchesItsPayloadAndHandles) {
    const Shape shapes[] = {
        Shape::arrow({1, 2}, {30, 40}),
        Shape::line({1, 2}, {30, 40}),
        Shape::area(ShapeKind::rectangle, Rect(1, 2, 30, 40)),
        Shape::area(ShapeKind::filledRectangle, Rect(1, 2, 30, 40)),
        Shape::area(ShapeKind::ellipse, Rect(1, 2, 30, 40)),
        Shape::text({1, 2}, QStringLiteral("a")),
        Shape::counter({1, 2}, 3),
        Shape::pencil({{1, 2}, {30, 40}}),
        Shape::highlighter({{1, 2}, {30, 40}}),
        Shape::area(ShapeKind::pixelate, Rect(1, 2, 30, 40)),
        Shape::area(ShapeKind::blur, Rect(1, 2, 30, 40)),
        Shape::area(ShapeKind::spotlight, Rect(1, 2, 30, 40)),
    };
    for (const Shape& shape : shapes) {
        const ShapeTraits& traits = traitsOf(shape.kind());
        SCOPED_TRACE(caseName(shape.kind()).toStdString());
        EXPECT_EQ(traits.kind, shape.kind());
        EXPECT_EQ(traits.form == ShapeForm::ends, shape.segment() != nullptr);
        EXPECT_EQ(traits.form == ShapeForm::area, shape.area() != nullptr);
        EXPECT_EQ(traits.form == ShapeForm::label, shape.textLabel() != nullptr);
        EXPECT_EQ(traits.form == ShapeForm::badge, shape.counterBadge() != nullptr);
        EXPECT_EQ(traits.form == ShapeForm::stroke, shape.stroke() != nullptr);
        // Line-like marks are selected by their two ends, the rest by an outline.
        EXPECT_EQ(traits.hasTwoEnds(), !traits.hasSelectionOutline);
        const std::size_t handleCount = handles(mark(shape)).size();
        EXPECT_EQ(handleCount, traits.handles == HandleSet::ends    ? 2u
                               : traits.handles == HandleSet::edges ? 8u
                                                                    : 0u);
        // Regions are no marks of their own.
        if (traits.isRegion) {
            EXPECT_EQ(traits.outline, Outline::none);
            EXPECT_FALSE(traits.castsShadow);
        }
        // Moving and reshaping keep the kind.
        EXPECT_EQ(offset(mark(shape), 1, 1).shape.kind(), shape.kind());
        EXPECT_EQ(resizing(mark(shape), Handle::end, {5, 5}).shape.kind(), shape.kind());
        EXPECT_EQ(resizing(mark(shape), Handle::left, {5, 5}).shape.kind(), shape.kind());
    }
}

TEST(Bounds, TextFrameIsMeasuredInTheLabelFontPlusPadding) {
    EXPECT_EQ(labelFontSize(4), 22);
    EXPECT_EQ(labelPaddingX(22), 10);
    EXPECT_EQ(labelPaddingY(22), 5);
    const Rect empty = bounds(mark(Shape::text({5, 7}, QString())));
    const Rect space = bounds(mark(Shape::text({5, 7}, QStringLiteral(" "))));
    EXPECT_EQ(empty.origin, (Point{5, 7}));
    EXPECT_EQ(empty, space);
    EXPECT_GT(empty.width(), 20);
    const Rect one = bounds(mark(Shape::text({0, 0}, QStringLiteral("Hello"))));
    const Rect trailing = bounds(mark(Shape::text({0, 0}, QStringLiteral("Hello\n"))));
    const Rect two = bounds(mark(Shape::text({0, 0}, QStringLiteral("Hello\nHello"))));
    EXPECT_GT(trailing.height(), one.height());
    EXPECT_EQ(trailing.height(), two.height());
    EXPECT_EQ(one.width(), two.width());
    // Whole points: the measured size is rounded up.
    EXPECT_EQ(one.width(), std::ceil(one.width()));
    // The bundled font at 22 points: the same frame on every machine.
    EXPECT_NEAR(one.height(), std::ceil(22 * 1.1641) + 10, 1.0);
}

TEST(Bounds, ByShape) {
    EXPECT_EQ(bounds(mark(Shape::counter({50, 50}, 1), 10)), Rect(28, 28, 44, 44));
    EXPECT_EQ(bounds(mark(Shape::arrow({10, 20}, {0, 0}), 2)), Rect(-3, -3, 16, 26));
    EXPECT_TRUE(
        identical(bounds(area(ShapeKind::ellipse, Rect(10, 10, -5, -5))), Rect(5, 5, 5, 5)));
    EXPECT_TRUE(identical(bounds(mark(Shape::pencil({}), 4)), Rect(-2, -2, 4, 4)));
    EXPECT_TRUE(
        identical(bounds(mark(Shape::highlighter({{0, 0}, {10, 0}}), 1)), Rect(-5, -5, 20, 10)));
    EXPECT_TRUE(identical(boundingRect({{3, 4}, {-1, 8}, {2, 0}}), Rect(-1, 0, 4, 8)));
}

TEST(HitTest, RectangleOutlineIsABandUnlessSmall) {
    // m = t + s/2 = 4
    const Annotation small = area(ShapeKind::rectangle, Rect(0, 0, 6, 6));
    EXPECT_TRUE(contains(small, {3, 3}, 2));
    EXPECT_TRUE(contains(small, {-3.9, 3}, 2));
    EXPECT_FALSE(contains(small, {-4.1, 3}, 2));
    const Annotation large = area(ShapeKind::rectangle, Rect(0, 0, 100, 100));
    EXPECT_FALSE(contains(large, {50, 50}, 2));
    EXPECT_TRUE(contains(large, {3, 50}, 2));
    EXPECT_TRUE(contains(large, {50, 97}, 2));
    // A filled area counts whole.
    EXPECT_TRUE(contains(area(ShapeKind::filledRectangle, Rect(0, 0, 100, 100)), {50, 50}, 2));
}

TEST(HitTest, EdgeCases) {
    // Zero-width ellipse: half-axis 1, no division by zero.
    const Annotation flat = area(ShapeKind::ellipse, Rect(10, 0, 0, 20));
    EXPECT_TRUE(contains(flat, {10, 0}, 1));
    EXPECT_FALSE(contains(flat, {60, 10}, 1));
    // Empty strokes are never hit; one point is hit within t + s/2.
    EXPECT_FALSE(contains(mark(Shape::pencil({})), {0, 0}, 1000));
    EXPECT_EQ(distanceToPolyline({}, {0, 0}), std::numeric_limits<double>::max());
    EXPECT_TRUE(contains(mark(Shape::pencil({{5, 5}})), {5, 8}, 1));
    EXPECT_FALSE(contains(mark(Shape::pencil({{5, 5}})), {5, 8.1}, 1));
    // A point-like line is hit within t + 1.2·s.
    EXPECT_TRUE(contains(mark(Shape::line({5, 5}, {5, 5}), 5), {5, 12}, 1));
    EXPECT_FALSE(contains(mark(Shape::line({5, 5}, {5, 5}), 5), {5, 12.1}, 1));
    EXPECT_DOUBLE_EQ(distanceToSegment({0, 0}, {10, 0}, {15, 3}), std::hypot(5, 3));
    EXPECT_TRUE(contains(mark(Shape::highlighter({{0, 0}, {10, 0}}), 1), {5, 5}, 0));
}

TEST(Handles, OrderAndPositions) {
    const auto rectHandles = handles(area(ShapeKind::blur, Rect(10, 20, -10, 40)));
    ASSERT_EQ(rectHandles.size(), 8u);
    EXPECT_EQ(rectHandles[0], (std::pair{Handle::topLeft, Point{0, 20}}));
    EXPECT_EQ(rectHandles[3], (std::pair{Handle::right, Point{10, 40}}));
    EXPECT_EQ(rectHandles[7], (std::pair{Handle::left, Point{0, 40}}));
    const auto lineHandles = handles(mark(Shape::arrow({1, 2}, {3, 4})));
    ASSERT_EQ(lineHandles.size(), 2u);
    EXPECT_EQ(lineHandles[1], (std::pair{Handle::end, Point{3, 4}}));
    EXPECT_TRUE(handles(mark(Shape::counter({0, 0}, 1))).empty());
}

TEST(MoveAndResize, RectanglesStandardizeAndFlip) {
    const Annotation moved = offset(area(ShapeKind::rectangle, Rect(100, 100, -40, -20)), 5, 5);
    EXPECT_TRUE(identical(moved.shape.area()->rect, Rect(65, 85, 40, 20)));
    EXPECT_TRUE(identical(resizing(Handle::topLeft, Rect(10, 10, 100, 50), {150, 80}),
                          Rect(110, 60, 40, 20)));
    EXPECT_TRUE(
        identical(resizing(Handle::right, Rect(10, 10, 100, 50), {10, 0}), Rect(10, 10, 0, 50)));
    const Annotation r = area(ShapeKind::spotlight, Rect(10, 10, -5, 5));
    const Annotation unchanged = resizing(r, Handle::start, {99, 99});
    EXPECT_TRUE(identical(unchanged.shape.area()->rect, Rect(5, 10, 5, 5)));
    EXPECT_EQ(unchanged.id, r.id);
}

TEST(MoveAndResize, OtherShapes) {
    const Annotation line = mark(Shape::line({0, 0}, {10, 10}));
    EXPECT_EQ(resizing(line, Handle::start, {1, 1}).shape, Shape::line({1, 1}, {10, 10}));
    EXPECT_EQ(resizing(line, Handle::topLeft, {1, 1}).shape, Shape::line({0, 0}, {1, 1}));
    for (const Shape& s : {Shape::text({1, 1}, QStringLiteral("a")), Shape::counter({1, 1}, 2),
                           Shape::pencil({{1, 1}}), Shape::highlighter({{1, 1}})}) {
        const Annotation a = mark(s);
        EXPECT_EQ(resizing(a, Handle::bottomRight, {50, 50}), a);
    }
    const Annotation stroke = offset(mark(Shape::pencil({{1, 1}, {2, 3}})), 1, -1);
    EXPECT_EQ(stroke.shape, Shape::pencil({{2, 0}, {3, 2}}));
    const Annotation text = offset(mark(Shape::text({1, 1}, QStringLiteral("a"))), 2, 2);
    EXPECT_EQ(text.shape, Shape::text({3, 3}, QStringLiteral("a")));
    EXPECT_EQ(offset(mark(Shape::counter({1, 1}, 7)), 1, 1).shape, Shape::counter({2, 2}, 7));
}

TEST(Rect, ContainsIntersectsAndIntegral) {
    EXPECT_TRUE(Rect(0, 0, 10, 10).contains({0, 0}));
    EXPECT_FALSE(Rect(0, 0, 10, 10).contains({10, 5}));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains({0, 5}));
    EXPECT_TRUE(Rect(0, 0, 10, 10).intersected(Rect(20, 0, 5, 5)).isNull());
    EXPECT_TRUE(identical(Rect(0, 0, 10, 10).intersected(Rect(10, 0, 5, 5)), Rect(10, 0, 0, 5)));
    EXPECT_TRUE(identical(Rect(10.4, 20.6, 100.2, 50.1).integral(), Rect(10, 20, 101, 51)));
    EXPECT_TRUE(Rect(0, 0, 4, 4).insetBy(3).isNull());
    EXPECT_EQ(roundHalfAway(2.5), 3);
    EXPECT_EQ(roundHalfAway(-2.5), -3);
}

} // namespace

#include "CanvasFixture.h"

#include "annotation/AnnotationGeometry.h"
#include "editor/canvas/CanvasGeometry.h"

#include <gtest/gtest.h>

using namespace canvastest;

namespace {

struct FitCase {
    const char* name;
    Size view;
    Size image;
    double scale;
    Point origin;
};

class Fit : public testing::TestWithParam<FitCase> {};

TEST_P(Fit, ScaleAndOrigin) {
    const FitCase& c = GetParam();
    const CanvasGeometry g = CanvasGeometry::make(EditorState{}, c.image, false, c.view);
    EXPECT_DOUBLE_EQ(g.scale, c.scale);
    EXPECT_EQ(g.origin, c.origin);
}

INSTANTIATE_TEST_SUITE_P(
    CanvasGeometry, Fit,
    testing::Values(
        // 944 × 644 available: min(0.472, 0.644, 1).
        FitCase{"shrinks", {1000, 700}, {2000, 1000}, 0.472, {28, 114}},
        FitCase{"never_enlarges", {1000, 700}, {300, 200}, 1, {350, 250}},
        // The available size never falls below 40 × 40.
        FitCase{"tiny_view", {80, 80}, {400, 400}, 0.1, {20, 20}},
        // (301 − 200) / 2 = 50.5 rounds away from zero.
        FitCase{"half_rounds_up", {301, 400}, {200, 100}, 1, {51, 150}},
        FitCase{"empty_canvas", {300, 200}, {0, 0}, 1, {150, 100}},
        // 30000 points in a 1000-point view: kept visible.
        FitCase{"very_wide", {1000, 700}, {30000, 200}, 944.0 / 30000, {28, 347}},
        FitCase{"floor", {1000, 700}, {1e9, 1e9}, 0.02, {-9999500, -9999650}}),
    [](const testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

EditorState croppedOnBackground() {
    EditorState state;
    state.crop = Rect(100, 50, 200, 100);
    state.background.isEnabled = true;
    state.background.padding = 48;
    return state;
}

TEST(CanvasGeometry, ViewAndImageRoundTripWithACrop) {
    const EditorState state = croppedOnBackground();
    const CanvasGeometry g = CanvasGeometry::make(state, Size{800, 600}, false, Size{1000, 700});
    // 296 × 196 fits at scale 1, centred.
    EXPECT_EQ(g.layout.canvasSize, (Size{296, 196}));
    EXPECT_DOUBLE_EQ(g.scale, 1);
    EXPECT_EQ(g.origin, (Point{352, 252}));
    // The crop's corner sits inside the padding.
    EXPECT_EQ(g.toView(Point{100, 50}), (Point{400, 300}));
    for (Point p : {Point{100, 50}, Point{0, 0}, Point{299.5, 149.25}, Point{-40, 700}}) {
        const Point back = g.toImage(g.toView(p));
        EXPECT_NEAR(back.x, p.x, 1e-9);
        EXPECT_NEAR(back.y, p.y, 1e-9);
    }
    // The same at a shrunken scale.
    const CanvasGeometry small = CanvasGeometry::make(state, Size{800, 600}, false, Size{200, 150});
    EXPECT_LT(small.scale, 1);
    for (Point v : {Point{0, 0}, Point{100.5, 75.25}, Point{199, 149}}) {
        const Point back = small.toView(small.toImage(v));
        EXPECT_NEAR(back.x, v.x, 1e-9);
        EXPECT_NEAR(back.y, v.y, 1e-9);
    }
    // An image rectangle maps corner by corner, standardized.
    EXPECT_EQ(g.toView(Rect(150, 100, -50, -50)), Rect(400, 300, 50, 50));
}

TEST(CanvasGeometry, TheCropToolShowsTheWholeImageWithoutBackground) {
    const EditorState state = croppedOnBackground();
    const CanvasGeometry g = CanvasGeometry::make(state, Size{800, 600}, true, Size{1000, 700});
    EXPECT_EQ(g.layout.canvasSize, (Size{800, 600}));
    EXPECT_FALSE(g.layout.background);
    EXPECT_EQ(g.toView(Point{0, 0}), (Point{100, 50}));
    EXPECT_EQ(g.canvasRect(), Rect(100, 50, 800, 600));
}

TEST(CanvasGeometry, TextFieldFollowsTheLabel) {
    // Size 5: f = 25, padding round(11.25) = 11 and round(5.5) = 6.
    const Annotation text{QUuid::createUuid(),
                          Shape::text({100, 100}, QStringLiteral("Hi")),
                          RGBA::fromBytes(10, 20, 200),
                          5,
                          false,
                          TextStyle::plain};
    CanvasGeometry g;
    g.scale = 0.5;
    g.origin = Point{10, 20};
    g.layout.canvasSize = Size{800, 600};
    g.layout.imageSize = Size{800, 600};
    g.layout.crop = Rect(0, 0, 800, 600);
    const TextFieldLayout field = textFieldLayout(text, g);
    const Rect label = textFrame(Point{100, 100}, QStringLiteral("Hi"), 5);
    EXPECT_DOUBLE_EQ(field.fontPixelSize, 12.5);
    EXPECT_DOUBLE_EQ(field.insetX, 5.5);
    EXPECT_DOUBLE_EQ(field.insetY, 3);
    EXPECT_DOUBLE_EQ(field.cornerRadius, 4);
    EXPECT_EQ(field.frame, Rect(60, 70, 0.5 * label.width() + 12.5, 0.5 * label.height()));
    EXPECT_FALSE(field.filled);
    EXPECT_EQ(field.textColor, text.color.toColor());

    // An empty text is one space wide plus the padding plus one font size.
    Annotation empty = text;
    empty.shape = Shape::text({100, 100}, QString());
    const Rect space = textFrame(Point{100, 100}, QStringLiteral(" "), 5);
    EXPECT_DOUBLE_EQ(textFieldLayout(empty, g).frame.width(), 0.5 * space.width() + 12.5);

    // Filled labels write in black on bright colours, white on dark ones.
    Annotation filled = text;
    filled.textStyle = TextStyle::filled;
    filled.color = RGBA{0.6, 0.6, 0.6, 1};
    EXPECT_EQ(textFieldLayout(filled, g).textColor, QColor(Qt::white));
    filled.color = RGBA{0.7, 0.7, 0.7, 1};
    EXPECT_EQ(textFieldLayout(filled, g).textColor, QColor(Qt::black));
    EXPECT_TRUE(textFieldLayout(filled, g).filled);
}

} // namespace

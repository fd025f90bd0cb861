#include "annotation/CanvasLayout.h"

#include <QLinearGradient>
#include <gtest/gtest.h>

using namespace annotation;

namespace {

EditorState withBackground(BackgroundAspect aspect, double padding = 48) {
    EditorState state;
    state.background.isEnabled = true;
    state.background.aspect = aspect;
    state.background.padding = padding;
    return state;
}

struct LayoutCase {
    const char* name;
    EditorState state;
    Size image;
    bool editingCrop;
    Size canvas;
    Point origin;
    Rect crop;
    bool hasBackground;
};

TEST(CanvasLayout, GivesTheFramedPicturesGeometry) {
    EditorState cropped;
    cropped.crop = Rect(100, 50, 200, 100);
    EditorState outside;
    outside.crop = Rect(900, 700, 50, 50);
    EditorState cropAndBackground = withBackground(BackgroundAspect::sixteenNine);
    cropAndBackground.crop = Rect(100, 50, 200, 100);
    const LayoutCase cases[] = {
        {"plain",
         EditorState{},
         {800, 600},
         false,
         {800, 600},
         {0, 0},
         Rect(0, 0, 800, 600),
         false},
        {"padding48",
         withBackground(BackgroundAspect::automatic),
         {800, 600},
         false,
         {896, 696},
         {48, 48},
         Rect(0, 0, 800, 600),
         true},
        {"sixteenNine",
         withBackground(BackgroundAspect::sixteenNine),
         {800, 600},
         false,
         {1237, 696},
         {219, 48},
         Rect(0, 0, 800, 600),
         true},
        {"square",
         withBackground(BackgroundAspect::square),
         {800, 600},
         false,
         {896, 896},
         {48, 148},
         Rect(0, 0, 800, 600),
         true},
        {"portraitFourThree",
         withBackground(BackgroundAspect::fourThree, 0),
         {300, 900},
         false,
         {1200, 900},
         {450, 0},
         Rect(0, 0, 300, 900),
         true},
        {"cropTool",
         cropAndBackground,
         {800, 600},
         true,
         {800, 600},
         {0, 0},
         Rect(0, 0, 800, 600),
         false},
        {"crop", cropped, {800, 600}, false, {200, 100}, {0, 0}, Rect(100, 50, 200, 100), false},
        {"cropOutside", outside, {800, 600}, false, {0, 0}, {0, 0}, Rect(0, 0, 0, 0), false},
    };
    for (const LayoutCase& c : cases) {
        const CanvasLayout layout = CanvasLayout::make(c.state, c.image, c.editingCrop);
        EXPECT_EQ(layout.canvasSize, c.canvas) << c.name;
        EXPECT_EQ(layout.imageOrigin, c.origin) << c.name;
        EXPECT_TRUE(identical(layout.crop, c.crop)) << c.name;
        EXPECT_EQ(layout.imageSize, c.crop.size) << c.name;
        EXPECT_EQ(layout.background.has_value(), c.hasBackground) << c.name;
    }
}

TEST(Background, DefaultsPresetsAndSolidColours) {
    const BackgroundSettings b;
    EXPECT_FALSE(b.isEnabled);
    EXPECT_EQ(b.fill, BackgroundFill::gradient(0));
    EXPECT_EQ(b.padding, 48);
    EXPECT_EQ(b.cornerRadius, 10);
    EXPECT_TRUE(b.shadow);
    EXPECT_EQ(b.aspect, BackgroundAspect::automatic);
    ASSERT_EQ(GradientPreset::all().size(), 12u);
    EXPECT_EQ(GradientPreset::all()[7].angle, 70);
    EXPECT_EQ(GradientPreset::all()[11].colors.size(), 3u);
    EXPECT_EQ(&GradientPreset::clamped(-3), &GradientPreset::all()[0]);
    EXPECT_EQ(&GradientPreset::clamped(40), &GradientPreset::all()[11]);
    ASSERT_EQ(BackgroundSettings::solidColors().size(), 4u);
    EXPECT_EQ(BackgroundSettings::solidColors()[1], RGBA::fromBytes(236, 236, 240));
    EXPECT_NE(BackgroundFill::solid(RGBA{0, 0, 0, 1}), BackgroundFill::solid(RGBA{0, 0, 0, 0.5}));
}

TEST(Background, GradientStopsAndDirection) {
    const auto three = GradientPreset::all()[0].stops();
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].first, 0.5);
    GradientPreset single;
    single.colors = {RGBA{1, 0, 0, 1}};
    EXPECT_EQ(single.stops()[0].first, 0);
    // 90°: straight down over the rectangle's height.
    const QLinearGradient g = GradientPreset::all()[5].gradientOver(QRectF(0, 0, 100, 50));
    EXPECT_NEAR(g.start().x(), 50, 1e-9);
    EXPECT_NEAR(g.start().y(), 0, 1e-9);
    EXPECT_NEAR(g.finalStop().y(), 50, 1e-9);
}

TEST(EditorState, EqualityIsExactAndOrderMatters) {
    const Annotation a{QUuid::createUuid(), Shape::line({0, 0}, {1, 1}), RGBA{}, 5, true,
                       TextStyle::plain};
    const Annotation b{QUuid::createUuid(), Shape::line({0, 0}, {1, 1}), RGBA{}, 5, true,
                       TextStyle::plain};
    EditorState one;
    one.annotations = {a, b};
    EditorState other;
    other.annotations = {b, a};
    EXPECT_NE(one, other);
    EXPECT_TRUE(EditorState{}.isDefault());
    EditorState solid;
    solid.background.fill = BackgroundFill::solid(RGBA{1, 1, 1, 1});
    EXPECT_FALSE(solid.isDefault());
    EditorState crop;
    crop.crop = Rect(0, 0, 10, 10);
    EXPECT_NE(crop, EditorState{});
}

} // namespace

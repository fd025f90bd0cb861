#include "annotation/Renderer.h"
#include "annotation/AnnotationGeometry.h"

#include <QColorSpace>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

using namespace annotation;

namespace {

QImage solid(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Left half black, right half white.
QImage edge(int w, int h) {
    QImage image = solid(w, h, Qt::white);
    QPainter(&image).fillRect(0, 0, w / 2, h, Qt::black);
    return image;
}

Annotation mark(Shape shape, RGBA colour = RGBA{0, 0, 1, 1}, double size = 5, bool shadow = false) {
    return Annotation{QUuid::createUuid(), std::move(shape), colour, size, shadow,
                      TextStyle::plain};
}

QImage render(const QImage& base, const EditorState& state, double scale = 1) {
    ImageSources sources(base, scale);
    const std::optional<QImage> image = renderer::render(state, sources);
    return image.value_or(QImage());
}

void expectColour(const QImage& image, int x, int y, QColor expected, int tolerance = 2) {
    const QColor c = image.pixelColor(x, y);
    EXPECT_NEAR(c.red(), expected.red(), tolerance) << x << "," << y;
    EXPECT_NEAR(c.green(), expected.green(), tolerance) << x << "," << y;
    EXPECT_NEAR(c.blue(), expected.blue(), tolerance) << x << "," << y;
    EXPECT_NEAR(c.alpha(), expected.alpha(), tolerance) << x << "," << y;
}

TEST(Renderer, WithoutBackgroundTheOutputHasTheBaseSizeAndColourSpace) {
    QImage base = solid(120, 80, Qt::white);
    base.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QImage out = render(base, EditorState{}, 2);
    EXPECT_EQ(out.size(), QSize(120, 80));
    EXPECT_EQ(out.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    EXPECT_EQ(render(solid(10, 10, Qt::white), EditorState{}).colorSpace(),
              QColorSpace(QColorSpace::SRgb));
}

TEST(Renderer, ArrowShaftHasTheArrowsColour) {
    EditorState state;
    state.annotations.push_back(mark(Shape::arrow({20, 50}, {180, 50})));
    const QImage out = render(solid(200, 100, Qt::white), state);
    expectColour(out, 60, 50, QColor(0, 0, 255));
    expectColour(out, 60, 40, QColor(Qt::white));
    // The head is wider than the shaft.
    expectColour(out, 165, 44, QColor(0, 0, 255));
}

TEST(Renderer, ArrowShaftAtScaleTwoCoversTwiceThePixels) {
    EditorState state;
    state.annotations.push_back(mark(Shape::arrow({20, 50}, {180, 50})));
    const QImage out = render(solid(400, 200, Qt::white), state, 2);
    expectColour(out, 120, 100, QColor(0, 0, 255));
    expectColour(out, 120, 80, QColor(Qt::white));
}

// A capture carries its screen's device pixel ratio; the export is its
// pixels, one for one, whatever that ratio and whatever the state frames.
TEST(Renderer, ACaptureWithItsScreensPixelRatioExportsEveryPixel) {
    QImage base(400, 200, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            base.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
        }
    }
    struct Case {
        const char* name;
        double ratio;
        std::optional<Rect> crop; // points at scale 2
        QRect expected;           // pixels of the base
    };
    const Case cases[] = {
        {"ratio 2, whole", 2, std::nullopt, QRect(0, 0, 400, 200)},
        {"ratio 2, cropped", 2, Rect(50, 20, 100, 60), QRect(100, 40, 200, 120)},
        {"ratio 1, whole", 1, std::nullopt, QRect(0, 0, 400, 200)},
        {"ratio 1.5, cropped", 1.5, Rect(10, 10, 150, 80), QRect(20, 20, 300, 160)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage carried = base;
        carried.setDevicePixelRatio(c.ratio);
        EditorState state;
        state.crop = c.crop;
        const QImage out = render(carried, state, 2).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(out.size(), c.expected.size());
        const QImage expected = base.copy(c.expected).convertToFormat(QImage::Format_RGB32);
        int wrong = 0;
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                wrong += out.pixel(x, y) != expected.pixel(x, y);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The regions and marks over such a capture come out as over the same
// pixels without the ratio: filtered copies and the spotlight keep no trace
// of it either.
TEST(Renderer, MarksOverACaptureWithAPixelRatioMatchThoseWithout) {
    EditorState state;
    state.annotations = {
        mark(Shape::area(ShapeKind::blur, Rect(10, 10, 60, 40))),
        mark(Shape::area(ShapeKind::pixelate, Rect(90, 20, 50, 50))),
        mark(Shape::area(ShapeKind::spotlight, Rect(120, 50, 60, 40))),
        mark(Shape::arrow({20, 80}, {180, 20})),
    };
    const QImage plain = edge(400, 200);
    QImage carried = plain;
    carried.setDevicePixelRatio(2);
    const QImage expected = render(plain, state, 2);
    const QImage out = render(carried, state, 2);
    ASSERT_EQ(out.size(), expected.size());
    int wrong = 0;
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            wrong += out.pixel(x, y) != expected.pixel(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Renderer, BlurAcrossABlackWhiteEdgeGivesGrey) {
    EditorState state;
    state.annotations.push_back(mark(Shape::area(ShapeKind::blur, Rect(60, 10, 80, 80))));
    ImageSources sources(edge(200, 100), 1);
    const QImage out = *renderer::render(state, sources);
    const QColor middle = out.pixelColor(100, 50);
    EXPECT_NEAR(middle.red(), 128, 12);
    EXPECT_EQ(middle.red(), middle.blue());
    // Grey fades across the edge inside the region, untouched outside it.
    EXPECT_LT(out.pixelColor(92, 50).red(), middle.red());
    EXPECT_GT(out.pixelColor(108, 50).red(), middle.red());
    expectColour(out, 40, 50, QColor(Qt::black), 0);
    expectColour(out, 160, 50, QColor(Qt::white), 0);
    expectColour(out, 100, 5, QColor(Qt::white), 0);
    EXPECT_TRUE(sources.hasBlurredCopy());
    EXPECT_FALSE(sources.hasPixelatedCopy());
}

TEST(Renderer, SpotlightDimsOutsideItsShape) {
    EditorState state;
    state.annotations.push_back(mark(Shape::area(ShapeKind::spotlight, Rect(50, 25, 100, 50))));
    const QImage out = render(solid(200, 100, Qt::white), state);
    expectColour(out, 100, 50, QColor(Qt::white));
    expectColour(out, 10, 10, QColor(115, 115, 115));
    expectColour(out, 190, 90, QColor(115, 115, 115));
    // A spotlight of no size cuts no hole but still dims.
    EditorState empty;
    empty.annotations.push_back(mark(Shape::area(ShapeKind::spotlight, Rect(50, 25, 0, 50))));
    expectColour(render(solid(200, 100, Qt::white), empty), 50, 50, QColor(115, 115, 115));
}

TEST(Renderer, DefaultBackgroundSizeAndCornerColours) {
    EditorState state;
    state.background.isEnabled = true;
    const QImage out = render(solid(200, 100, Qt::white), state);
    EXPECT_EQ(out.size(), QSize(296, 196));
    // The gradient of preset 0 runs from its first colour at the top-left
    // corner to its last at the bottom-right.
    expectColour(out, 0, 0, QColor(127, 127, 213), 3);
    expectColour(out, 295, 195, QColor(145, 234, 228), 3);
    expectColour(out, 148, 98, QColor(Qt::white));
    // Rounded corners of radius 10: the image's corner shows background.
    EXPECT_NE(out.pixelColor(48, 48), QColor(Qt::white));
    expectColour(out, 58, 58, QColor(Qt::white));
}

TEST(Renderer, BackgroundShadowFollowsTheFrame) {
    EditorState state;
    state.background.isEnabled = true;
    state.background.fill = BackgroundFill::solid(RGBA{1, 1, 1, 1});
    state.background.cornerRadius = 0;
    const QImage out = render(solid(100, 100, Qt::black), state);
    ASSERT_EQ(out.size(), QSize(196, 196));
    expectColour(out, 0, 0, QColor(Qt::white));
    const int below = out.pixelColor(98, 152).red();
    const int above = out.pixelColor(98, 44).red();
    EXPECT_LT(below, 230) << "shadow falls below the image";
    EXPECT_LT(below, above);
    // Without a shadow, the background next to the image is untouched.
    state.background.shadow = false;
    expectColour(render(solid(100, 100, Qt::black), state), 98, 152, QColor(Qt::white), 0);
}

TEST(Renderer, RegionsLieUnderOtherMarksWhateverTheOrder) {
    EditorState state;
    state.annotations.push_back(
        mark(Shape::area(ShapeKind::filledRectangle, Rect(40, 40, 40, 40)), RGBA{1, 0, 0, 1}));
    state.annotations.push_back(mark(Shape::area(ShapeKind::pixelate, Rect(0, 0, 200, 100))));
    state.annotations.push_back(mark(Shape::area(ShapeKind::spotlight, Rect(0, 0, 200, 100))));
    const QImage out = render(edge(200, 100), state);
    expectColour(out, 60, 60, QColor(255, 0, 0));
}

TEST(Renderer, PixelateMakesCellsAlignedToTheBottomLeft) {
    QImage base(44, 44, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 44; ++y) {
        for (int x = 0; x < 44; ++x) {
            base.setPixelColor(x, y, QColor(x * 5, y * 5, 0));
        }
    }
    EditorState state;
    state.annotations.push_back(mark(Shape::area(ShapeKind::pixelate, Rect(0, 0, 44, 44))));
    const QImage out = render(base, state);
    // Cells of 11: every pixel of a cell has the same colour.
    EXPECT_EQ(out.pixel(0, 33), out.pixel(10, 43));
    EXPECT_NE(out.pixel(10, 43), out.pixel(11, 43));
    EXPECT_NE(out.pixel(0, 32), out.pixel(0, 33));
}

TEST(Renderer, HighlighterMultipliesAtReducedOpacityWithoutShadow) {
    EditorState state;
    state.annotations.push_back(
        mark(Shape::highlighter({{10, 50}, {190, 50}}), RGBA{1, 1, 0, 1}, 5, true));
    const QImage onWhite = render(solid(200, 100, Qt::white), state);
    expectColour(onWhite, 100, 50, QColor(255, 255, 148), 3);
    // Just beyond the stroke (half-width 13): no shadow.
    expectColour(onWhite, 100, 66, QColor(Qt::white), 0);
    const QImage onBlack = render(solid(200, 100, Qt::black), state);
    expectColour(onBlack, 100, 50, QColor(Qt::black), 1);
}

TEST(Renderer, MarkShadowFallsBelow) {
    EditorState state;
    state.annotations.push_back(mark(Shape::area(ShapeKind::filledRectangle, Rect(50, 30, 100, 40)),
                                     RGBA{1, 0, 0, 1}, 5, true));
    const QImage out = render(solid(200, 100, Qt::white), state);
    EXPECT_LT(out.pixelColor(100, 70).red(), 250);
    expectColour(out, 100, 28, QColor(Qt::white), 3);
}

TEST(Renderer, TextAndItsShadowStayInsideTheLabelFrame) {
    EditorState state;
    const Annotation text =
        mark(Shape::text({10, 10}, QStringLiteral("Shadowed\ntext")), RGBA{1, 0, 0, 1}, 5, true);
    state.annotations.push_back(text);
    const QImage out = render(solid(300, 150, Qt::white), state, 2);
    const Rect frame = bounds(text);
    bool inked = false;
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const bool inside = frame.outsetBy(3).contains({(x + 0.5) / 2, (y + 0.5) / 2});
            const bool white = out.pixel(x, y) == qRgb(255, 255, 255);
            inked = inked || !white;
            if (!inside) {
                ASSERT_TRUE(white) << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(inked);
}

TEST(Renderer, FilledLabelsPickTheirInkByLuminance) {
    auto inkCount = [](RGBA fill, bool dark) {
        EditorState state;
        Annotation label = mark(Shape::text({10, 10}, QStringLiteral("HH")), fill, 5);
        label.textStyle = TextStyle::filled;
        state.annotations.push_back(label);
        const QImage out = render(solid(200, 100, Qt::white), state);
        int count = 0;
        for (int y = 10; y < 60; ++y) {
            for (int x = 10; x < 100; ++x) {
                const QColor c = out.pixelColor(x, y);
                count += dark ? (c.red() < 40 && c.green() < 40 && c.blue() < 40)
                              : (c.red() > 215 && c.green() > 215 && c.blue() > 215);
            }
        }
        return count;
    };
    EXPECT_GT(inkCount(RGBA{1, 0.8, 0, 1}, true), 30) << "black on yellow";
    EXPECT_GT(inkCount(RGBA{0, 0, 0.5, 1}, false), 30) << "white on dark blue";
    EXPECT_EQ(inkCount(RGBA{0, 0, 0.5, 1}, true), 0);
}

TEST(Renderer, CropOutsideTheImageShowsItsInsidePart) {
    EditorState state;
    state.crop = Rect(150, 0, 300, 100);
    const QImage out = render(edge(200, 100), state);
    EXPECT_EQ(out.size(), QSize(50, 100));
    expectColour(out, 10, 10, QColor(Qt::white), 0);
}

TEST(Renderer, FailsCleanlyOnEmptyOrRunawayCanvases) {
    ImageSources sources(solid(100, 100, Qt::white), 1);
    RenderFailure failure{};
    EditorState outside;
    outside.crop = Rect(500, 500, 10, 10);
    EXPECT_FALSE(renderer::render(outside, sources, &failure));
    EXPECT_EQ(failure, RenderFailure::emptyCanvas);

    EditorState huge;
    huge.background.isEnabled = true;
    huge.background.padding = 1e9;
    EXPECT_FALSE(renderer::render(huge, sources, &failure));
    EXPECT_EQ(failure, RenderFailure::tooLarge);
    huge.background.padding = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(renderer::render(huge, sources, &failure));
    huge.background.padding = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(renderer::render(huge, sources, &failure));
    EXPECT_FALSE(describe(failure).isEmpty());

    // A scale that is not a number is taken as 1.
    ImageSources odd(solid(10, 10, Qt::white), std::nan(""));
    EXPECT_EQ(renderer::render(EditorState{}, odd)->size(), QSize(10, 10));
}

TEST(Renderer, ArrowAndStrokePaths) {
    EXPECT_FALSE(renderer::arrowPath({0, 0}, {1, 0}, 5));
    const QPainterPath arrow = *renderer::arrowPath({0, 0}, {100, 0}, 5);
    EXPECT_EQ(arrow.elementCount(), 8);
    // Head: h = min(70, max(22, 13)) = 22, half-width 13.2 at x = 78.
    EXPECT_NEAR(arrow.boundingRect().height(), 26.4, 1e-9);
    EXPECT_TRUE(renderer::smoothedPath({}).isEmpty());
    const QPainterPath curve = renderer::smoothedPath({{0, 0}, {10, 0}, {10, 10}, {20, 10}});
    EXPECT_EQ(curve.currentPosition(), QPointF(20, 10));
}

TEST(Renderer, LeavingOutAnIdSkipsOnlyThatMarksShape) {
    EditorState state;
    const Annotation region = mark(Shape::area(ShapeKind::blur, Rect(60, 10, 80, 80)));
    const Annotation bar =
        mark(Shape::area(ShapeKind::filledRectangle, Rect(0, 0, 20, 20)), RGBA{1, 0, 0, 1});
    state.annotations = {region, bar};
    ImageSources sources(edge(200, 100), 1);
    QImage out = solid(200, 100, Qt::transparent);
    {
        QPainter painter(&out);
        renderer::drawAnnotations(painter, state, sources, region.id);
    }
    EXPECT_NEAR(out.pixelColor(100, 50).red(), 128, 12);
    out.fill(Qt::transparent);
    {
        QPainter painter(&out);
        renderer::drawAnnotations(painter, state, sources, bar.id);
    }
    expectColour(out, 10, 10, QColor(Qt::black), 0);
}

} // namespace

// The renderer keeps shadows, filtered copies and the resampled base between
// draws of a document. A kept picture must never show through after what it
// was made from has changed: every draw through a long-lived ImageSources
// must give exactly the pixels of a draw through a fresh one.
#include "annotation/AnnotationGeometry.h"
#include "annotation/CanvasLayout.h"
#include "annotation/Renderer.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace annotation;

namespace {

// Stripes and a checker: blur and pixelate change it everywhere.
QImage busyBase(int w, int h, int seed = 0) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const bool dark = ((x + seed) / 7 + y / 5) % 2 == 0;
            line[x] = dark ? qRgb(20, 40 + seed, 90) : qRgb(240, 220 - seed, 200);
        }
    }
    return image;
}

Annotation mark(Shape shape, RGBA colour = RGBA{0.9, 0.1, 0.1, 1}, double size = 3) {
    return Annotation{QUuid::createUuid(), std::move(shape), colour, size, true, TextStyle::plain};
}

EditorState sampleState() {
    EditorState state;
    state.background.isEnabled = true;
    state.background.padding = 20;
    state.annotations = {
        mark(Shape::area(ShapeKind::blur, Rect(10, 10, 50, 40))),
        mark(Shape::area(ShapeKind::pixelate, Rect(120, 60, 40, 30))),
        mark(Shape::arrow({20, 90}, {110, 40})),
        mark(Shape::area(ShapeKind::rectangle, Rect(70, 20, 60, 30))),
        mark(Shape::text({30, 100}, QStringLiteral("Note"))),
        mark(Shape::counter({170, 20}, 4)),
        mark(Shape::pencil({{150, 100}, {160, 110}, {175, 95}})),
    };
    return state;
}

// A view of the document as the editor's canvas draws it.
struct View {
    double scale = 1;
    QPointF origin;
    std::optional<QUuid> leaveOut;
};

QImage draw(const EditorState& state, ImageSources& sources, const std::optional<View>& view) {
    if (!view) {
        return renderer::render(state, sources).value_or(QImage());
    }
    QImage out(240, 180, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(200, 200, 200));
    QPainter painter(&out);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    painter.translate(view->origin);
    painter.scale(view->scale, view->scale);
    renderer::drawDocument(painter, state, sources,
                           CanvasLayout::make(state, sources.imageSize(), false), view->leaveOut);
    return out;
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return count;
}

struct Edit {
    const char* what;
    std::function<void(EditorState&)> change;
    std::optional<View> view;
};

TEST(RenderCache, EveryDrawAfterAnEditMatchesADrawOfAFreshDocument) {
    const QImage base = busyBase(400, 260);
    constexpr double kScale = 2;
    EditorState state = sampleState();
    const QUuid blur = state.annotations[0].id;
    const QUuid text = state.annotations[4].id;
    auto find = [](EditorState& s, const QUuid& id) -> Annotation& {
        return *std::find_if(s.annotations.begin(), s.annotations.end(),
                             [&](const Annotation& a) { return a.id == id; });
    };
    const Edit edits[] = {
        {"first export", [](EditorState&) {}, {}},
        {"same again", [](EditorState&) {}, {}},
        {"blur moved", [&](EditorState& s) { find(s, blur) = offset(find(s, blur), 60, 30); }, {}},
        {"blur resized",
         [&](EditorState& s) {
             find(s, blur) = resizing(find(s, blur), Handle::right, {190, 0});
         },
         {}},
        {"text changed",
         [&](EditorState& s) {
             find(s, text).shape = Shape::text({30, 100}, QStringLiteral("Note!"));
         },
         {}},
        {"text filled", [&](EditorState& s) { find(s, text).textStyle = TextStyle::filled; }, {}},
        {"colour changed",
         [](EditorState& s) {
             s.annotations[2].color = RGBA{0, 0, 1, 1};
         },
         {}},
        {"size changed", [](EditorState& s) { s.annotations[3].size = 7; }, {}},
        {"shadow off", [](EditorState& s) { s.annotations[5].shadow = false; }, {}},
        {"padding changed", [](EditorState& s) { s.background.padding = 33; }, {}},
        {"corners changed", [](EditorState& s) { s.background.cornerRadius = 30; }, {}},
        {"cropped", [](EditorState& s) { s.crop = Rect(15, 5, 150, 100); }, {}},
        {"frame shadow off", [](EditorState& s) { s.background.shadow = false; }, {}},
        {"frame shadow on", [](EditorState& s) { s.background.shadow = true; }, {}},
        {"view", [](EditorState&) {}, View{0.8, {3.5, 2.25}, {}}},
        {"view panned by whole pixels", [](EditorState&) {}, View{0.8, {10.5, 7.25}, {}}},
        {"view panned by a fraction", [](EditorState&) {}, View{0.8, {10.75, 7.5}, {}}},
        {"view zoomed", [](EditorState&) {}, View{0.55, {10.75, 7.5}, {}}},
        {"view zoomed in", [](EditorState&) {}, View{1.7, {-20, -10}, {}}},
        {"text being edited", [](EditorState&) {}, View{0.55, {10.75, 7.5}, text}},
        {"blur moved in view",
         [&](EditorState& s) { find(s, blur) = offset(find(s, blur), -50, -20); },
         View{0.55, {10.75, 7.5}, {}}},
        {"background off", [](EditorState& s) { s.background.isEnabled = false; }, {}},
        {"export after the view", [](EditorState&) {}, {}},
    };
    ImageSources warm(base, kScale);
    for (const Edit& edit : edits) {
        edit.change(state);
        const QImage kept = draw(state, warm, edit.view);
        ImageSources fresh(base, kScale);
        const QImage made = draw(state, fresh, edit.view);
        ASSERT_FALSE(made.isNull()) << edit.what;
        EXPECT_EQ(differingPixels(kept, made), 0) << edit.what;
    }
}

TEST(RenderCache, ABlurFollowsItsRectangle) {
    const QImage base = busyBase(200, 100);
    EditorState state;
    state.annotations = {mark(Shape::area(ShapeKind::blur, Rect(10, 10, 40, 40)))};
    ImageSources sources(base, 1);
    const QImage before = *renderer::render(state, sources);
    EXPECT_NE(before.pixel(30, 30), base.pixel(30, 30));
    state.annotations[0] = offset(state.annotations[0], 100, 0);
    const QImage after = *renderer::render(state, sources);
    // The old place shows the picture again, the new one is blurred.
    EXPECT_EQ(after.pixel(30, 30), base.pixel(30, 30));
    EXPECT_NE(after.pixel(130, 30), base.pixel(130, 30));
    EXPECT_EQ(after.pixel(60, 30), base.pixel(60, 30));
}

TEST(RenderCache, NothingOfOneBaseOrScaleShowsInAnother) {
    EditorState state = sampleState();
    const QImage first = busyBase(400, 260, 0);
    const QImage second = busyBase(400, 260, 5);
    for (double scale : {1.0, 2.0}) {
        ImageSources a(first, scale);
        ImageSources b(second, scale);
        const QImage fromA = *renderer::render(state, a);
        const QImage fromB = *renderer::render(state, b);
        EXPECT_GT(differingPixels(fromA, fromB), 0);
        ImageSources freshB(second, scale);
        EXPECT_EQ(differingPixels(*renderer::render(state, b), *renderer::render(state, freshB)),
                  0);
        // A copy of the sources carries what was kept and stays right.
        ImageSources copy = a;
        EXPECT_EQ(differingPixels(*renderer::render(state, copy), fromA), 0);
    }
}

TEST(RenderCache, AnEditRemakesOnlyWhatItChanged) {
    const QImage base = busyBase(400, 260);
    EditorState state = sampleState();
    ImageSources sources(base, 2);
    renderer::render(state, sources);
    // Five marks with shadows and the frame's.
    const RenderCache::Stats first = sources.cache().stats();
    EXPECT_EQ(first.shadowsMade, 6);

    renderer::render(state, sources);
    EXPECT_EQ(sources.cache().stats().shadowsMade, 6) << "an unchanged redraw makes nothing";

    // Dragging one mark remakes its shadow alone, and the shadows of the
    // places it left are let go.
    for (int step = 1; step <= 10; ++step) {
        state.annotations[2] = offset(state.annotations[2], 2, 1);
        renderer::render(state, sources);
        EXPECT_EQ(sources.cache().stats().shadowsMade, 6 + step);
    }
    EXPECT_LE(sources.cache().stats().shadows, 6 + 4);

    // A view at another scale has shadows of its own; both stay while the
    // canvas and exports take turns.
    const View view{0.5, {4, 4}, {}};
    draw(state, sources, view);
    const int afterView = sources.cache().stats().shadowsMade;
    EXPECT_EQ(afterView, 6 + 10 + 6);
    renderer::render(state, sources);
    draw(state, sources, view);
    EXPECT_EQ(sources.cache().stats().shadowsMade, afterView);
    EXPECT_EQ(sources.cache().stats().resampledMade, 1) << "the base, once for the view's scale";
}

} // namespace

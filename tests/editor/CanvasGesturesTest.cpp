#include "CanvasFixture.h"

#include "annotation/AnnotationGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace canvastest;

namespace {

// ---- drawing new marks --------------------------------------------------------

struct DrawCase {
    const char* name;
    Tool tool;
    Point from;
    Point to;
    bool shift;
    // The shape left behind, or none when the mark was too small to keep.
    std::optional<Shape> kept;
};

class Draw : public Canvas, public testing::WithParamInterface<DrawCase> {};

TEST_P(Draw, LeavesTheShapeOrNothing) {
    const DrawCase& c = GetParam();
    doc->setTool(c.tool);
    drag(c.from, c.to, c.shift);
    EXPECT_FALSE(controller->gesture());
    if (!c.kept) {
        EXPECT_TRUE(marks().empty());
        EXPECT_FALSE(doc->selectedID());
        // Nothing happened, so there is nothing to undo.
        EXPECT_TRUE(doc->undoStack().empty());
        return;
    }
    ASSERT_EQ(marks().size(), 1u);
    const Shape& shape = marks()[0].shape;
    if (const Segment* s = shape.segment()) {
        ASSERT_TRUE(c.kept->segment());
        EXPECT_EQ(shape.kind(), c.kept->kind());
        EXPECT_NEAR(s->start.x, c.kept->segment()->start.x, 1e-9);
        EXPECT_NEAR(s->start.y, c.kept->segment()->start.y, 1e-9);
        EXPECT_NEAR(s->end.x, c.kept->segment()->end.x, 1e-9);
        EXPECT_NEAR(s->end.y, c.kept->segment()->end.y, 1e-9);
    } else {
        EXPECT_EQ(shape, *c.kept);
    }
    EXPECT_EQ(doc->selectedID(), marks()[0].id);
    EXPECT_EQ(doc->undoStack().size(), 1u);
}

const double kDiagonal = std::hypot(100, 60) / std::sqrt(2.0);

INSTANTIATE_TEST_SUITE_P(
    CanvasGestures, Draw,
    testing::Values(
        DrawCase{"click_leaves_nothing", Tool::rectangle, {50, 50}, {50, 50}, false, {}},
        DrawCase{"rectangle",
                 Tool::rectangle,
                 {50, 60},
                 {20, 90},
                 false,
                 Shape::area(ShapeKind::rectangle, Rect(20, 60, 30, 30))},
        DrawCase{"thin_rectangle_removed", Tool::blur, {50, 60}, {150, 62}, false, {}},
        DrawCase{"line_of_2_removed", Tool::line, {10, 10}, {12, 10}, false, {}},
        DrawCase{"line_of_3_kept",
                 Tool::line,
                 {10, 10},
                 {13, 10},
                 false,
                 Shape::line({10, 10}, {13, 10})},
        DrawCase{"shift_ellipse_forward",
                 Tool::ellipse,
                 {10, 10},
                 {40, 25},
                 true,
                 Shape::area(ShapeKind::ellipse, Rect(10, 10, 30, 30))},
        DrawCase{"shift_ellipse_backward",
                 Tool::ellipse,
                 {10, 10},
                 {-20, 25},
                 true,
                 Shape::area(ShapeKind::ellipse, Rect(-20, 10, 30, 30))},
        DrawCase{"shift_arrow_snaps_to_0",
                 Tool::arrow,
                 {0, 0},
                 {100, 8},
                 true,
                 Shape::arrow({0, 0}, {std::hypot(100, 8), 0})},
        DrawCase{"shift_arrow_snaps_to_45",
                 Tool::arrow,
                 {0, 0},
                 {100, 60},
                 true,
                 Shape::arrow({0, 0}, {kDiagonal, kDiagonal})},
        DrawCase{"shift_highlighter_is_straight",
                 Tool::highlighter,
                 {20, 20},
                 {120, 28},
                 true,
                 Shape::highlighter({{20, 20}, {20 + std::hypot(100, 8), 20}})},
        DrawCase{"pencil_click_removed", Tool::pencil, {20, 20}, {20, 20}, false, {}}),
    [](const testing::TestParamInfo<DrawCase>& info) { return std::string(info.param.name); });

TEST_F(Canvas, HighlighterSwitchesRulesWhenShiftChanges) {
    doc->setTool(Tool::highlighter);
    down({20, 20});
    dragTo({30, 20});
    dragTo({40, 22});
    ASSERT_EQ(marks()[0].shape.stroke()->points.size(), 3u);
    // Shift held: two points, o and the snapped end.
    dragTo({60, 21}, true);
    EXPECT_EQ(marks()[0].shape.stroke()->points,
              (std::vector<Point>{{20, 20}, {20 + std::hypot(40, 1), 20}}));
    // Released again: sampling goes on from the last point.
    dragTo({80, 30});
    EXPECT_EQ(marks()[0].shape.stroke()->points.size(), 3u);
    up({80, 30});
}

// A 1888 × 1288 image is shown at scale 0.5 in the 1000 × 700 view.
class HalfScale : public Canvas {
protected:
    HalfScale() : Canvas(1888, 1288) {}
};

TEST_F(HalfScale, PencilSamplesOnePointPerViewPoint) {
    ASSERT_DOUBLE_EQ(geometry().scale, 0.5);
    doc->setTool(Tool::pencil);
    down({100, 100});
    dragTo({101.5, 100}); // 0.75 view points: too close
    EXPECT_EQ(marks()[0].shape.stroke()->points.size(), 1u);
    dragTo({102, 100}); // 1 view point
    EXPECT_EQ(marks()[0].shape.stroke()->points.size(), 2u);
    dragTo({103, 100});
    dragTo({104, 100});
    EXPECT_EQ(marks()[0].shape.stroke()->points,
              (std::vector<Point>{{100, 100}, {102, 100}, {104, 100}}));
    up({104, 100});
    EXPECT_EQ(doc->selectedID(), marks()[0].id);
}

// ---- selecting, moving, resizing ------------------------------------------------

TEST_F(Canvas, ASelectedMarksHandleWinsOverAMarkOnTop) {
    const Annotation below = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    const Annotation above = put(Shape::area(ShapeKind::filledRectangle, Rect(140, 140, 60, 60)));
    doc->select(below.id);
    // (150, 150) is below's bottom-right handle, inside the mark on top.
    drag({153, 148}, {170, 170});
    EXPECT_EQ(marks()[0].shape.area()->rect, Rect(50, 50, 120, 120));
    EXPECT_EQ(marks()[1], above);
    EXPECT_EQ(doc->selectedID(), below.id);
    EXPECT_EQ(doc->undoStack().size(), 3u); // two adds, one resize
    // Without the selection the mark on top is hit and moved.
    doc->select(std::nullopt);
    drag({175, 175}, {185, 180});
    EXPECT_EQ(marks()[1].shape.area()->rect, Rect(150, 145, 60, 60));
    EXPECT_EQ(doc->selectedID(), above.id);
}

TEST_F(Canvas, AClickSelectsAndRecordsNothing) {
    const Annotation a = put(Shape::area(ShapeKind::filledRectangle, Rect(50, 50, 100, 100)));
    const std::size_t steps = doc->undoStack().size();
    down({100, 100});
    EXPECT_EQ(controller->gesture(), Gesture::Kind::moving);
    up({100, 100});
    EXPECT_EQ(doc->selectedID(), a.id);
    EXPECT_EQ(doc->undoStack().size(), steps);
    // A move by a drag is one step however many drag events it took.
    drag({100, 100}, {120, 90}, false, 7);
    EXPECT_EQ(marks()[0].shape.area()->rect, Rect(70, 40, 100, 100));
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
}

TEST_F(Canvas, HitToleranceIsSixViewPoints) {
    const Annotation line = put(Shape::line({50, 100}, {250, 100}), 0);
    click({150, 106});
    EXPECT_EQ(doc->selectedID(), line.id);
    doc->select(std::nullopt);
    doc->setTool(Tool::rectangle);
    click({150, 107});
    EXPECT_FALSE(doc->selectedID());
}

TEST_F(Canvas, AClickInTheMarginDeselectsAndCreatesNothing) {
    const Annotation a = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    doc->select(a.id);
    doc->setTool(Tool::counter);
    // 5 view points left of the canvas, within the 12-point margin.
    controller->mouseDown(PointerInput{Point{295, 250}, false, 1});
    controller->mouseUp(PointerInput{Point{295, 250}, false, 1});
    EXPECT_FALSE(doc->selectedID());
    EXPECT_EQ(marks().size(), 1u);
}

TEST_F(Canvas, DoubleClickOnATextOpensItsField) {
    const Annotation text = put(Shape::text({100, 100}, QStringLiteral("Note")));
    const std::size_t steps = doc->undoStack().size();
    click({110, 110});
    EXPECT_FALSE(host.field);
    EXPECT_EQ(doc->selectedID(), text.id);
    click({110, 110}, 2);
    EXPECT_TRUE(host.field);
    EXPECT_EQ(host.openedWith, QStringLiteral("Note"));
    EXPECT_EQ(doc->editingTextID(), text.id);
    EXPECT_FALSE(controller->gesture());
    controller->textChanged(QStringLiteral("Note 2"));
    // A click while the field is open only ends the typing.
    doc->setTool(Tool::rectangle);
    click({300, 250});
    EXPECT_FALSE(host.field);
    EXPECT_FALSE(doc->editingTextID());
    EXPECT_EQ(marks().size(), 1u);
    EXPECT_EQ(marks()[0].shape.textLabel()->string, QStringLiteral("Note 2"));
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
}

TEST_F(Canvas, CountersNumberOnAfterADeletion) {
    doc->setTool(Tool::counter);
    click({20, 20});
    click({60, 20});
    click({100, 20});
    ASSERT_EQ(marks().size(), 3u);
    for (qint64 n = 1; n <= 3; ++n) {
        EXPECT_EQ(marks()[static_cast<std::size_t>(n - 1)].shape.counterBadge()->number, n);
    }
    doc->select(marks()[1].id);
    EXPECT_TRUE(key(Qt::Key_Delete));
    // Far from the others, so the click does not hit a badge.
    click({200, 200});
    EXPECT_EQ(marks().back().shape.counterBadge()->number, 4);
    // A badge follows the mouse while it is placed.
    down({300, 100});
    dragTo({310, 120});
    up({310, 120});
    EXPECT_EQ(marks().back().shape.counterBadge()->center, (Point{310, 120}));
}

// ---- where placed marks may go ------------------------------------------------------

// The 400 × 300 image on a background with 48 points of padding.
class OnBackground : public Canvas {
protected:
    OnBackground() { doc->setBackgroundEnabled(true); }
};

TEST_F(OnBackground, TextAndCountersAreOnlyPlacedOnTheImage) {
    ASSERT_TRUE(doc->state().background.isEnabled);
    const Annotation a = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    const std::size_t steps = doc->undoStack().size();
    for (Tool tool : {Tool::text, Tool::counter}) {
        doc->select(a.id);
        doc->setTool(tool);
        // In the padding, left of the image: the canvas, not the image.
        click({-20, 100});
        EXPECT_EQ(marks().size(), 1u) << rawValue(tool).toStdString();
        EXPECT_FALSE(doc->selectedID());
        EXPECT_FALSE(host.field);
    }
    EXPECT_EQ(doc->undoStack().size(), steps);
    // Drawn marks still start anywhere on the canvas.
    doc->setTool(Tool::arrow);
    drag({-20, 100}, {60, 120});
    EXPECT_EQ(marks().size(), 2u);
    // On the image a text opens its field.
    doc->setTool(Tool::text);
    click({200, 200});
    EXPECT_TRUE(host.field);
    EXPECT_EQ(marks().size(), 3u);
}

// ---- cursors ----------------------------------------------------------------------

TEST_F(Canvas, Cursors) {
    const Annotation a = put(Shape::area(ShapeKind::filledRectangle, Rect(50, 50, 100, 100)));
    doc->setTool(Tool::text);
    EXPECT_EQ(controller->cursorAt(Point{280, 250}), CanvasCursor::arrow);
    EXPECT_EQ(controller->cursorAt(Point{290, 250}), CanvasCursor::iBeam);
    EXPECT_EQ(controller->cursorAt(view({100, 100})), CanvasCursor::openHand);
    doc->select(a.id);
    EXPECT_EQ(controller->cursorAt(view({150, 150})), CanvasCursor::crosshair);
    doc->setTool(Tool::rectangle);
    EXPECT_EQ(controller->cursorAt(view({300, 250})), CanvasCursor::crosshair);
    EXPECT_EQ(controller->mouseDown(PointerInput{view({100, 100}), false, 1}),
              CanvasCursor::closedHand);
    EXPECT_EQ(controller->mouseUp(PointerInput{view({100, 100}), false, 1}),
              CanvasCursor::openHand);
    doc->setTool(Tool::crop);
    EXPECT_EQ(controller->cursorAt(view({100, 100})), CanvasCursor::crosshair);
}

// ---- the crop draft ------------------------------------------------------------------

TEST_F(Canvas, CropGesturesStayOnTheImage) {
    doc->setTool(Tool::crop);
    ASSERT_EQ(doc->cropDraft(), Rect(0, 0, 400, 300));
    // Outside the draft a new rectangle starts at the clamped point and
    // stops at the image's edge.
    drag({-30, 100}, {500, 400});
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(0, 100, 400, 200)));
    EXPECT_TRUE(doc->undoStack().empty());
    // Shift squares it, but the edge wins.
    doc->setCropDraft(Rect(10, 10, 20, 20));
    drag({100, 100}, {150, 110}, true);
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(100, 100, 50, 50)));
    drag({380, 100}, {420, 110}, true);
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(380, 100, 20, 20)));
    // Moving cannot push the draft out of the image, and it follows the
    // mouse again as soon as the mouse turns back.
    doc->setCropDraft(Rect(10, 10, 100, 100));
    down({50, 50});
    dragTo({1050, 50});
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(300, 10, 100, 100)));
    dragTo({1040, 50});
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(290, 10, 100, 100)));
    up({1040, 50});
    // A handle within 9 view points resizes, clamped.
    doc->setCropDraft(Rect(10, 10, 100, 100));
    drag({116, 4}, {600, -50});
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(10, 0, 390, 110)));
    // A plain click outside leaves a zero-size draft.
    click({200, 250});
    EXPECT_TRUE(identical(*doc->cropDraft(), Rect(200, 250, 0, 0)));
    EXPECT_TRUE(doc->undoStack().empty());
}

// ---- odd documents -------------------------------------------------------------------

TEST_F(Canvas, MarksFarAwayAndHugeStrokesAreHitAndMissed) {
    put(Shape::area(ShapeKind::rectangle, Rect(1e9, 1e9, 100, 100)));
    put(Shape::arrow({-1e12, -1e12}, {-1e12 + 5, -1e12}));
    std::vector<Point> points;
    points.reserve(20000);
    for (int i = 0; i < 20000; ++i) {
        points.push_back(Point{20.0 + (i % 360), 20.0 + (i / 100)});
    }
    const Annotation stroke = put(Shape::pencil(points));
    const Annotation text = put(Shape::text({10, 250}, QString(100000, QLatin1Char('x'))));
    EXPECT_EQ(controller->cursorAt(view({200, 100})), CanvasCursor::openHand);
    click({200, 100});
    EXPECT_EQ(doc->selectedID(), stroke.id);
    click({30, 260});
    EXPECT_EQ(doc->selectedID(), text.id);
    doc->setTool(Tool::rectangle);
    click({395, 240});
    EXPECT_FALSE(doc->selectedID());
}

class Tiny : public Canvas {
protected:
    Tiny() : Canvas(1, 1) {}
};

TEST_F(Tiny, EveryToolOnAOnePixelImage) {
    for (Tool tool : tools::allCases()) {
        doc->setTool(tool);
        drag({0, 0}, {0.5, 0.5});
        drag({0, 0}, {40, 40});
        if (host.field) {
            controller->commitTextEditing();
        }
        key(Qt::Key_Return);
    }
    EXPECT_FALSE(doc->isChangeOpen());
    EXPECT_FALSE(doc->state().crop);
}

} // namespace

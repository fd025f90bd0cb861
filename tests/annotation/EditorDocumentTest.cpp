#include "annotation/EditorDocument.h"
#include "annotation/CustomColors.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace annotation;

namespace {

app::Capture capture(int width = 1000, int height = 600, double scale = 1) {
    app::Capture c;
    c.id = QUuid::createUuid();
    c.image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    c.image.fill(Qt::white);
    c.scale = scale;
    c.date = QDateTime::currentDateTimeUtc();
    return c;
}

class Document : public testing::Test {
protected:
    CustomColors colours{nullptr};
    EditorDocument doc{capture(), EditorState{}, &colours};

    Annotation add(Tool tool, Point at = {10, 10}) {
        doc.setTool(tool);
        const Annotation a = *doc.newAnnotation(at);
        doc.addAnnotation(a);
        return a;
    }
};

TEST_F(Document, StartsFresh) {
    EXPECT_EQ(doc.tool(), Tool::arrow);
    EXPECT_EQ(doc.size(), 5);
    EXPECT_TRUE(doc.shadow());
    EXPECT_EQ(doc.textStyle(), TextStyle::plain);
    EXPECT_EQ(doc.color(), RGBA::fromBytes(255, 59, 71));
    EXPECT_FALSE(doc.selectedID());
    EXPECT_TRUE(doc.undoStack().empty());
    EXPECT_TRUE(doc.redoStack().empty());
    EXPECT_FALSE(doc.hasUnsavedChanges());
}

TEST_F(Document, AddUndoRedo) {
    QSignalSpy stateChanged(&doc, &EditorDocument::stateChanged);
    const Annotation a = add(Tool::arrow);
    EXPECT_EQ(doc.undoStack().size(), 1u);
    EXPECT_EQ(stateChanged.count(), 1);
    EXPECT_TRUE(doc.hasUnsavedChanges());
    doc.undo();
    EXPECT_TRUE(doc.state().annotations.empty());
    ASSERT_EQ(doc.redoStack().size(), 1u);
    EXPECT_EQ(doc.redoStack()[0].annotations, std::vector{a});
    doc.redo();
    EXPECT_EQ(doc.state().annotations, std::vector{a});
    EXPECT_TRUE(doc.redoStack().empty());
    // A new change empties the redo stack.
    doc.undo();
    add(Tool::line);
    EXPECT_TRUE(doc.redoStack().empty());
}

TEST_F(Document, AChangeGroupsEditsIntoOneStep) {
    const Annotation a = add(Tool::rectangle);
    doc.beginChange();
    for (int i = 0; i < 3; ++i) {
        doc.moveAnnotation(a.id, 1, 1);
    }
    doc.endChange();
    EXPECT_EQ(doc.undoStack().size(), 2u);
    // Back to where it began: nothing recorded, redo untouched.
    doc.undo();
    ASSERT_EQ(doc.redoStack().size(), 1u);
    doc.beginChange();
    doc.moveAnnotation(a.id, 5, 0);
    doc.moveAnnotation(a.id, -5, 0);
    doc.endChange();
    EXPECT_EQ(doc.undoStack().size(), 1u);
    EXPECT_EQ(doc.redoStack().size(), 1u);
    doc.beginChange();
    doc.endChange();
    EXPECT_EQ(doc.undoStack().size(), 1u);
}

TEST_F(Document, UndoKeepsTwoHundredSteps) {
    const Annotation first = add(Tool::arrow);
    const EditorState oldest = doc.undoStack().front();
    for (int i = 0; i < 200; ++i) {
        doc.moveAnnotation(first.id, 1, 0);
    }
    EXPECT_EQ(doc.undoStack().size(), 200u);
    EXPECT_NE(doc.undoStack().front(), oldest);
    EXPECT_EQ(doc.undoStack().front().annotations.size(), 1u);
}

TEST_F(Document, UndoAndRedoCloseAnOpenChangeFirst) {
    doc.undo();
    EXPECT_TRUE(doc.undoStack().empty());
    const Annotation a = add(Tool::arrow);
    doc.undo();
    ASSERT_EQ(doc.redoStack().size(), 1u);
    doc.beginChange();
    doc.addAnnotation(*doc.newAnnotation({1, 1}));
    doc.redo();
    EXPECT_TRUE(doc.redoStack().empty());
    EXPECT_EQ(doc.state().annotations.size(), 1u);
    EXPECT_NE(doc.state().annotations[0].id, a.id);
    EXPECT_FALSE(doc.isChangeOpen());
}

TEST_F(Document, SelectionFollowsUndo) {
    const Annotation a = add(Tool::arrow);
    doc.select(a.id);
    doc.setEditingTextID(a.id);
    doc.moveAnnotation(a.id, 1, 1);
    doc.undo();
    EXPECT_EQ(doc.selectedID(), a.id);
    EXPECT_FALSE(doc.editingTextID());
    doc.undo();
    EXPECT_FALSE(doc.selectedID());
}

TEST_F(Document, SelectingLoadsStyleExceptFromRegions) {
    doc.setSize(9);
    doc.setShadow(false);
    const Annotation arrow = add(Tool::arrow);
    doc.setSize(2);
    doc.setShadow(true);
    doc.setColor(RGBA{0, 0, 1, 1});
    const Annotation blur = add(Tool::blur);
    doc.select(blur.id);
    EXPECT_EQ(doc.size(), 2);
    EXPECT_EQ(doc.color(), (RGBA{0, 0, 1, 1}));
    const std::size_t steps = doc.undoStack().size();
    doc.select(arrow.id);
    EXPECT_EQ(doc.size(), 9);
    EXPECT_FALSE(doc.shadow());
    EXPECT_EQ(doc.color(), RGBA::palette()[0]);
    EXPECT_EQ(doc.undoStack().size(), steps) << "loading a style records nothing";
}

TEST_F(Document, StyleSettersApplyToTheSelectionAndOfferColours) {
    const Annotation spot = add(Tool::spotlight);
    doc.select(spot.id);
    doc.setColor(RGBA{0.2, 0.4, 0.6, 1});
    EXPECT_EQ(doc.annotation(spot.id)->color, (RGBA{0.2, 0.4, 0.6, 1}));
    EXPECT_FALSE(colours.hasPendingColor());
    const Annotation arrow = add(Tool::arrow);
    doc.select(arrow.id);
    doc.setColor(RGBA{0.3, 0.4, 0.6, 1});
    EXPECT_TRUE(colours.hasPendingColor());
    // Adding a mark settles the offered colour first, then puts its own in front.
    doc.setTool(Tool::pencil);
    doc.select(std::nullopt);
    doc.setColor(RGBA{0.9, 0.1, 0.1, 1});
    doc.addAnnotation(*doc.newAnnotation({0, 0}));
    ASSERT_GE(colours.list().colors.size(), 2u);
    EXPECT_EQ(colours.list().colors[0], CustomColors::normalize(0.9, 0.1, 0.1));
    EXPECT_EQ(colours.list().colors[1], CustomColors::normalize(0.3, 0.4, 0.6));
    EXPECT_FALSE(colours.hasPendingColor());
}

TEST_F(Document, EditsOfMissingOrWrongTargetsRecordNothing) {
    const Annotation arrow = add(Tool::arrow);
    const std::size_t steps = doc.undoStack().size();
    doc.setText(QStringLiteral("x"), arrow.id);
    doc.moveAnnotation(QUuid::createUuid(), 1, 1);
    doc.removeAnnotation(QUuid::createUuid());
    EXPECT_EQ(doc.undoStack().size(), steps);
    const Annotation text = add(Tool::text);
    doc.setText(QStringLiteral("Hi"), text.id);
    EXPECT_EQ(doc.annotation(text.id)->shape.textLabel()->string, QStringLiteral("Hi"));
    doc.select(text.id);
    doc.setEditingTextID(text.id);
    doc.removeAnnotation(text.id);
    EXPECT_FALSE(doc.selectedID());
    EXPECT_FALSE(doc.editingTextID());
}

TEST_F(Document, NewAnnotationsByTool) {
    doc.setTool(Tool::crop);
    EXPECT_FALSE(doc.newAnnotation({1, 1}));
    for (qint64 number : {1, 4, 2}) {
        doc.addAnnotation(Annotation{QUuid::createUuid(), Shape::counter({0, 0}, number), RGBA{}, 5,
                                     true, TextStyle::plain});
    }
    // Every other tool starts the mark of its own name at the point.
    const Point p{3, 4};
    const Rect empty(p, Size{});
    const std::pair<Tool, Shape> starts[] = {
        {Tool::rectangle, Shape::area(ShapeKind::rectangle, empty)},
        {Tool::filledRectangle, Shape::area(ShapeKind::filledRectangle, empty)},
        {Tool::ellipse, Shape::area(ShapeKind::ellipse, empty)},
        {Tool::line, Shape::line(p, p)},
        {Tool::arrow, Shape::arrow(p, p)},
        {Tool::text, Shape::text(p, QString())},
        {Tool::pixelate, Shape::area(ShapeKind::pixelate, empty)},
        {Tool::blur, Shape::area(ShapeKind::blur, empty)},
        {Tool::counter, Shape::counter(p, 5)},
        {Tool::highlighter, Shape::highlighter({p})},
        {Tool::pencil, Shape::pencil({p})},
        {Tool::spotlight, Shape::area(ShapeKind::spotlight, empty)},
    };
    for (const auto& [tool, shape] : starts) {
        doc.setTool(tool);
        const std::optional<Annotation> a = doc.newAnnotation(p);
        ASSERT_TRUE(a) << rawValue(tool).toStdString();
        EXPECT_EQ(a->shape, shape) << rawValue(tool).toStdString();
        EXPECT_EQ(a->size, doc.size());
    }
    doc.setTool(Tool::pixelate);
    EXPECT_TRUE(identical(doc.newAnnotation(p)->shape.area()->rect, empty));
}

TEST_F(Document, CropToolSeedsAndApplies) {
    const Annotation a = add(Tool::arrow);
    doc.select(a.id);
    doc.setTool(Tool::crop);
    EXPECT_TRUE(identical(*doc.cropDraft(), Rect(0, 0, 1000, 600)));
    EXPECT_FALSE(doc.selectedID());
    doc.setCropDraft(Rect(10.4, 20.6, 100.2, 50.1));
    doc.applyCrop();
    EXPECT_TRUE(identical(*doc.state().crop, Rect(10, 20, 101, 51)));
    EXPECT_EQ(doc.tool(), Tool::arrow);
    EXPECT_FALSE(doc.cropDraft());

    // Partly outside: only the part inside; too thin: nothing but the tool.
    doc.setTool(Tool::crop);
    doc.setCropDraft(Rect(900, 500, 300, 300));
    doc.applyCrop();
    EXPECT_TRUE(identical(*doc.state().crop, Rect(900, 500, 100, 100)));
    const std::size_t steps = doc.undoStack().size();
    doc.setTool(Tool::crop);
    doc.setCropDraft(Rect(0, 0, 3.5, 100));
    doc.applyCrop();
    EXPECT_EQ(doc.undoStack().size(), steps);
    EXPECT_EQ(doc.tool(), Tool::arrow);
    // The whole image is no crop.
    doc.setTool(Tool::crop);
    doc.setCropDraft(Rect(-5, -5, 2000, 2000));
    doc.applyCrop();
    EXPECT_FALSE(doc.state().crop);
}

TEST(DocumentBackground, PaddingFollowsTheImageSize) {
    struct Case {
        int width, height;
        double padding;
    } cases[] = {{1000, 600, 54}, {200, 150, 24}, {3000, 2000, 140}};
    for (const Case& c : cases) {
        CustomColors colours(nullptr);
        EditorDocument doc(capture(c.width, c.height), EditorState{}, &colours);
        EditorState state = doc.state();
        state.background.padding = 100;
        doc.setState(state);
        doc.setBackgroundEnabled(true);
        EXPECT_EQ(doc.state().background.padding, c.padding) << c.width;
        EXPECT_TRUE(doc.state().background.isEnabled);
        state = doc.state();
        state.background.padding = 77;
        doc.setState(state);
        doc.setBackgroundEnabled(true);
        EXPECT_EQ(doc.state().background.padding, 77) << "already on";
    }
    // Points, not pixels: a 2000 × 1200 pixel image at scale 2.
    CustomColors colours(nullptr);
    EditorDocument hidpi(capture(2000, 1200, 2), EditorState{}, &colours);
    hidpi.setBackgroundEnabled(true);
    EXPECT_EQ(hidpi.state().background.padding, 54);
}

TEST_F(Document, SignalsOnlyOnRealChanges) {
    QSignalSpy tool(&doc, &EditorDocument::toolChanged);
    QSignalSpy size(&doc, &EditorDocument::sizeChanged);
    QSignalSpy exported(&doc, &EditorDocument::exportedStateChanged);
    doc.setTool(Tool::arrow);
    doc.setSize(5);
    doc.markExported(EditorState{});
    EXPECT_EQ(tool.count() + size.count() + exported.count(), 0);
    doc.setTool(Tool::blur);
    doc.setSize(6);
    EXPECT_EQ(tool.count(), 1);
    EXPECT_EQ(size.count(), 1);
}

} // namespace

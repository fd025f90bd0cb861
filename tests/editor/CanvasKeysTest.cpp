#include "CanvasFixture.h"

#include <gtest/gtest.h>

using namespace canvastest;

namespace {

TEST_F(Canvas, ReturnAppliesACropDraftOfAtLeastFourByFour) {
    struct Case {
        Rect draft;
        std::optional<Rect> crop;
        std::size_t steps;
    };
    for (const Case& c : {Case{Rect(10, 10, 3, 100), std::nullopt, 0},
                          Case{Rect(10, 10, 4, 4), Rect(10, 10, 4, 4), 1}}) {
        doc->setTool(Tool::rectangle);
        doc->setTool(Tool::crop);
        doc->setCropDraft(c.draft);
        EXPECT_TRUE(key(Qt::Key_Return));
        EXPECT_EQ(doc->state().crop, c.crop);
        EXPECT_EQ(doc->undoStack().size(), c.steps);
        // Back to the tool used before the crop, draft gone.
        EXPECT_EQ(doc->tool(), Tool::rectangle);
        EXPECT_FALSE(doc->cropDraft());
    }
    // The keypad's Enter does the same.
    doc->setTool(Tool::crop);
    doc->setCropDraft(Rect(20, 20, 100, 100));
    EXPECT_TRUE(key(Qt::Key_Enter, Qt::KeypadModifier));
    EXPECT_EQ(doc->state().crop, Rect(20, 20, 100, 100));
}

TEST_F(Canvas, EscapeLeavesTheCropToolOrDeselects) {
    const Annotation a = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    doc->setTool(Tool::ellipse);
    doc->setTool(Tool::crop);
    doc->setCropDraft(Rect(20, 20, 100, 100));
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_EQ(doc->tool(), Tool::ellipse);
    EXPECT_FALSE(doc->cropDraft());
    EXPECT_FALSE(doc->state().crop);
    doc->select(a.id);
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_FALSE(doc->selectedID());
    EXPECT_EQ(doc->tool(), Tool::ellipse);
    EXPECT_EQ(marks().size(), 1u);
}

TEST_F(Canvas, ArrowsNudgeTheSelectionOneUndoStepEach) {
    const Annotation a = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    doc->select(a.id);
    const std::size_t steps = doc->undoStack().size();
    EXPECT_TRUE(key(Qt::Key_Right));
    EXPECT_TRUE(key(Qt::Key_Down));
    EXPECT_EQ(marks()[0].shape.area()->rect, Rect(51, 51, 100, 100));
    EXPECT_TRUE(key(Qt::Key_Left));
    EXPECT_TRUE(key(Qt::Key_Up));
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(key(Qt::Key_Right, Qt::ShiftModifier));
    }
    EXPECT_EQ(marks()[0].shape.area()->rect, Rect(100, 50, 100, 100));
    EXPECT_EQ(doc->undoStack().size(), steps + 9);
    for (int i = 4; i >= 0; --i) {
        doc->undo();
        EXPECT_EQ(marks()[0].shape.area()->rect, Rect(50 + 10 * i, 50, 100, 100));
    }
}

TEST_F(Canvas, KeysThatNeedASelectionWithoutOne) {
    put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    const std::size_t steps = doc->undoStack().size();
    // Delete is consumed even when it does nothing.
    EXPECT_TRUE(key(Qt::Key_Delete));
    EXPECT_TRUE(key(Qt::Key_Backspace));
    EXPECT_TRUE(key(Qt::Key_Return));
    // Arrows without a selection are no key of the canvas.
    EXPECT_FALSE(key(Qt::Key_Right));
    EXPECT_EQ(marks().size(), 1u);
    EXPECT_EQ(doc->undoStack().size(), steps);
}

TEST_F(Canvas, ToolLettersAsTheLayoutTypesThem) {
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
        bool consumed;
        Tool tool; // after the key, starting from the pencil
    };
    const Case cases[] = {
        {Qt::Key_R, Qt::NoModifier, "r", true, Tool::rectangle},
        {Qt::Key_R, Qt::ShiftModifier, "R", true, Tool::rectangle},
        {Qt::Key_R, Qt::ControlModifier, "\x12", false, Tool::pencil},
        {Qt::Key_R, Qt::AltModifier, "r", false, Tool::pencil},
        {Qt::Key_R, Qt::MetaModifier, "r", false, Tool::pencil},
        // On a French keyboard the key at the Latin Q types "a".
        {Qt::Key_A, Qt::NoModifier, "a", true, Tool::arrow},
        {Qt::Key_Q, Qt::NoModifier, "q", false, Tool::pencil},
        {Qt::Key_Eacute, Qt::NoModifier, "é", false, Tool::pencil},
        {Qt::Key_C, Qt::NoModifier, "c", true, Tool::crop},
        {Qt::Key_S, Qt::KeypadModifier, "s", true, Tool::spotlight},
    };
    for (const Case& c : cases) {
        doc->setTool(Tool::pencil);
        EXPECT_EQ(key(c.key, c.mods, c.text), c.consumed) << c.text.toStdString();
        EXPECT_EQ(doc->tool(), c.tool) << c.text.toStdString();
    }
}

TEST_F(Canvas, CommandsAndWhenTheyAreEnabled) {
    int copies = 0;
    controller->setOnCopyImage([&] { ++copies; });
    EXPECT_FALSE(controller->isEnabled(CanvasCommand::undo));
    EXPECT_FALSE(controller->isEnabled(CanvasCommand::redo));
    EXPECT_FALSE(controller->isEnabled(CanvasCommand::deleteSelection));
    EXPECT_TRUE(controller->isEnabled(CanvasCommand::copy));
    const Annotation a = put(Shape::area(ShapeKind::rectangle, Rect(50, 50, 100, 100)));
    doc->select(a.id);
    EXPECT_TRUE(controller->isEnabled(CanvasCommand::undo));
    EXPECT_TRUE(controller->isEnabled(CanvasCommand::deleteSelection));
    controller->perform(CanvasCommand::deleteSelection);
    EXPECT_TRUE(marks().empty());
    // Ctrl stands for the other platform's Command key.
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier, "\x1a"));
    EXPECT_EQ(marks().size(), 1u);
    EXPECT_TRUE(controller->isEnabled(CanvasCommand::redo));
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "\x1a"));
    EXPECT_TRUE(marks().empty());
    EXPECT_TRUE(key(Qt::Key_C, Qt::ControlModifier, "\x03"));
    EXPECT_EQ(copies, 1);
    controller->perform(CanvasCommand::copy);
    EXPECT_EQ(copies, 2);
}

// ---- the text field ---------------------------------------------------------------

TEST_F(Canvas, ANewTextTypedThenEscapeIsOneUndoStep) {
    doc->setTool(Tool::text);
    click({100, 100});
    ASSERT_TRUE(host.field);
    EXPECT_EQ(host.openedWith, QString());
    for (const char* typed : {"H", "Hé", "Hé ", "Hé 2"}) {
        controller->textChanged(QString::fromUtf8(typed));
    }
    // Escape in the field ends the typing.
    controller->commitTextEditing();
    EXPECT_FALSE(host.field);
    EXPECT_GE(host.focused, 1);
    ASSERT_EQ(marks().size(), 1u);
    EXPECT_EQ(marks()[0].shape.textLabel()->string, QString::fromUtf8("Hé 2"));
    EXPECT_EQ(doc->undoStack().size(), 1u);
    doc->undo();
    EXPECT_TRUE(marks().empty());
}

TEST_F(Canvas, ATextClearedToSpacesGoesAndOneUndoBringsItBack) {
    const Annotation text = put(Shape::text({100, 100}, QStringLiteral("Keep me")));
    doc->select(text.id);
    const std::size_t steps = doc->undoStack().size();
    // Return on a selected text opens it.
    EXPECT_TRUE(key(Qt::Key_Return));
    ASSERT_TRUE(host.field);
    EXPECT_EQ(host.openedWith, QStringLiteral("Keep me"));
    controller->textChanged(QStringLiteral("  \n "));
    click({300, 250});
    EXPECT_TRUE(marks().empty());
    EXPECT_FALSE(doc->selectedID());
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
    doc->undo();
    ASSERT_EQ(marks().size(), 1u);
    EXPECT_EQ(marks()[0], text);
}

TEST_F(Canvas, TheFieldClosesWhenItsMarkIsNoLongerEdited) {
    const Annotation text = put(Shape::text({100, 100}, QStringLiteral("Undo me")));
    doc->select(text.id);
    key(Qt::Key_Return);
    controller->textChanged(QStringLiteral("Undo me, changed"));
    // Undo closes the open change first and steps back over it.
    doc->undo();
    EXPECT_FALSE(doc->editingTextID());
    controller->syncTextEditing();
    EXPECT_FALSE(host.field);
    EXPECT_EQ(marks()[0].shape.textLabel()->string, QStringLiteral("Undo me"));
    EXPECT_FALSE(doc->isChangeOpen());
}

} // namespace

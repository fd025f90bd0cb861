#include "ViewsFixture.h"

#include "editor/views/ColorPalette.h"
#include "editor/views/Controls.h"
#include "editor/views/EditorBottomBar.h"
#include "editor/views/StyleControls.h"
#include "editor/views/ViewKit.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace viewstest;
using editor::ColorPopover;
using editor::EditorBottomBar;
using editor::SegmentedControl;
using editor::StyleControls;

namespace {

void clickSegment(SegmentedControl* control, int index) {
    QTest::mouseClick(control, Qt::LeftButton, {}, control->segmentRect(index).center());
}

TEST(StyleSizeIndex, NearestStepAndTiesGoToTheSmallerOne) {
    const std::pair<double, int> cases[] = {
        {5, 1},   // between 4 and 6: M
        {7.5, 2}, // between 6 and 9: L
        {1, 0},   {20, 3}, {3, 0}, {2, 0}, {4, 1}, {6, 2}, {9, 3}, {7.4, 2}, {7.6, 3}, {-4, 0},
    };
    for (const auto& [size, index] : cases) {
        EXPECT_EQ(StyleControls::sizeIndex(size), index) << size;
    }
}

class Style : public ViewsTest {
protected:
    void SetUp() override { controls.show(); }
    StyleControls controls{*doc, colours};
};

TEST_F(Style, ApplicabilityFollowsToolAndSelection) {
    struct Case {
        Tool tool;
        std::optional<Tool> selectedKind;
        bool applicable;
        bool textStyle;
    };
    const Case cases[] = {
        {Tool::rectangle, {}, true, false},
        {Tool::pixelate, {}, false, false},
        {Tool::blur, {}, false, false},
        {Tool::spotlight, {}, false, false},
        {Tool::text, {}, true, true},
        {Tool::counter, {}, true, false},
        {Tool::rectangle, Tool::blur, false, false},
        {Tool::blur, Tool::rectangle, true, false},
        {Tool::arrow, Tool::text, true, true},
        {Tool::text, Tool::rectangle, true, true},
    };
    for (const Case& c : cases) {
        doc = makeDocument(400, 300);
        StyleControls view(*doc, colours);
        view.show();
        if (c.selectedKind) {
            doc->setTool(*c.selectedKind);
            const Annotation a = *doc->newAnnotation({20, 20});
            doc->addAnnotation(a);
            doc->setTool(c.tool);
            doc->select(a.id);
        } else {
            doc->setTool(c.tool);
        }
        const std::string what =
            rawValue(c.tool).toStdString() + " with " +
            (c.selectedKind ? rawValue(*c.selectedKind).toStdString() : std::string("nothing"));
        EXPECT_EQ(StyleControls::isStyleApplicable(*doc), c.applicable) << what;
        EXPECT_EQ(view.isEnabled(), c.applicable) << what;
        EXPECT_DOUBLE_EQ(editor::opacityOf(&view), c.applicable ? 1.0 : 0.4) << what;
        EXPECT_EQ(view.textStylePicker()->isVisibleTo(&view), c.textStyle) << what;
    }
}

TEST_F(Style, ControlsShowAndSetTheDocumentsStyle) {
    doc->setSize(5);
    EXPECT_EQ(controls.sizePicker()->currentIndex(), 1);
    clickSegment(controls.sizePicker(), 3);
    EXPECT_EQ(doc->size(), 9);
    EXPECT_EQ(controls.sizePicker()->currentIndex(), 3);
    doc->setSize(20);
    clickSegment(controls.sizePicker(), 3);
    EXPECT_EQ(doc->size(), 9) << "XL is exactly 9, whatever was shown";

    controls.shadowBox()->click();
    EXPECT_FALSE(doc->shadow());
    doc->setShadow(true);
    EXPECT_TRUE(controls.shadowBox()->isChecked());

    doc->setTool(Tool::text);
    clickSegment(controls.textStylePicker(), 1);
    EXPECT_EQ(doc->textStyle(), TextStyle::filled);

    doc->setColor(RGBA::fromBytes(10, 132, 255));
    EXPECT_EQ(controls.colorButton()->color(), RGBA::fromBytes(10, 132, 255).toColor());
}

TEST_F(Style, SelectingATextMarkShowsItsStyle) {
    doc->setTool(Tool::text);
    doc->setTextStyle(TextStyle::filled);
    const Annotation label = *doc->newAnnotation({5, 5});
    doc->addAnnotation(label);
    doc->setTextStyle(TextStyle::plain);
    doc->setTool(Tool::rectangle);
    EXPECT_FALSE(controls.textStylePicker()->isVisibleTo(&controls));
    doc->select(label.id);
    EXPECT_TRUE(controls.textStylePicker()->isVisibleTo(&controls));
    EXPECT_EQ(controls.textStylePicker()->currentIndex(), 1);
}

TEST_F(Style, TheColourButtonOpensAndClosesThePalette) {
    EXPECT_FALSE(controls.showsColors());
    QTest::mouseClick(controls.colorButton(), Qt::LeftButton);
    ASSERT_TRUE(controls.showsColors());
    EXPECT_TRUE(controls.popover()->isVisible());
    EXPECT_TRUE(controls.popover()->windowFlags().testFlag(Qt::Popup));
    controls.popover()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(controls.showsColors());
    controls.toggleColors();
    EXPECT_TRUE(controls.showsColors());
    controls.toggleColors();
    EXPECT_FALSE(controls.showsColors());
}

TEST_F(Style, CustomColourDialogSetsTheColourLiveWithoutAlpha) {
    controls.toggleColors();
    ASSERT_TRUE(controls.popover());
    QTest::mouseClick(controls.popover()->colorPalette()->customButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(controls.showsColors()) << "the palette steps aside for the chooser";
    QColorDialog* dialog = controls.customColorDialog();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_EQ(dialog->currentColor().rgb(), RGBA::palette()[0].toColor().rgb());

    dialog->setCurrentColor(QColor(12, 34, 56));
    EXPECT_EQ(doc->color(), RGBA::fromColor(QColor(12, 34, 56)));
    EXPECT_EQ(doc->color().alpha, 1);
    dialog->setCurrentColor(QColor(200, 100, 0));
    EXPECT_EQ(doc->color(), RGBA::fromColor(QColor(200, 100, 0)));
    dialog->accept();
    EXPECT_EQ(doc->color(), RGBA::fromColor(QColor(200, 100, 0)));
}

TEST_F(Style, CancellingTheDialogTakesItsColourBack) {
    const RGBA before = doc->color();
    controls.openCustomColorDialog();
    controls.customColorDialog()->setCurrentColor(QColor(1, 2, 3));
    controls.customColorDialog()->reject();
    EXPECT_EQ(doc->color(), before);
}

TEST_F(Style, ADragInTheDialogIsOneUndoStep) {
    addSelected(Tool::rectangle);
    const std::size_t steps = doc->undoStack().size();
    controls.openCustomColorDialog();
    QColorDialog* dialog = controls.customColorDialog();
    // A part of the chooser that picks nothing itself: the test sets the
    // colours the drag would report.
    QWidget* field = dialog->findChild<QLabel*>();
    ASSERT_TRUE(field);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(field, &press);
    for (int g : {10, 60, 120}) {
        dialog->setCurrentColor(QColor(g, 80, 40));
    }
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                        {}, {});
    QApplication::sendEvent(field, &release);
    EXPECT_EQ(doc->undoStack().size(), steps + 1);
    EXPECT_EQ(doc->selectedAnnotation()->color, RGBA::fromColor(QColor(120, 80, 40)));
    doc->undo();
    EXPECT_EQ(doc->selectedAnnotation()->color, RGBA::palette()[0]);
}

TEST_F(Style, SwitchingToCropClosesThePaletteAndComingBackShowsItClosed) {
    EditorBottomBar bar(*doc, colours);
    bar.show();
    bar.styleControls()->toggleColors();
    QPointer<ColorPopover> popover = bar.styleControls()->popover();
    ASSERT_TRUE(popover);
    doc->setTool(Tool::crop);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(popover);
    EXPECT_FALSE(bar.styleControls());
    doc->setTool(Tool::arrow);
    ASSERT_TRUE(bar.styleControls());
    EXPECT_FALSE(bar.styleControls()->showsColors());
}

} // namespace

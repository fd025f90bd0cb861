#include "ViewsFixture.h"

#include "editor/views/ColorPalette.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

using namespace viewstest;
using editor::ColorPalette;
using editor::ColorSwatch;

namespace {

RGBA channels(double red, double green, double blue, double alpha = 1) {
    return RGBA{red / 255, green / 255, blue / 255, alpha};
}

class Palette : public ViewsTest {
protected:
    void SetUp() override { palette.show(); }

    // Indexes of the selected swatches, built-in ones first.
    std::vector<int> selected() const {
        std::vector<int> indexes;
        int i = 0;
        for (auto* list : {&palette.builtInSwatches(), &palette.customSwatches()}) {
            for (ColorSwatch* swatch : *list) {
                if (swatch->isSelected()) {
                    indexes.push_back(i);
                }
                ++i;
            }
        }
        return indexes;
    }

    static void hover(ColorSwatch* swatch) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(swatch, &enter);
    }

    ColorPalette palette{*doc, colours};
};

TEST_F(Palette, SelectionComparesWholeStepsWithoutAlpha) {
    const std::pair<RGBA, std::vector<int>> cases[] = {
        {channels(255, 59, 71), {0}},
        {channels(255, 59, 71, 0.5), {0}},
        {channels(255, 59.4, 71), {0}},
        {channels(255, 59.5, 71), {}},
        {channels(52, 199, 89), {3}},
        {channels(300, 255, 256), {8}}, // beyond 1 counts as 1: white
        {channels(-3, -0.1, 0), {}},    // black 0,0,0 is not the palette's near black
        {channels(28, 28, 30), {7}},
    };
    for (const auto& [colour, expected] : cases) {
        doc->setColor(colour);
        EXPECT_EQ(selected(), expected)
            << colour.red * 255 << " " << colour.green * 255 << " " << colour.blue * 255;
    }
}

TEST_F(Palette, BuiltInColoursInTwoRowsThenTheCustomPicker) {
    ASSERT_EQ(palette.builtInSwatches().size(), 9u);
    const auto builtIn = RGBA::palette();
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(palette.builtInSwatches()[i]->color(), builtIn[i]);
        EXPECT_FALSE(palette.builtInSwatches()[i]->isRemovable());
    }
    const int firstRow = palette.builtInSwatches()[0]->y();
    EXPECT_EQ(palette.builtInSwatches()[4]->y(), firstRow);
    EXPECT_GT(palette.builtInSwatches()[5]->y(), firstRow);
    EXPECT_EQ(palette.builtInSwatches()[5]->x(), palette.builtInSwatches()[0]->x());
    EXPECT_FALSE(palette.showsCustomColors());
    EXPECT_TRUE(palette.customButton()->isVisible());
}

TEST_F(Palette, ChoosingASwatchSetsItsStoredColour) {
    colours.setList(CustomColorList::normalized({channels(12.4, 200, 180)}));
    ASSERT_EQ(palette.customSwatches().size(), 1u);
    ColorSwatch* custom = palette.customSwatches()[0];
    QTest::mouseClick(custom, Qt::LeftButton, {}, custom->circleRect().center().toPoint());
    EXPECT_EQ(doc->color(), RGBA::fromBytes(12, 200, 180));
    EXPECT_EQ(selected(), std::vector{9});

    ColorSwatch* blue = palette.builtInSwatches()[4];
    QTest::mouseClick(blue, Qt::LeftButton, {}, blue->circleRect().center().toPoint());
    EXPECT_EQ(doc->color(), RGBA::fromBytes(10, 132, 255));
}

TEST_F(Palette, CustomColoursCanBeRemovedAndTheLastTakesTheSectionAlong) {
    colours.setList(CustomColorList::normalized({channels(1, 2, 3), channels(4, 5, 6)}));
    ASSERT_TRUE(palette.showsCustomColors());
    ASSERT_EQ(palette.customSwatches().size(), 2u);
    doc->setColor(RGBA::palette()[4]);

    ColorSwatch* builtIn = palette.builtInSwatches()[0];
    hover(builtIn);
    EXPECT_FALSE(builtIn->showsBadge());

    ColorSwatch* first = palette.customSwatches()[0];
    EXPECT_FALSE(first->showsBadge()) << "no badge before the pointer comes";
    hover(first);
    ASSERT_TRUE(first->showsBadge());
    // Its top-right corner 6 points out from the swatch's, drawn whole.
    EXPECT_EQ(first->badgeRect().topRight(), first->circleRect().topRight() + QPointF(6, -6));
    EXPECT_TRUE(QRectF(first->rect()).contains(first->badgeRect()));
    // The badge removes the colour without choosing it.
    QTest::mouseClick(first, Qt::LeftButton, {}, first->badgeRect().center().toPoint());
    QCoreApplication::processEvents();
    EXPECT_EQ(colours.list().colors, std::vector{RGBA::fromBytes(4, 5, 6)});
    EXPECT_EQ(doc->color(), RGBA::palette()[4]);
    ASSERT_EQ(palette.customSwatches().size(), 1u);

    // The current colour stays current when it is the one removed.
    doc->setColor(RGBA::fromBytes(4, 5, 6));

    ColorSwatch* last = palette.customSwatches()[0];
    hover(last);
    QTest::mouseClick(last, Qt::LeftButton, {}, last->badgeRect().center().toPoint());
    QCoreApplication::processEvents();
    EXPECT_TRUE(colours.list().colors.empty());
    EXPECT_EQ(doc->color(), RGBA::fromBytes(4, 5, 6));
    EXPECT_FALSE(palette.showsCustomColors());
    EXPECT_TRUE(palette.customSwatches().empty());
}

TEST_F(Palette, AssistiveTechnologyCanRemoveTheUsersOwnColoursOnly) {
    colours.setList(CustomColorList::normalized({channels(1, 2, 3), channels(4, 5, 6)}));
    ASSERT_EQ(palette.customSwatches().size(), 2u);
    QAccessibleInterface* builtIn =
        QAccessible::queryAccessibleInterface(palette.builtInSwatches()[2]);
    QAccessibleInterface* custom =
        QAccessible::queryAccessibleInterface(palette.customSwatches()[1]);
    ASSERT_TRUE(builtIn && builtIn->actionInterface());
    ASSERT_TRUE(custom && custom->actionInterface());
    EXPECT_FALSE(builtIn->actionInterface()->actionNames().contains(QStringLiteral("Remove")));
    EXPECT_TRUE(custom->actionInterface()->actionNames().contains(QStringLiteral("Remove")));

    builtIn->actionInterface()->doAction(QStringLiteral("Remove"));
    builtIn->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(doc->color(), RGBA::palette()[2]);
    EXPECT_EQ(colours.list().colors.size(), 2u);

    custom->actionInterface()->doAction(QStringLiteral("Remove"));
    QCoreApplication::processEvents();
    EXPECT_EQ(colours.list().colors, std::vector{RGBA::fromBytes(1, 2, 3)});
    EXPECT_EQ(doc->color(), RGBA::palette()[2]) << "removing chooses nothing";
}

TEST_F(Palette, TheCustomRowAsksForAChooser) {
    QSignalSpy asked(&palette, &ColorPalette::customRequested);
    QTest::mouseClick(palette.customButton(), Qt::LeftButton);
    EXPECT_EQ(asked.count(), 1);
    doc->setColor(channels(10, 20, 30, 0.5));
    EXPECT_EQ(palette.customButton()->color(), QColor(10, 20, 30)) << "shown without alpha";
}

} // namespace

#include "ViewsFixture.h"

#include "editor/views/ToolStripView.h"
#include "editor/views/ToolbarIconButton.h"
#include "editor/views/ToolbarTrailingView.h"

#include <QSignalSpy>
#include <QTest>

using namespace viewstest;
using editor::ToolbarIconButton;
using editor::ToolbarTrailingView;
using editor::ToolStripView;

namespace {

class ToolStrip : public ViewsTest {
protected:
    ToolStripView strip;

    // The tools whose buttons show as selected.
    std::vector<Tool> selected() const {
        std::vector<Tool> tools;
        for (Tool tool : tools::allCases()) {
            if (strip.button(tool)->isSelected()) {
                tools.push_back(tool);
            }
        }
        return tools;
    }
};

TEST_F(ToolStrip, TooltipsNameTheToolAndItsKey) {
    const std::pair<Tool, QString> cases[] = {
        {Tool::crop, QStringLiteral("Crop (C)")},
        {Tool::spotlight, QStringLiteral("Spotlight (S)")},
        {Tool::counter, QStringLiteral("Counter (N)")},
        {Tool::filledRectangle, QStringLiteral("Filled Rectangle (F)")},
    };
    for (const auto& [tool, text] : cases) {
        EXPECT_EQ(strip.button(tool)->toolTip(), text) << rawValue(tool).toStdString();
    }
}

TEST_F(ToolStrip, WithoutDocumentItIsDimmedAndIgnoresClicks) {
    EXPECT_FALSE(strip.isEnabled());
    EXPECT_TRUE(selected().empty());
    strip.show();
    QTest::mouseClick(strip.button(Tool::pencil), Qt::LeftButton);
    EXPECT_FALSE(strip.button(Tool::pencil)->isSelected());

    strip.setDocument(doc.get());
    EXPECT_TRUE(strip.isEnabled());
    EXPECT_EQ(selected(), std::vector{Tool::arrow});
}

TEST_F(ToolStrip, SelectionFollowsTheDocumentAndClicksChooseTools) {
    strip.setDocument(doc.get());
    strip.show();
    doc->setTool(Tool::blur);
    EXPECT_EQ(selected(), std::vector{Tool::blur});

    QTest::mouseClick(strip.button(Tool::crop), Qt::LeftButton);
    EXPECT_EQ(doc->tool(), Tool::crop);
    EXPECT_EQ(selected(), std::vector{Tool::crop});
    EXPECT_TRUE(doc->cropDraft());

    // The current tool again: the document sees no change.
    QSignalSpy toolChanged(doc.get(), &EditorDocument::toolChanged);
    QTest::mouseClick(strip.button(Tool::crop), Qt::LeftButton);
    EXPECT_EQ(toolChanged.count(), 0);
}

TEST_F(ToolStrip, FollowsAReplacedOrDeletedDocument) {
    strip.setDocument(doc.get());
    auto other = makeDocument(200, 100);
    other->setTool(Tool::text);
    strip.setDocument(other.get());
    EXPECT_EQ(selected(), std::vector{Tool::text});
    doc->setTool(Tool::pencil); // the old one is no longer followed
    EXPECT_EQ(selected(), std::vector{Tool::text});
    other.reset();
    EXPECT_FALSE(strip.isEnabled());
    EXPECT_TRUE(selected().empty());
}

class Trailing : public ViewsTest {
protected:
    ToolbarTrailingView view{preferences};

    struct Enabled {
        bool undo, redo, background, recent;
        friend bool operator==(const Enabled&, const Enabled&) = default;
    };
    Enabled enabled() const {
        return {view.undoButton()->isEnabled(), view.redoButton()->isEnabled(),
                view.backgroundButton()->isEnabled(), view.recentButton()->isEnabled()};
    }
};

TEST_F(Trailing, EnabledRulesFollowTheDocument) {
    EXPECT_EQ(enabled(), (Enabled{false, false, false, true})) << "no document";
    view.setDocument(doc.get());
    EXPECT_EQ(enabled(), (Enabled{false, false, true, true})) << "fresh document";
    doc->setBackgroundEnabled(true);
    EXPECT_EQ(enabled(), (Enabled{true, false, true, true})) << "after a change";
    doc->undo();
    EXPECT_EQ(enabled(), (Enabled{false, true, true, true})) << "after an undo";
    doc->setTool(Tool::crop);
    EXPECT_EQ(enabled(), (Enabled{false, true, false, true})) << "crop tool";
    doc->setTool(Tool::ellipse);
    EXPECT_TRUE(view.backgroundButton()->isEnabled());
}

TEST_F(Trailing, ButtonsActOnTheDocument) {
    view.setDocument(doc.get());
    view.show();
    doc->setBackgroundEnabled(true);
    QTest::mouseClick(view.undoButton(), Qt::LeftButton);
    EXPECT_FALSE(doc->state().background.isEnabled);
    QTest::mouseClick(view.redoButton(), Qt::LeftButton);
    EXPECT_TRUE(doc->state().background.isEnabled);

    EXPECT_FALSE(view.backgroundButton()->isSelected());
    QTest::mouseClick(view.backgroundButton(), Qt::LeftButton);
    EXPECT_TRUE(doc->showsBackgroundPanel());
    EXPECT_TRUE(view.backgroundButton()->isSelected());
    EXPECT_EQ(doc->undoStack().size(), 1u) << "the panel's flag is no undo step";
}

TEST_F(Trailing, TooltipsNameLinuxKeys) {
    EXPECT_EQ(view.undoButton()->toolTip(), QStringLiteral("Undo (Ctrl+Z)"));
    EXPECT_EQ(view.redoButton()->toolTip(), QStringLiteral("Redo (Ctrl+Shift+Z)"));
    EXPECT_EQ(view.backgroundButton()->toolTip(), QStringLiteral("Background"));
}

TEST_F(Trailing, RecentCapturesToggleWritesTheSettingAtOnce) {
    view.show();
    ASSERT_TRUE(preferences.editorShowsRecent());
    EXPECT_EQ(view.recentButton()->toolTip(), QStringLiteral("Hide Recent Captures"));
    QTest::mouseClick(view.recentButton(), Qt::LeftButton);
    EXPECT_FALSE(preferences.editorShowsRecent());
    EXPECT_EQ(view.recentButton()->toolTip(), QStringLiteral("Show Recent Captures"));
    app::Preferences reread(preferences.filePath());
    EXPECT_FALSE(reread.editorShowsRecent());

    QTest::mouseClick(view.recentButton(), Qt::LeftButton);
    EXPECT_TRUE(preferences.editorShowsRecent());
    EXPECT_EQ(view.recentButton()->toolTip(), QStringLiteral("Hide Recent Captures"));
}

} // namespace

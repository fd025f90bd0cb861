// The Shortcuts pane: its rows, what its buttons store, and the hot keys that
// another program holds.
#include "settings/ShortcutsPane.h"

#include "settings/ShortcutRecorder.h"

#include "ShortcutFixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

using app::CaptureAction;
using app::KeyShortcut;

class ShortcutsPaneTest : public testsupport::ShortcutFixture {};

TEST_F(ShortcutsPaneTest, RowsFollowTheMenuOrderThenTheCopies) {
    settings::ShortcutsPane pane(*preferences, *hotKeys);
    QStringList titles;
    for (CaptureAction action : settings::ShortcutsPane::rowOrder()) {
        ASSERT_NE(pane.recorder(action), nullptr);
        titles.append(app::title(action));
    }
    EXPECT_EQ(titles.join(QStringLiteral(", ")),
              "Capture Area, Capture Fullscreen, Capture Window, Scrolling Capture, Capture Text "
              "(OCR), Record Screen, Capture Area & Copy, Capture Window & Copy, Capture "
              "Fullscreen & Copy");
    EXPECT_EQ(pane.recorder(CaptureAction::area)->title(), "Alt+Shift+Super+4");
    EXPECT_EQ(pane.recorder(CaptureAction::fullscreenCopy)->title(), "Ctrl+Alt+Shift+Super+3");
}

TEST_F(ShortcutsPaneTest, ClearStaysClearedAfterARestartAndRestoreDefaultsBringsAllBack) {
    {
        settings::ShortcutsPane pane(*preferences, *hotKeys);
        pane.show();
        QTest::mouseClick(pane.recorder(CaptureAction::window)->clearButton(), Qt::LeftButton);
        QTest::mouseClick(pane.recorder(CaptureAction::areaCopy)->clearButton(), Qt::LeftButton);
        EXPECT_EQ(pane.recorder(CaptureAction::window)->title(), "Record Shortcut");
        QCoreApplication::processEvents();
        EXPECT_FALSE(held(CaptureAction::window).has_value());
        EXPECT_TRUE(held(CaptureAction::area).has_value());
    }
    // Read again from the file, as at the next start.
    app::Preferences reloaded(preferences->filePath());
    EXPECT_EQ(reloaded.shortcuts().value(CaptureAction::window), std::nullopt);
    EXPECT_EQ(reloaded.shortcuts().value(CaptureAction::areaCopy), std::nullopt);
    EXPECT_EQ(reloaded.shortcuts().value(CaptureAction::area), (KeyShortcut{21, 0x1A0000}));

    settings::ShortcutsPane pane(*preferences, *hotKeys);
    pane.show();
    QTest::mouseClick(pane.restoreDefaultsButton(), Qt::LeftButton);
    EXPECT_EQ(preferences->shortcuts(), app::ShortcutMap::defaults());
    EXPECT_EQ(pane.recorder(CaptureAction::window)->title(), "Alt+Shift+Super+5");
    EXPECT_EQ(pane.recorder(CaptureAction::areaCopy)->title(), "Ctrl+Alt+Shift+Super+4");
}

TEST_F(ShortcutsPaneTest, TakenHotKeysAreOutlinedAndExplained) {
    settings::ShortcutsPane pane(*preferences, *hotKeys);
    pane.show();
    EXPECT_TRUE(pane.conflictNote()->isHidden());
    EXPECT_FALSE(pane.recorder(CaptureAction::area)->hasConflict());

    // Another program takes Shift+Alt+Super+5 (the window capture's key), and
    // the hot keys are registered again.
    grabber.taken.push_back({14, 0x1 | 0x8 | 0x40});
    preferences->setShortcut(CaptureAction::area, KeyShortcut{96, 0});
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane.recorder(CaptureAction::window)->hasConflict());
    EXPECT_FALSE(pane.recorder(CaptureAction::area)->hasConflict());
    EXPECT_FALSE(pane.conflictNote()->isHidden());

    // Moved to a free key, the conflict and the note go.
    preferences->setShortcut(CaptureAction::window, KeyShortcut{97, 0});
    QCoreApplication::processEvents();
    EXPECT_FALSE(pane.recorder(CaptureAction::window)->hasConflict());
    EXPECT_TRUE(pane.conflictNote()->isHidden());
}

// Keys two of our own actions share are flagged on both rows, with the other
// action named, and not blamed on another program.
TEST_F(ShortcutsPaneTest, TwoActionsWithTheSameKeysAreBothFlagged) {
    settings::ShortcutsPane pane(*preferences, *hotKeys);
    pane.show();
    preferences->setShortcut(CaptureAction::window, KeyShortcut{21, 0x1A0000}); // the area's
    QCoreApplication::processEvents();
    for (const CaptureAction action : {CaptureAction::area, CaptureAction::window}) {
        EXPECT_TRUE(pane.recorder(action)->hasConflict()) << app::rawValue(action).toStdString();
    }
    EXPECT_EQ(pane.recorder(CaptureAction::area)->field()->toolTip(),
              "Capture Window uses this shortcut too.");
    EXPECT_EQ(pane.recorder(CaptureAction::window)->field()->toolTip(),
              "Capture Area uses this shortcut too.");
    EXPECT_FALSE(pane.recorder(CaptureAction::fullscreen)->hasConflict());
    EXPECT_FALSE(pane.sharedNote()->isHidden());
    EXPECT_TRUE(pane.conflictNote()->isHidden());

    preferences->setShortcut(CaptureAction::window, KeyShortcut{97, 0});
    QCoreApplication::processEvents();
    EXPECT_FALSE(pane.recorder(CaptureAction::area)->hasConflict());
    EXPECT_FALSE(pane.recorder(CaptureAction::window)->hasConflict());
    EXPECT_TRUE(pane.sharedNote()->isHidden());
}

// One row records at a time, and a row that stops shows its stored shortcut,
// whatever ended it: another row clicked after a refused key, or Restore
// Defaults.
TEST_F(ShortcutsPaneTest, OneRowRecordsAtATimeAndEveryOtherShowsItsShortcut) {
    settings::ShortcutsPane pane(*preferences, *hotKeys);
    pane.show();
    settings::ShortcutRecorder* area = pane.recorder(CaptureAction::area);
    settings::ShortcutRecorder* window = pane.recorder(CaptureAction::window);
    const auto recording = [&] {
        QStringList rows;
        for (const CaptureAction action : settings::ShortcutsPane::rowOrder()) {
            if (pane.recorder(action)->isRecording() ||
                !pane.recorder(action)->title().contains('+')) {
                rows.append(app::rawValue(action) + ": " + pane.recorder(action)->title());
            }
        }
        return rows.join(", ").toStdString();
    };

    QTest::mouseClick(area->field(), Qt::LeftButton);
    area->listener().handle(testsupport::x::letterA, 0); // refused: still listening
    ASSERT_TRUE(area->isRecording());
    QTest::mouseClick(window->field(), Qt::LeftButton);
    EXPECT_EQ(recording(), "window: Type shortcut…");
    EXPECT_EQ(area->title(), "Alt+Shift+Super+4");
    EXPECT_EQ(hotKeys->suspendCount(), 1);

    preferences->setShortcut(CaptureAction::area, KeyShortcut{96, 0x40000});
    QTest::mouseClick(pane.restoreDefaultsButton(), Qt::LeftButton);
    EXPECT_EQ(recording(), "");
    EXPECT_EQ(area->title(), "Alt+Shift+Super+4");
    EXPECT_EQ(hotKeys->suspendCount(), 0);
}

} // namespace

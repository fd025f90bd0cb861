#include "app/StatusMenu.h"
#include "app/Preferences.h"
#include "app/StatusBarController.h"
#include "platform/KeyboardLayout.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

#include <vector>

namespace {

using app::CaptureAction;

// One line per item as a user reads the menu: the item's command and its text,
// "-" for a rule; submenus show as their command.
std::vector<std::string> lines(const QMenu& menu) {
    std::vector<std::string> out;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            out.emplace_back("-");
        } else {
            out.push_back(
                (action->objectName() + QStringLiteral(" | ") + action->text()).toStdString());
        }
    }
    return out;
}

QAction* find(const QMenu& menu, const QString& name) {
    for (QAction* action : menu.actions()) {
        if (action->objectName() == name) {
            return action;
        }
        if (QMenu* sub = action->menu()) {
            if (QAction* inner = find(*sub, name)) {
                return inner;
            }
        }
    }
    return nullptr;
}

std::vector<std::pair<int, QString>> timerChoices() {
    return {{0, QStringLiteral("Off")},
            {3, QStringLiteral("3 seconds")},
            {5, QStringLiteral("5 seconds")},
            {10, QStringLiteral("10 seconds")}};
}

// Every command set, each recording that it ran.
struct Recorder {
    std::vector<std::string> calls;
    app::StatusMenuCommands commands() {
        auto note = [this](const char* name) { return [this, name] { calls.emplace_back(name); }; };
        return {
            .performAction =
                [this](CaptureAction action) {
                    calls.push_back("perform " + app::rawValue(action).toStdString());
                },
            .chooseSelfTimer =
                [this](int seconds) { calls.push_back("timer " + std::to_string(seconds)); },
            .openEditor = note("openEditor"),
            .showFolder = note("showFolder"),
            .showUpdate = note("showUpdate"),
            .openAbout = note("openAbout"),
            .checkForUpdates = note("checkForUpdates"),
            .writeReview = note("writeReview"),
            .openWelcome = note("openWelcome"),
            .openSettings = note("openSettings"),
            .quit = note("quit"),
        };
    }
};

class StatusMenuTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting("us")); }
    void TearDown() override { platform::KeyboardLayout::useLayoutForTesting({}); }

    app::StatusMenuState stateFromStore() {
        app::StatusMenuState state = app::statusMenuStateFromSettings(preferences);
        state.selfTimerChoices = timerChoices();
        state.reviewTitle = QStringLiteral("Write a Review…");
        return state;
    }

    testsupport::TempDir dir;
    app::Preferences preferences{dir.file(QStringLiteral("VexlinCapture.conf"))};
    QMenu menu;
    Recorder recorder;
};

TEST_F(StatusMenuTest, IdleMenuListsEveryItemWithTheStoredShortcuts) {
    // A user who disabled the area shortcut and moved the window capture to
    // Command-A; the rest keep the shipped map.
    preferences.setShortcut(CaptureAction::area, std::nullopt);
    preferences.setShortcut(CaptureAction::window, app::KeyShortcut{0, 0x100000});
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());

    const std::vector<std::string> expected{
        "performAction:area | Capture Area",
        "performAction:fullscreen | Capture Fullscreen\tAlt+Shift+Super+3",
        "performAction:window | Capture Window\tSuper+A",
        "performAction:scrolling | Scrolling Capture\tAlt+Shift+Super+6",
        "performAction:text | Capture Text (OCR)\tAlt+Shift+Super+2",
        "performAction:record | Record Screen\tAlt+Shift+Super+7",
        "captureAndCopy | Capture && Copy",
        "selfTimer | Self-Timer",
        "-",
        "openEditor | Open Editor",
        "showFolder | Show Screenshots Folder",
        "-",
        "openAbout | About Vexlin Capture…",
        "checkForUpdates | Check for Updates…",
        "writeReview | Write a Review…",
        "openWelcome | Welcome Guide…",
        "-",
        "openSettings | Settings…",
        "-",
        "quit | Quit",
    };
    EXPECT_EQ(lines(menu), expected);

    const QMenu* copy = find(menu, QStringLiteral("captureAndCopy"))->menu();
    const std::vector<std::string> copyItems{
        "performAction:areaCopy | Capture Area && Copy\tCtrl+Alt+Shift+Super+4",
        "performAction:windowCopy | Capture Window && Copy\tCtrl+Alt+Shift+Super+5",
        "performAction:fullscreenCopy | Capture Fullscreen && Copy\tCtrl+Alt+Shift+Super+3",
    };
    EXPECT_EQ(lines(*copy), copyItems);
    // The copy items show the pictures of their plain counterparts.
    EXPECT_EQ(find(menu, QStringLiteral("performAction:areaCopy"))->icon().cacheKey(),
              find(menu, QStringLiteral("performAction:area"))->icon().cacheKey());

    for (const QAction* action : menu.actions()) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    }
    EXPECT_EQ(find(menu, QStringLiteral("openSettings"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(find(menu, QStringLiteral("quit"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(StatusMenuTest, ChangedShortcutShowsTheNextTimeTheMenuIsBuilt) {
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    EXPECT_EQ(find(menu, QStringLiteral("performAction:area"))->text(),
              QStringLiteral("Capture Area\tAlt+Shift+Super+4"));
    preferences.setShortcut(CaptureAction::area, app::KeyShortcut{122, 0x40000}); // ⌃F1
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    EXPECT_EQ(find(menu, QStringLiteral("performAction:area"))->text(),
              QStringLiteral("Capture Area\tCtrl+F1"));
    // Rebuilding leaves exactly one of each submenu behind.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), 2);
}

TEST_F(StatusMenuTest, ShortcutColumnIsTheDisplayTextOfEachStoredShortcut) {
    // The app's own keys, which Qt draws, read the same way as the hot keys.
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    EXPECT_EQ(
        find(menu, QStringLiteral("openSettings"))->shortcut().toString(QKeySequence::NativeText),
        (app::KeyShortcut{43, 0x40000}.displayText()));
    EXPECT_EQ(find(menu, QStringLiteral("quit"))->shortcut().toString(QKeySequence::NativeText),
              (app::KeyShortcut{12, 0x40000}.displayText()));

    // On a French keyboard, with one shortcut of the user's own.
    ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting("fr"));
    preferences.setShortcut(CaptureAction::text, app::KeyShortcut{0, 0x140000});
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    const app::ShortcutMap shortcuts = preferences.shortcuts();
    for (CaptureAction action : app::captureActions::allCases()) {
        const QAction* item = find(menu, QStringLiteral("performAction:") + app::rawValue(action));
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(shortcuts.value(action).has_value());
        EXPECT_EQ(item->text().section(QLatin1Char('\t'), 1),
                  shortcuts.value(action)->displayText())
            << app::rawValue(action).toStdString();
    }
    EXPECT_EQ(find(menu, QStringLiteral("performAction:text"))->text(),
              QStringLiteral("Capture Text (OCR)\tCtrl+Super+Q"));
    EXPECT_EQ(find(menu, QStringLiteral("performAction:area"))->text(),
              QStringLiteral("Capture Area\tAlt+Shift+Super+'"));
}

TEST_F(StatusMenuTest, SelfTimerChecksTheStoredDelayAndStoresTheChoice) {
    preferences.setCaptureTimer(5);
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    const QMenu* timer = find(menu, QStringLiteral("selfTimer"))->menu();
    ASSERT_EQ(timer->actions().size(), 4);
    std::vector<std::string> checked;
    for (const QAction* action : timer->actions()) {
        if (action->isChecked()) {
            checked.push_back(action->text().toStdString());
        }
    }
    EXPECT_EQ(checked, std::vector<std::string>{"5 seconds"});
    find(menu, QStringLiteral("chooseSelfTimer:0"))->trigger();
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"timer 0"});
}

TEST_F(StatusMenuTest, UpdateItemStandsAboveAboutOnlyWhileAnUpdateIsAnnounced) {
    app::StatusMenuState state = stateFromStore();
    app::buildStatusMenu(&menu, state, recorder.commands());
    EXPECT_EQ(find(menu, QStringLiteral("showUpdate")), nullptr);

    state.availableUpdateVersion = QStringLiteral("2.4");
    app::buildStatusMenu(&menu, state, recorder.commands());
    const QList<QAction*> items = menu.actions();
    const QAction* update = find(menu, QStringLiteral("showUpdate"));
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->text(), QStringLiteral("Update Available: Vexlin Capture 2.4…"));
    const qsizetype at = items.indexOf(update);
    EXPECT_EQ(items.at(at + 1)->objectName(), QStringLiteral("openAbout"));
    EXPECT_TRUE(items.at(at - 1)->isSeparator());
}

TEST_F(StatusMenuTest, ReviewItemIsTheOnlyOneDisabledAfterAReviewWasSent) {
    app::StatusMenuState state = stateFromStore();
    state.reviewTitle = QStringLiteral("Review Sent");
    state.reviewEnabled = false;
    app::buildStatusMenu(&menu, state, recorder.commands());
    for (const QAction* action : menu.actions()) {
        const bool review = action->objectName() == QStringLiteral("writeReview");
        EXPECT_EQ(action->isEnabled(), !review) << action->objectName().toStdString();
    }
    EXPECT_EQ(find(menu, QStringLiteral("writeReview"))->text(), QStringLiteral("Review Sent"));
}

TEST_F(StatusMenuTest, ItemsWithoutATargetYetArePresentButDisabled) {
    app::StatusMenuCommands commands = recorder.commands();
    commands.openEditor = {};
    commands.showFolder = {};
    app::buildStatusMenu(&menu, stateFromStore(), commands);
    for (const char* name : {"openEditor", "showFolder"}) {
        const QAction* item = find(menu, QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        EXPECT_FALSE(item->isEnabled()) << name;
    }
    EXPECT_TRUE(find(menu, QStringLiteral("openSettings"))->isEnabled());
}

TEST_F(StatusMenuTest, CaptureItemsRunTheActionTheirDataNames) {
    app::buildStatusMenu(&menu, stateFromStore(), recorder.commands());
    find(menu, QStringLiteral("performAction:windowCopy"))->trigger();
    QAction* area = find(menu, QStringLiteral("performAction:area"));
    for (const QVariant& bogus : {QVariant(QStringLiteral("Area")),
                                  QVariant(QStringLiteral("area ")), QVariant(3), QVariant()}) {
        area->setData(bogus);
        area->trigger();
    }
    find(menu, QStringLiteral("openSettings"))->trigger();
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"perform windowCopy", "openSettings"}));
}

TEST(StatusBarController, RecordingTurnsTheIconIntoAStopButtonAndBack) {
    int performed = 0;
    app::StatusBarController controller([&](CaptureAction) { ++performed; });
    QSystemTrayIcon* tray = controller.trayIcon();
    EXPECT_EQ(tray->contextMenu(), controller.menu());

    // Without a stop callback the stop button does nothing.
    controller.setRecording(QStringLiteral("0:01"));
    controller.click();

    int stops = 0;
    controller.setOnStopRecording([&] { ++stops; });
    controller.setRecording(QStringLiteral("0:05"));
    EXPECT_TRUE(controller.isShowingRecording());
    EXPECT_EQ(tray->contextMenu(), nullptr);
    EXPECT_TRUE(tray->toolTip().contains(QStringLiteral("Stop Recording")));
    EXPECT_TRUE(tray->toolTip().contains(QStringLiteral("0:05")));
    controller.click();
    EXPECT_EQ(stops, 1);

    controller.setRecording(std::nullopt);
    EXPECT_FALSE(controller.isShowingRecording());
    EXPECT_EQ(tray->contextMenu(), controller.menu());
    EXPECT_FALSE(tray->toolTip().contains(QStringLiteral("0:05")));
    controller.setRecording(std::nullopt);
    EXPECT_EQ(tray->contextMenu(), controller.menu());
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(performed, 0);
}

} // namespace

// The welcome window: its shortcut summary, and that closing it, however it
// is closed, completes onboarding.
#include "settings/WelcomeWindowController.h"

#include "app/Preferences.h"
#include "platform/KeyboardLayout.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using app::CaptureAction;
using app::KeyShortcut;

class WelcomeWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting(QStringLiteral("us")));
    }
    void TearDown() override { platform::KeyboardLayout::useLayoutForTesting({}); }
    testsupport::TempDir dir;
};

TEST_F(WelcomeWindowTest, SummaryListsThePlainActionsInMenuOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<CaptureAction, KeyShortcut>> shortcuts;
        QString summary;
    };
    const Case cases[] = {
        {"record and area, the area line first",
         {{CaptureAction::record, {23, 0x1E0000}}, {CaptureAction::area, {21, 0x1A0000}}},
         "Alt+Shift+Super+4  Capture Area\nCtrl+Alt+Shift+Super+5  Record Screen"},
        {"fullscreen before window, a function key alone",
         {{CaptureAction::window, {96, 0}}, {CaptureAction::fullscreen, {20, 0x140000}}},
         "Ctrl+Super+3  Capture Fullscreen\nF5  Capture Window"},
        {"the copies are left out",
         {{CaptureAction::areaCopy, {21, 0x1E0000}}, {CaptureAction::text, {0, 0x100000}}},
         "Super+A  Capture Text (OCR)"},
        {"no shortcuts", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app::ShortcutMap map;
        for (const auto& [action, shortcut] : c.shortcuts) {
            map.set(action, shortcut);
        }
        EXPECT_EQ(settings::shortcutSummary(map), c.summary);
    }
}

TEST_F(WelcomeWindowTest, ClosingCompletesOnboardingAndTheSummaryFollowsTheStore) {
    const QString file = dir.file(QStringLiteral("Vexlin.conf"));
    app::Preferences preferences(file);
    ASSERT_FALSE(preferences.hasCompletedOnboarding());
    auto* window = new settings::WelcomeWindow(preferences, {});
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->showAndRaise();
    EXPECT_EQ(window->shortcutText().count(QLatin1Char('\n')), 5);
    preferences.setShortcut(CaptureAction::area, std::nullopt);
    EXPECT_TRUE(window->shortcutText().startsWith("Alt+Shift+Super+3  Capture Fullscreen\n"));
    // Without launch at login the switch is left out.
    EXPECT_EQ(window->launchAtLoginSwitch(), nullptr);

    const QPointer<settings::WelcomeWindow> alive(window);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_TRUE(preferences.hasCompletedOnboarding());
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("hasCompletedOnboarding").toBool(), true);
}

TEST_F(WelcomeWindowTest, AFailedLaunchAtLoginChangeIsTriedOnceAndShowsTheRealState) {
    app::Preferences preferences(dir.file(QStringLiteral("Vexlin.conf")));
    bool enabled = false;
    std::vector<bool> requests;
    // The change fails: the state stays off.
    settings::WelcomeWindow window(
        preferences, {[&] { return enabled; }, [&](bool on) { requests.push_back(on); }});
    window.show();
    QCheckBox* toggle = window.launchAtLoginSwitch();
    ASSERT_NE(toggle, nullptr);
    EXPECT_FALSE(toggle->isChecked());

    QTest::mouseClick(toggle, Qt::LeftButton, {}, toggle->rect().center());
    EXPECT_EQ(requests, std::vector<bool>{true});
    EXPECT_FALSE(toggle->isChecked());

    // One that works shows on.
    requests.clear();
    settings::WelcomeWindow working(
        preferences,
        {[&] { return enabled; }, [&](bool on) { enabled = on, requests.push_back(on); }});
    working.show();
    QTest::mouseClick(working.launchAtLoginSwitch(), Qt::LeftButton, {},
                      working.launchAtLoginSwitch()->rect().center());
    EXPECT_EQ(requests, std::vector<bool>{true});
    EXPECT_TRUE(working.launchAtLoginSwitch()->isChecked());
}

} // namespace

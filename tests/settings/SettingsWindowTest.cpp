#include "settings/SettingsPermissions.h"
#include "settings/SettingsWindowController.h"

#include "SettingsFixture.h"
#include "app/AppPresence.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using settings::SettingsSection;
using settings::SettingsWindowController;
using testsupport::pump;
using testsupport::waitFor;

// Each test runs in a process of its own, so the one window starts afresh.
settingstest::FakeProbe& fakeProbe() {
    static settingstest::FakeProbe probe;
    SettingsWindowController::setPermissionProbe(&probe);
    return probe;
}

int settingsWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += widget->objectName() == QLatin1String("settingsWindow") ? 1 : 0;
    }
    return count;
}

TEST(SettingsWindow, ShowingTwiceKeepsOneWindowTitledAfterTheSectionAndCountedOnce) {
    fakeProbe();
    SettingsWindowController::show(SettingsSection::shortcuts);
    SettingsWindowController::show(SettingsSection::shortcuts);
    EXPECT_EQ(settingsWindowCount(), 1);
    QWidget* window = SettingsWindowController::window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Shortcuts"));
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 1);

    // Picking a section in the sidebar retitles; showing on another too.
    window->findChild<QListWidget*>(QStringLiteral("sidebar"))->setCurrentRow(4);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Recording"));
    EXPECT_EQ(SettingsWindowController::section(), SettingsSection::recording);
    SettingsWindowController::show(SettingsSection::general);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("General"));

    // Clearing the sidebar's selection keeps the section.
    window->findChild<QListWidget*>(QStringLiteral("sidebar"))->setCurrentRow(-1);
    EXPECT_EQ(SettingsWindowController::section(), SettingsSection::general);

    const int width = SettingsWindowController::sidebarWidth() + 636;
    EXPECT_EQ(window->minimumWidth(), width);
    EXPECT_EQ(window->minimumWidth(), window->maximumWidth());
    EXPECT_EQ(window->minimumHeight(), 420);
    EXPECT_EQ(window->maximumHeight(), 2000);
    window->close();
}

TEST(SettingsWindow, AMinimisedWindowShownAgainCountsOnceAndClosingEndsIt) {
    fakeProbe();
    SettingsWindowController::show(SettingsSection::about);
    QWidget* window = SettingsWindowController::window();
    window->showMinimized();
    pump(50);
    SettingsWindowController::show(SettingsSection::general);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 1);
    window->hide();
    SettingsWindowController::show(SettingsSection::general);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 1);
    window->close();
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 0);
    EXPECT_FALSE(SettingsWindowController::permissions()->isPolling());
    SettingsWindowController::show(SettingsSection::general);
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 1);
    EXPECT_TRUE(SettingsWindowController::permissions()->isPolling());
    window->close();
}

TEST(SettingsWindow, TheDotBesidePermissionsFollowsScreenCapture) {
    settingstest::FakeProbe& probe = fakeProbe();
    SettingsWindowController::show(SettingsSection::permissions);
    auto* dot =
        SettingsWindowController::window()->findChild<QLabel*>(QStringLiteral("attentionDot"));
    ASSERT_NE(dot, nullptr);
    EXPECT_TRUE(dot->isVisible());
    probe.granted.insert(platform::Permission::screenRecording);
    SettingsWindowController::permissions()->update();
    EXPECT_FALSE(dot->isVisible());
    SettingsWindowController::window()->close();
}

// On the rig's X server with its window manager: the user cannot change the
// width, and the height stays within its bounds.
// Whether the window manager holds the window with this id as the active one
// (_NET_ACTIVE_WINDOW, as xdotool reads it).
bool managerActive(const QString& id) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    return process.waitForFinished(2000) && process.exitCode() == 0 &&
           QString::fromLatin1(process.readAllStandardOutput()).trimmed() == id;
}

TEST(SettingsWindowOnX11, OnlyTheHeightCanBeResizedWithinItsBounds) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "needs an X server and xdotool";
    }
    SettingsWindowController::show(SettingsSection::shortcuts);
    SettingsWindowController::show(SettingsSection::shortcuts);
    QWidget* window = SettingsWindowController::window();
    const QString id = QString::number(window->winId());
    ASSERT_TRUE(waitFor(5000, [&] {
        return window->isVisible() && window->isActiveWindow() && managerActive(id);
    }));
    const int width = window->width();
    struct Case {
        int width;
        int height;
        int expectedHeight;
    };
    const Case cases[] = {{width + 300, 700, 700}, {width - 200, 300, 420}, {400, 2500, 2000}};
    for (const Case& c : cases) {
        testsupport::xdotool({QStringLiteral("windowsize"), id, QString::number(c.width),
                              QString::number(c.height)});
        // A busy machine may take its time; the wait ends as soon as the
        // window has its height.
        waitFor(5000, [&] { return window->height() == c.expectedHeight; });
        EXPECT_EQ(window->width(), width) << c.width << "x" << c.height;
        EXPECT_EQ(window->height(), c.expectedHeight) << c.width << "x" << c.height;
    }
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Shortcuts"));
    EXPECT_EQ(settingsWindowCount(), 1);

    // Minimised, then shown on General: counted once; closed: not at all.
    window->showMinimized();
    ASSERT_TRUE(waitFor(5000, [&] { return window->isMinimized() && !window->isActiveWindow(); }));
    SettingsWindowController::show(SettingsSection::general);
    ASSERT_TRUE(waitFor(5000, [&] { return window->isVisible() && !window->isMinimized(); }));
    EXPECT_EQ(app::AppPresence::shared().openAppWindowCount(), 1);
    // Closed through the window manager, as a person closes it: Alt+F4 goes
    // to the window the manager has made active, so it is sent only once the
    // manager says ours is, not when Qt alone thinks so.
    ASSERT_TRUE(waitFor(5000, [&] { return window->isActiveWindow() && managerActive(id); }));
    testsupport::xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
    ASSERT_TRUE(waitFor(5000,
                        [&] {
                            return !window->isVisible() &&
                                   app::AppPresence::shared().openAppWindowCount() == 0;
                        }))
        << "still open: " << window->isVisible() << ", counted "
        << app::AppPresence::shared().openAppWindowCount();
}

// Pictures of every pane for a person to look at; runs only when asked.
TEST(SettingsPictures, EveryPane) {
    const QString folder = qEnvironmentVariable("VEXLIN_SETTINGS_PICTURES");
    if (folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "set VEXLIN_SETTINGS_PICTURES and run on the rig";
    }
    const char* names[] = {"general",   "screenshots",        "shortcuts",   "quick-access",
                           "recording", "recording-overlays", "permissions", "about"};
    const int scale = qRound(QGuiApplication::primaryScreen()->devicePixelRatio());
    for (int i = 0; i < 8; ++i) {
        SettingsWindowController::show(static_cast<SettingsSection>(i));
        QWidget* window = SettingsWindowController::window();
        window->resize(window->width(), 1000 / scale);
        pump(400);
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window->winId());
        picture.save(QStringLiteral("%1/settings-%2@%3x.png")
                         .arg(folder, QLatin1String(names[i]))
                         .arg(scale));
        // The General pane is longer than the window: its end too.
        if (auto* pane = window->findChild<QScrollArea*>(QStringLiteral("generalPane"));
            pane != nullptr && pane->isVisible()) {
            for (int turn = 0; turn < 2; ++turn) {
                // Once more after the first scroll has been laid out.
                pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
                pump(300);
            }
            QGuiApplication::primaryScreen()
                ->grabWindow(window->winId())
                .save(QStringLiteral("%1/settings-general-end@%2x.png").arg(folder).arg(scale));
        }
    }
}

} // namespace

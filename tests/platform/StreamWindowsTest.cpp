// Which windows a recording leaves out, or shows when it records one window.
#include "platform/StreamWindows.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

constexpr std::int32_t kOwnPid = 4242;

StreamWindow window(std::uint32_t topLevel, std::uint32_t client, const char* appClass,
                    std::optional<std::int32_t> pid, QStringList types = {}) {
    return {topLevel, client, QString::fromLatin1(appClass), types, pid};
}

TEST(WindowsLeftOut, HiddenAppsNotificationsAndOurPanels) {
    const QString notification = QStringLiteral("_NET_WM_WINDOW_TYPE_NOTIFICATION");
    const WindowsLeftOut leftOut{{QStringLiteral("Redwin"), notificationAppId()}, kOwnPid, {77}};
    const WindowsLeftOut nothingHidden{{}, kOwnPid, {}};
    struct Case {
        const char* name;
        const WindowsLeftOut& rule;
        StreamWindow window;
        bool out;
    };
    const Case cases[] = {
        {"a hidden app, by its client in a frame", leftOut, window(10, 11, "Redwin", 99), true},
        {"class names match exactly", leftOut, window(10, 11, "redwin", 99), false},
        {"another app", leftOut, window(10, 11, "Bluewin", 99), false},
        {"a window without a class", leftOut, window(10, 10, "", std::nullopt), false},
        {"a notification, whoever shows it", leftOut, window(10, 10, "Dunst", 99, {notification}),
         true},
        {"notifications shown", nothingHidden, window(10, 10, "Dunst", 99, {notification}), false},
        {"our panel", nothingHidden, window(20, 20, "vexlin-capture", kOwnPid), true},
        {"our kept window, by its client", leftOut, window(21, 77, "vexlin-capture", kOwnPid),
         false},
        {"our kept window, by its top level", leftOut, window(77, 78, "", kOwnPid), false},
        {"a window that names no process", nothingHidden, window(30, 30, "x", std::nullopt), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rule.leavesOut(c.window), c.out) << c.name;
    }
    // A process id of 0 is nobody's: an unknown own id leaves nothing out.
    EXPECT_FALSE(WindowsLeftOut({}, 0, {}).leavesOut(window(1, 1, "x", 0)));
}

TEST(WindowsShown, TheWindowAndThoseAlongsideOnly) {
    const WindowsShown shown{11, {50}};
    struct Case {
        const char* name;
        StreamWindow window;
        bool shows;
    };
    const Case cases[] = {
        {"the window, by its client in a frame", window(10, 11, "Target", 1), true},
        {"the window unframed", window(11, 11, "Target", 1), true},
        {"our overlay alongside", window(50, 50, "", kOwnPid), true},
        {"a window in front of it", window(12, 13, "Cover", 1), false},
        {"another of the same app", window(14, 15, "Target", 1), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shown.shows(c.window), c.shows) << c.name;
    }
}

} // namespace
} // namespace platform

#include "platform/KeyboardLayout.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <xcb/xcb.h>
// xkb.h names a field "explicit"; rename it while the header is read.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

namespace {

using platform::KeyboardLayout;

// X key codes (evdev + 8) of a few keys.
constexpr std::uint8_t kKeyA = 38;      // "a" on US, "q" on French
constexpr std::uint8_t kKey2 = 11;      // "2" on US, "é" on French
constexpr std::uint8_t kLeftBrace = 34; // "[" on US, dead circumflex on French
constexpr std::uint8_t kKeypad1 = 87;
constexpr std::uint8_t kKeypadEnter = 104;
constexpr std::uint8_t kEscape = 9;
constexpr std::uint8_t kSuper = 133;

class KeyboardLayoutTest : public testing::Test {
protected:
    void TearDown() override { KeyboardLayout::useLayoutForTesting({}); }
};

TEST_F(KeyboardLayoutTest, GivesTheUnshiftedCharacterOfTheLayout) {
    struct Case {
        const char* layout;
        std::uint8_t key;
        QString expected;
    };
    const Case cases[] = {
        {"us", kKeyA, "a"},    {"fr", kKeyA, "q"},      {"us", kKey2, "2"},
        {"fr", kKey2, "é"},    {"us", kLeftBrace, "["}, {"fr", kLeftBrace, "^"},
        {"us", kKeypad1, "1"}, {"fr", kKeypad1, "1"},   {"us", kKeypadEnter, ""},
        {"us", kEscape, ""},   {"us", kSuper, ""},      {"us", 0, ""},
        {"us", 255, ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(KeyboardLayout::useLayoutForTesting(c.layout));
        EXPECT_EQ(KeyboardLayout::character(c.key), c.expected)
            << c.layout << " key " << int(c.key);
    }
}

TEST_F(KeyboardLayoutTest, VariantsAndUnknownLayouts) {
    // German without dead keys prints the circumflex key's own character.
    ASSERT_TRUE(KeyboardLayout::useLayoutForTesting("de", "nodeadkeys"));
    EXPECT_EQ(KeyboardLayout::character(49), "^");
    EXPECT_EQ(KeyboardLayout::character(29), "z");

    EXPECT_FALSE(KeyboardLayout::useLayoutForTesting("no-such-layout"));
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "");
}

TEST_F(KeyboardLayoutTest, WithoutAnXServerUsesTheSystemDefaultLayout) {
    if (QGuiApplication::platformName() == "xcb") {
        GTEST_SKIP() << "the live layout is the X server's here";
    }
    qputenv("XKB_DEFAULT_LAYOUT", "fr");
    KeyboardLayout::useLayoutForTesting({});
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "q");
    qunsetenv("XKB_DEFAULT_LAYOUT");
    KeyboardLayout::useLayoutForTesting({});
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "a");
}

// The character of the A key once it is `expected`, or after 5 s what it is
// then: the layout follows the server's change when its event arrives.
QString waitForKeyA(const QString& expected) {
    QElapsedTimer timer;
    timer.start();
    while (KeyboardLayout::character(kKeyA) != expected && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return KeyboardLayout::character(kKeyA);
}

// Runs only on a real X server (the x11 rig): follows the server's keymap as
// setxkbmap changes it.
TEST(KeyboardLayoutOnX11, FollowsTheServerLayout) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    const auto setLayout = [](const char* layout) {
        ASSERT_EQ(QProcess::execute("setxkbmap", {"-layout", layout}), 0);
    };
    setLayout("us");
    EXPECT_EQ(waitForKeyA("a"), "a");
    setLayout("fr");
    EXPECT_EQ(waitForKeyA("q"), "q");
    EXPECT_EQ(KeyboardLayout::character(kKey2), "é");

    // A fixed layout wins over the server's until it is cleared.
    KeyboardLayout::useLayoutForTesting("us");
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "a");
    KeyboardLayout::useLayoutForTesting({});
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "q");
    setLayout("us");
    EXPECT_EQ(waitForKeyA("a"), "a");
}

// Locks the core keyboard to a group, as a layout switcher would.
bool lockGroup(std::uint8_t group) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    free(xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
    const xcb_void_cookie_t cookie = xcb_xkb_latch_lock_state_checked(
        connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, true, group, 0, false, 0);
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    free(error);
    xcb_disconnect(connection);
    return error == nullptr;
}

TEST(KeyboardLayoutOnX11, FollowsTheActiveGroup) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    ASSERT_EQ(QProcess::execute("setxkbmap", {"-layout", "fr,us"}), 0);
    EXPECT_EQ(waitForKeyA("q"), "q");
    ASSERT_TRUE(lockGroup(1));
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "a");
    EXPECT_EQ(KeyboardLayout::character(kKey2), "2");
    ASSERT_TRUE(lockGroup(0));
    EXPECT_EQ(KeyboardLayout::character(kKeyA), "q");
    QProcess::execute("setxkbmap", {"-layout", "us"});
}

} // namespace

#include "app/KeyShortcut.h"
#include "app/StatusMenu.h"

#include "platform/KeyboardLayout.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QTranslator>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using app::KeyShortcut;

class KeyShortcutDisplay : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting("us")); }
    void TearDown() override { platform::KeyboardLayout::useLayoutForTesting({}); }
};

TEST_F(KeyShortcutDisplay, ModifiersAreNamedAsPcKeysInFixedOrder) {
    EXPECT_EQ(KeyShortcut::modifierSymbols(0x1E0000), "Ctrl+Alt+Shift+Super+");
    EXPECT_EQ(KeyShortcut::modifierSymbols(0x1A0000), "Alt+Shift+Super+");
    EXPECT_EQ(KeyShortcut::modifierSymbols(0x40000 | 0x100000), "Ctrl+Super+");
    EXPECT_EQ(KeyShortcut::modifierSymbols(0), "");
    EXPECT_EQ(KeyShortcut::modifierSymbols(0x10000), ""); // Caps Lock alone
    EXPECT_EQ(KeyShortcut::modifierSymbols(0x800000 | 0x200000 | 0xFFFF), "");
}

TEST_F(KeyShortcutDisplay, KeysShowByNameOrLayoutCharacter) {
    struct Case {
        std::uint32_t keyCode;
        QString display;
        QString keyName;
    };
    const Case cases[] = {
        {0, "A", "a"},
        {21, "4", "4"},
        {50, "`", "`"},
        {83, "Keypad 1", "keypad 1"},
        {69, "Keypad +", "keypad +"},
        {76, "Keypad Enter", "keypad enter"},
        {105, "Print", "print"}, // on the place of F13
        {107, "Scroll Lock", "scroll lock"},
        {113, "Pause", "pause"},
        {114, "Insert", "insert"},
        {110, "Menu", "menu"},
        {36, "↩", QString(QChar(0x0D))},    // Return
        {48, "⇥", QString(QChar(0x09))},    // Tab
        {49, "Space", " "},                 // a blank as menu key equivalent
        {51, "⌫", QString(QChar(0x08))},    // Delete
        {53, "⎋", "⎋"},                     // Escape: no key-equivalent entry
        {117, "⌦", QString(QChar(0xF728))}, // Forward Delete
        {123, "←", QString(QChar(0xF702))},
        {126, "↑", QString(QChar(0xF700))},
        {115, "↖", "↖"}, // Home
        {121, "⇟", "⇟"}, // Page Down
        {122, "F1", QString(QChar(0xF704))},
        {111, "F12", QString(QChar(0xF70F))},
        {90, "F20", "f20"},
        {55, "#55", "#55"},          // Command prints nothing
        {52, "#52", "#52"},          // no key has this code
        {70000, "#70000", "#70000"}, // beyond 16-bit key codes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyShortcut::displayKey(c.keyCode), c.display) << c.keyCode;
        EXPECT_EQ(KeyShortcut::keyName(c.keyCode), c.keyName) << c.keyCode;
    }
}

TEST_F(KeyShortcutDisplay, FollowsTheKeyboardLayout) {
    ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting("fr"));
    EXPECT_EQ(KeyShortcut::layoutCharacter(0), "q");
    EXPECT_EQ(KeyShortcut::displayKey(0), "Q");
    EXPECT_EQ(KeyShortcut::keyName(0), "q");
    EXPECT_EQ(KeyShortcut::displayKey(19), "É"); // the "2" key
    EXPECT_EQ(KeyShortcut::displayKey(33), "^"); // dead circumflex
    EXPECT_EQ(KeyShortcut::layoutCharacter(55), std::nullopt);
    EXPECT_EQ(KeyShortcut::layoutCharacter(70000), std::nullopt);
}

TEST_F(KeyShortcutDisplay, ShortcutTextIsModifierNamesThenKeyJoinedByPlus) {
    struct Case {
        const char* layout;
        KeyShortcut shortcut;
        QString text;
    };
    const Case cases[] = {
        {"us", {21, 0x1E0000}, "Ctrl+Alt+Shift+Super+4"},
        {"us", {21, 0x1A0000}, "Alt+Shift+Super+4"}, // the area capture's default
        {"us", {23, 0x120000}, "Shift+Super+5"},
        {"us", {96, 0}, "F5"},
        {"us", {96, 0x80000}, "Alt+F5"},
        {"us", {105, 0}, "Print"},
        {"us", {105, 0x20000}, "Shift+Print"},
        {"us", {105, 0x40000}, "Ctrl+Print"},
        {"us", {92, 0x40000}, "Ctrl+Keypad 9"},
        {"us", {36, 0x40000}, "Ctrl+↩"}, // Return keeps its name
        {"us", {123, 0x100000}, "Super+←"},
        {"us", {49, 0x40000 | 0x10000}, "Ctrl+Space"}, // Caps Lock adds nothing
        {"us", {0, 0x40000}, "Ctrl+A"},
        {"us", {52, 0x100000}, "Super+#52"},
        // The key's character comes from the layout in use.
        {"fr", {0, 0x40000}, "Ctrl+Q"},
        {"fr", {19, 0x1A0000}, "Alt+Shift+Super+É"},
        {"fr", {21, 0x120000}, "Shift+Super+'"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting(c.layout));
        EXPECT_EQ(c.shortcut.displayText(), c.text) << c.layout << " " << c.shortcut.keyCode;
    }
}

TEST_F(KeyShortcutDisplay, KeySequenceForMenus) {
    EXPECT_EQ((KeyShortcut{21, 0x1A0000}.keySequence()),
              QKeySequence(Qt::SHIFT | Qt::ALT | Qt::META | Qt::Key_4));
    EXPECT_EQ((KeyShortcut{53, 0x40000}.keySequence()), QKeySequence(Qt::CTRL | Qt::Key_Escape));
    EXPECT_EQ((KeyShortcut{90, 0}.keySequence()), QKeySequence(Qt::Key_F20));
    EXPECT_EQ((KeyShortcut{49, 0x80000 | 0x10000}.keySequence()),
              QKeySequence(Qt::ALT | Qt::Key_Space));
    EXPECT_EQ((KeyShortcut{105, 0x20000}.keySequence()), QKeySequence(Qt::SHIFT | Qt::Key_Print));
    EXPECT_EQ((KeyShortcut{113, 0}.keySequence()), QKeySequence(Qt::Key_Pause));
    EXPECT_EQ((KeyShortcut{83, 0x40000}.keySequence()),
              QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_1)));
    EXPECT_TRUE((KeyShortcut{52, 0x100000}.keySequence().isEmpty()));
    EXPECT_TRUE((KeyShortcut{55, 0x100000}.keySequence().isEmpty()));

    ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting("fr"));
    EXPECT_EQ((KeyShortcut{0, 0x100000}.keySequence()), QKeySequence(Qt::META | Qt::Key_Q));
    EXPECT_EQ((KeyShortcut{19, 0x100000}.keySequence()), QKeySequence(Qt::META | Qt::Key_Eacute));
}

// Runs only on a real X server (the x11 rig): the texts follow the layout set
// with setxkbmap, in the tray menu as everywhere else.
TEST(KeyShortcutDisplayOnX11, FollowsSetxkbmap) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    const KeyShortcut area{21, 0x1A0000};
    const KeyShortcut custom{0, 0x40000};
    const auto textsOnceKeyAIs = [&](const char* layout, const QString& keyA) {
        EXPECT_EQ(QProcess::execute("setxkbmap", {"-layout", layout}), 0);
        // The layout follows the server's change when its event arrives.
        QElapsedTimer timer;
        timer.start();
        while (KeyShortcut::displayKey(0) != keyA && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        app::StatusMenuState state;
        state.shortcutTexts[app::CaptureAction::area] = area.displayText();
        state.shortcutTexts[app::CaptureAction::window] = custom.displayText();
        QMenu menu;
        app::buildStatusMenu(&menu, state, {});
        return std::vector<QString>{area.displayText(), custom.displayText(),
                                    menu.actions().at(0)->text(), menu.actions().at(2)->text()};
    };
    EXPECT_EQ(textsOnceKeyAIs("fr", "Q"),
              (std::vector<QString>{"Alt+Shift+Super+'", "Ctrl+Q",
                                    "Capture Area\tAlt+Shift+Super+'", "Capture Window\tCtrl+Q"}));
    EXPECT_EQ(textsOnceKeyAIs("us", "A"),
              (std::vector<QString>{"Alt+Shift+Super+4", "Ctrl+A",
                                    "Capture Area\tAlt+Shift+Super+4", "Capture Window\tCtrl+A"}));
}

TEST(KeyShortcutTables, HoldTheFixedEntries) {
    EXPECT_EQ(KeyShortcut::displayNames().size(), 54);
    EXPECT_EQ(KeyShortcut::keyEquivalents().size(), 21);
    EXPECT_EQ(KeyShortcut::functionKeyCodes(),
              (QSet<std::uint32_t>{122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                   103, 111, 105, 107, 113, 106, 64, 79,  80,  90}));
    for (const std::uint32_t code : KeyShortcut::functionKeyCodes()) {
        const QString name = KeyShortcut::displayNames().value(code);
        EXPECT_TRUE(name.startsWith('F') || name == "Print" || name == "Scroll Lock" ||
                    name == "Pause")
            << code;
    }
    for (const std::uint32_t code : {105u, 107u, 113u, 106u, 64u, 79u, 80u, 90u, 53u}) {
        EXPECT_FALSE(KeyShortcut::keyEquivalents().contains(code)) << code;
    }
    EXPECT_FALSE(KeyShortcut::functionKeyCodes().contains(53));
}

// The names are built once, with the language in force then; a fresh process
// shows the space bar's name in the user's language.
class FrenchTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        return QByteArray(context) == "KeyShortcut" && QByteArray(source) == "Space"
                   ? QStringLiteral("Espace")
                   : QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(KeyShortcutTablesDeathTest, SpaceIsLocalized) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FrenchTranslator translator;
            QCoreApplication::installTranslator(&translator);
            std::exit(KeyShortcut::displayKey(49) == "Espace" ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace

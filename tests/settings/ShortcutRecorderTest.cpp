// The shortcut recorder: its key rules, what it swallows while it listens,
// and how the global hot keys stand aside and come back.
#include "settings/ShortcutRecorder.h"

#include "ShortcutFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <variant>

namespace {

using app::CaptureAction;
using app::KeyShortcut;
using testsupport::x::alt;
using testsupport::x::control;
using testsupport::x::lock;
using testsupport::x::numLock;
using testsupport::x::shift;
using testsupport::x::super;
namespace key = testsupport::x;

// A press as the X server reports it; the Qt key only tells modifiers apart.
void press(QWidget* target, quint8 xKeyCode, quint16 xState, int qtKey = Qt::Key_unknown) {
    QKeyEvent event(QEvent::KeyPress, qtKey, Qt::NoModifier, xKeyCode, 0, xState);
    QApplication::sendEvent(target, &event);
}

class ShortcutRecorderTest : public testsupport::ShortcutFixture {
protected:
    void SetUp() override {
        ShortcutFixture::SetUp();
        window = std::make_unique<QWidget>();
        auto* column = new QVBoxLayout(window.get());
        recorder = new settings::ShortcutRecorder(*preferences, *hotKeys, window.get());
        second = new settings::ShortcutRecorder(*preferences, *hotKeys, window.get());
        column->addWidget(recorder);
        column->addWidget(second);
        // Bound as the pane binds them: the area's and the window's entries.
        bind(recorder, CaptureAction::area);
        bind(second, CaptureAction::window);
        window->show();
    }
    void TearDown() override {
        window.reset();
        ShortcutFixture::TearDown();
    }

    void bind(settings::ShortcutRecorder* control, CaptureAction action) {
        control->setShortcut(preferences->shortcuts().value(action));
        QObject::connect(control, &settings::ShortcutRecorder::shortcutEdited, control,
                         [this, control, action](std::optional<KeyShortcut> shortcut) {
                             preferences->setShortcut(action, shortcut);
                             control->setShortcut(shortcut);
                         });
    }
    void click(settings::ShortcutRecorder* control) {
        QTest::mouseClick(control->field(), Qt::LeftButton);
    }

    std::unique_ptr<QWidget> window;
    settings::ShortcutRecorder* recorder = nullptr;
    settings::ShortcutRecorder* second = nullptr;
};

struct Recorded {
    KeyShortcut shortcut;
};
struct Cleared {};
struct Cancelled {};
struct Refused {};
// A modifier pressed alone: nothing happens, listening goes on.
struct Waits {};
using Outcome = std::variant<Recorded, Cleared, Cancelled, Refused, Waits>;

TEST_F(ShortcutRecorderTest, KeyRules) {
    const KeyShortcut before{21, 0x1A0000};
    struct Case {
        const char* name;
        quint8 keyCode;
        quint16 state;
        int qtKey;
        Outcome outcome;
    };
    const Case cases[] = {
        {"Ctrl+Shift+4", key::digit4, control | shift, Qt::Key_Dollar, Recorded{{21, 0x060000}}},
        {"Shift+Super+4", key::digit4, shift | super, Qt::Key_Dollar, Recorded{{21, 0x120000}}},
        {"Ctrl+Alt+Shift+Super+4", key::digit4, control | alt | shift | super, Qt::Key_Dollar,
         Recorded{{21, 0x1E0000}}},
        {"F5 alone", key::f5, 0, Qt::Key_F5, Recorded{{96, 0}}},
        {"F5 with Num Lock and Caps Lock on", key::f5, numLock | lock, Qt::Key_F5,
         Recorded{{96, 0}}},
        {"Print alone", key::print, 0, Qt::Key_Print, Recorded{{105, 0}}},
        {"Shift+Print", key::print, shift, Qt::Key_Print, Recorded{{105, 0x020000}}},
        {"Ctrl+Print", key::print, control, Qt::Key_Print, Recorded{{105, 0x040000}}},
        {"Scroll Lock alone", key::scrollLock, 0, Qt::Key_ScrollLock, Recorded{{107, 0}}},
        {"Pause alone", key::pause, 0, Qt::Key_Pause, Recorded{{113, 0}}},
        {"Ctrl+Keypad 1", key::keypad1, control, Qt::Key_1, Recorded{{83, 0x040000}}},
        {"Keypad 1 alone", key::keypad1, 0, Qt::Key_1, Refused{}},
        {"Ctrl+A", key::letterA, control, Qt::Key_A, Recorded{{0, 0x040000}}},
        {"A alone", key::letterA, 0, Qt::Key_A, Refused{}},
        {"Shift+A", key::letterA, shift, Qt::Key_A, Refused{}},
        {"Caps Lock A", key::letterA, lock, Qt::Key_A, Refused{}},
        {"Ctrl on a key the stored codes lack", key::noStoredCode, control, Qt::Key_unknown,
         Refused{}},
        {"Backspace alone", key::backspace, 0, Qt::Key_Backspace, Cleared{}},
        {"Delete alone", key::del, 0, Qt::Key_Delete, Cleared{}},
        {"Backspace with Num Lock on", key::backspace, numLock, Qt::Key_Backspace, Cleared{}},
        {"Ctrl+Backspace", key::backspace, control, Qt::Key_Backspace, Recorded{{51, 0x040000}}},
        {"Escape alone", key::escape, 0, Qt::Key_Escape, Cancelled{}},
        {"Alt+Escape", key::escape, alt, Qt::Key_Escape, Recorded{{53, 0x080000}}},
        {"Shift+Escape", key::escape, shift, Qt::Key_Escape, Refused{}},
        {"the Ctrl key on its own", key::controlLeft, 0, Qt::Key_Control, Waits{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        preferences->setShortcut(CaptureAction::area, before);
        recorder->setShortcut(before);
        QSignalSpy refusals(&recorder->listener(), &settings::ShortcutListener::refused);
        click(recorder);
        ASSERT_TRUE(recorder->isRecording());
        EXPECT_EQ(recorder->title(), "Type shortcut…");

        press(window.get(), c.keyCode, c.state, c.qtKey);

        const bool listens =
            std::holds_alternative<Refused>(c.outcome) || std::holds_alternative<Waits>(c.outcome);
        EXPECT_EQ(recorder->isRecording(), listens);
        EXPECT_EQ(refusals.count(), std::holds_alternative<Refused>(c.outcome) ? 1 : 0);
        std::optional<KeyShortcut> stored = before;
        if (const auto* recorded = std::get_if<Recorded>(&c.outcome)) {
            stored = recorded->shortcut;
        } else if (std::holds_alternative<Cleared>(c.outcome)) {
            stored = std::nullopt;
        }
        EXPECT_EQ(preferences->shortcuts().value(CaptureAction::area), stored);
        EXPECT_EQ(recorder->shortcut(), stored);
        // Only a listener holds the hot keys back.
        EXPECT_EQ(hotKeys->suspendCount(), listens ? 1 : 0);
        recorder->listener().stop();
        EXPECT_EQ(hotKeys->suspendCount(), 0);
    }
}

TEST_F(ShortcutRecorderTest, FieldTextAndClearButtonFollowTheState) {
    recorder->setShortcut(KeyShortcut{21, 0x1A0000});
    EXPECT_EQ(recorder->title(), "Alt+Shift+Super+4");
    EXPECT_TRUE(recorder->clearButton()->isVisible());

    click(recorder);
    EXPECT_EQ(recorder->title(), "Type shortcut…");
    EXPECT_FALSE(recorder->clearButton()->isEnabled());
    EXPECT_FALSE(recorder->clearButton()->isVisible());
    // A second click ends listening and changes nothing.
    click(recorder);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->title(), "Alt+Shift+Super+4");

    QTest::mouseClick(recorder->clearButton(), Qt::LeftButton);
    EXPECT_EQ(preferences->shortcuts().value(CaptureAction::area), std::nullopt);
    EXPECT_EQ(recorder->title(), "Record Shortcut");
    EXPECT_FALSE(recorder->clearButton()->isVisible());
}

TEST_F(ShortcutRecorderTest, ApplicationKeysDoNotFireWhileListening) {
    int closed = 0;
    auto* close = new QAction(window.get());
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    window->addAction(close);
    QObject::connect(close, &QAction::triggered, [&] { ++closed; });
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy refusals(&recorder->listener(), &settings::ShortcutListener::refused);

    click(recorder);
    // Through the window system, as a real press comes: the shortcut map
    // first, then the key press, which the listener takes (the test's press
    // has no X key code, so it is refused).
    QTest::keyClick(window->windowHandle(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(refusals.count(), 1);

    recorder->listener().stop();
    QTest::keyClick(window->windowHandle(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(closed, 1);
}

// The hot keys stand aside while any recorder listens, and come back with
// what is stored when the last one stops, not with the map they had before.
TEST_F(ShortcutRecorderTest, HotKeysComeBackWithTheStoredShortcuts) {
    const platform::XKeyCombo defaultArea{key::digit4, shift | alt | super};
    struct Case {
        const char* name;
        // Changes the store while the recorders listen.
        std::function<void()> meanwhile;
        // Ends listening.
        std::function<void()> end;
        std::optional<platform::XKeyCombo> area;
        std::optional<platform::XKeyCombo> window;
    };
    const Case cases[] = {
        {"Restore Defaults while listening", [&] { preferences->resetShortcuts(); },
         [&] { press(window.get(), key::escape, 0); }, defaultArea,
         platform::XKeyCombo{key::digit4 + 1, shift | alt | super}},
        {"a shortcut recorded", [] {}, [&] { press(window.get(), key::digit4, control | shift); },
         platform::XKeyCombo{key::digit4, control | shift}, std::nullopt},
        {"the recorder hidden",
         [&] {
             preferences->setShortcut(CaptureAction::window, KeyShortcut{0, 0x100000});
         },
         [&] { recorder->hide(); }, platform::XKeyCombo{key::f5, 0},
         platform::XKeyCombo{key::letterA, super}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->show();
        preferences->setShortcut(CaptureAction::area, KeyShortcut{96, 0});
        preferences->setShortcut(CaptureAction::window, std::nullopt);
        QCoreApplication::processEvents();
        ASSERT_EQ(held(CaptureAction::area), (platform::XKeyCombo{key::f5, 0}));

        click(second);
        click(recorder);
        EXPECT_EQ(hotKeys->suspendCount(), 2);
        EXPECT_TRUE(grabber.held.empty());
        const int grabsBefore = grabber.grabs;
        c.meanwhile();
        QCoreApplication::processEvents();
        EXPECT_EQ(grabber.grabs, grabsBefore) << "a hot key was grabbed while listening";

        c.end();
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_EQ(hotKeys->suspendCount(), 1);
        EXPECT_TRUE(grabber.held.empty()) << "the other recorder still listens";

        // The last one stops: everything stored is held again, at once.
        click(second);
        EXPECT_EQ(hotKeys->suspendCount(), 0);
        EXPECT_EQ(held(CaptureAction::area), c.area);
        EXPECT_EQ(held(CaptureAction::window), c.window);
        QCoreApplication::processEvents();
        EXPECT_EQ(held(CaptureAction::area), c.area);
    }
}

TEST_F(ShortcutRecorderTest, RecordersDestroyedWhileListeningGiveBackTheirSuspensions) {
    auto* field = new QLineEdit(window.get());
    window->layout()->addWidget(field);
    click(recorder);
    click(second);
    delete second;
    second = nullptr;
    EXPECT_EQ(hotKeys->suspendCount(), 1);
    EXPECT_TRUE(grabber.held.empty());
    delete recorder;
    recorder = nullptr;
    EXPECT_EQ(hotKeys->suspendCount(), 0);
    EXPECT_EQ(held(CaptureAction::area), (platform::XKeyCombo{key::digit4, shift | alt | super}));
    // No filter is left behind: typing reaches the window's fields again.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, key::letterA, 0, 0,
                    QStringLiteral("a"));
    QApplication::sendEvent(field, &typed);
    EXPECT_EQ(field->text(), "a");
}

// While listening the field says what is being formed: the modifiers held so
// far, and for a moment why a key was refused, then "Type shortcut…" again.
TEST_F(ShortcutRecorderTest, FieldEchoesHeldModifiersAndSaysWhyAKeyIsRefused) {
    const auto modifierKey = [&](QEvent::Type type, int qtKey, quint16 stateBefore) {
        QKeyEvent event(type, qtKey, Qt::NoModifier, quint32(0), quint32(0), quint32(stateBefore));
        QApplication::sendEvent(window.get(), &event);
    };
    click(recorder);
    modifierKey(QEvent::KeyPress, Qt::Key_Control, 0);
    EXPECT_EQ(recorder->title(), "Ctrl+…");
    modifierKey(QEvent::KeyPress, Qt::Key_Shift, control);
    EXPECT_EQ(recorder->title(), "Ctrl+Shift+…");
    modifierKey(QEvent::KeyRelease, Qt::Key_Control, control | shift);
    EXPECT_EQ(recorder->title(), "Shift+…");
    EXPECT_FALSE(recorder->showsRefusal());

    struct Case {
        const char* name;
        quint8 keyCode;
        quint16 state;
        const char* reason;
    };
    const Case cases[] = {
        {"Shift+A", key::letterA, shift, "Add Ctrl, Alt or Super"},
        {"a key without a code", key::noStoredCode, control, "Not a shortcut key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        press(window.get(), c.keyCode, c.state);
        ASSERT_TRUE(recorder->isRecording());
        EXPECT_TRUE(recorder->showsRefusal());
        EXPECT_EQ(recorder->title(), c.reason);
        EXPECT_EQ(recorder->field()->accessibleName(), c.reason);
    }
    // The word goes by itself; listening goes on.
    modifierKey(QEvent::KeyRelease, Qt::Key_Shift, shift);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !recorder->showsRefusal(); },
                                settings::ShortcutRecorder::refusalShownMs * 3));
    EXPECT_EQ(recorder->title(), "Type shortcut…");
    EXPECT_TRUE(recorder->isRecording());
    // What was held is forgotten when listening ends.
    modifierKey(QEvent::KeyPress, Qt::Key_Alt, 0);
    recorder->listener().stop();
    EXPECT_EQ(recorder->listener().heldModifiers(), 0u);
    EXPECT_EQ(recorder->title(), "Alt+Shift+Super+4");
}

} // namespace

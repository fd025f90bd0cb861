#include "app/HotKeyCenter.h"

#include "app/Preferences.h"
#include "platform/GlobalKeyGrabber.h"
#include "support/TempDir.h"

#include <QSignalSpy>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using app::CaptureAction;
using app::HotKeyCenter;
using app::KeyShortcut;
using app::Preferences;
using app::ShortcutMap;
using platform::GrabResult;
using platform::XKeyCombo;

constexpr std::uint64_t kShift = 0x20000, kControl = 0x40000, kOption = 0x80000,
                        kCommand = 0x100000, kCapsLock = 0x10000;
constexpr std::uint64_t kShiftOptionCommand = kShift | kOption | kCommand;
// Shift | Mod1 | Mod4, and with Control.
constexpr quint16 kXShiftAltSuper = 0x49;
constexpr quint16 kXControlShiftAltSuper = 0x4d;

// Stands for the X server and its other clients: combinations in `taken` are
// held by someone else; a combination is grabbed at most once.
class FakeGrabber final : public platform::GlobalKeyGrabber {
public:
    struct State {
        std::map<quint32, XKeyCombo> held;
        std::vector<XKeyCombo> taken;
        std::vector<std::string> log;
        std::function<void(quint32)> onPressed;
    };
    explicit FakeGrabber(State& state) : state_(state) {}

    GrabResult grab(quint32 id, XKeyCombo key) override {
        ungrab(id);
        state_.log.push_back("grab " + std::to_string(id));
        for (const XKeyCombo& other : state_.taken) {
            if (other == key) {
                return GrabResult::taken;
            }
        }
        for (const auto& [heldId, heldKey] : state_.held) {
            if (heldKey == key) {
                return GrabResult::duplicate;
            }
        }
        state_.held[id] = key;
        return GrabResult::grabbed;
    }
    void ungrab(quint32 id) override {
        if (state_.held.erase(id) > 0) {
            state_.log.push_back("ungrab " + std::to_string(id));
        }
    }
    void setOnPressed(std::function<void(quint32)> onPressed) override {
        state_.onPressed = std::move(onPressed);
    }

private:
    State& state_;
};

ShortcutMap defaultShortcuts() {
    return ShortcutMap::defaults();
}

ShortcutMap mapOf(std::initializer_list<std::pair<CaptureAction, KeyShortcut>> entries) {
    ShortcutMap map;
    for (const auto& [action, shortcut] : entries) {
        map.set(action, shortcut);
    }
    return map;
}

class HotKeyCenterTest : public testing::Test {
protected:
    HotKeyCenterTest() : center(std::make_unique<FakeGrabber>(server)) {
        center.onAction = [this](CaptureAction action) { actions.push_back(action); };
    }
    std::set<quint32> heldIds() const {
        std::set<quint32> ids;
        for (const auto& entry : server.held) {
            ids.insert(entry.first);
        }
        return ids;
    }
    // Like the server, only a held combination can be pressed.
    void press(quint32 id) {
        if (server.held.contains(id)) {
            server.onPressed(id);
        }
    }

    FakeGrabber::State server;
    HotKeyCenter center;
    std::vector<CaptureAction> actions;
};

TEST_F(HotKeyCenterTest, RegistersTheNineActionsByIndexWithTheirXKeys) {
    center.registerAll(defaultShortcuts());
    EXPECT_EQ(heldIds(), (std::set<quint32>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(center.conflicts().empty());
    // Shift+Alt+Super+4 and Control+Shift+Alt+Super+5 on a PC keyboard.
    EXPECT_EQ(server.held.at(0), (XKeyCombo{13, kXShiftAltSuper}));
    EXPECT_EQ(server.held.at(7), (XKeyCombo{14, kXControlShiftAltSuper}));

    press(1);
    press(8);
    EXPECT_THAT(actions,
                testing::ElementsAre(CaptureAction::window, CaptureAction::fullscreenCopy));
}

TEST_F(HotKeyCenterTest, RegistersOnlyTheActionsTheMapNames) {
    center.registerAll(mapOf({{CaptureAction::windowCopy, KeyShortcut{23, kShiftOptionCommand}}}));
    EXPECT_EQ(heldIds(), (std::set<quint32>{7}));
    EXPECT_TRUE(center.isRegistered(CaptureAction::windowCopy));
    EXPECT_FALSE(center.isRegistered(CaptureAction::window));

    center.registerAll({});
    EXPECT_TRUE(heldIds().empty());
}

TEST_F(HotKeyCenterTest, ATakenShortcutIsAConflictAndTheOthersStillWork) {
    server.taken.push_back({13, kXShiftAltSuper});
    QSignalSpy changed(&center, &HotKeyCenter::conflictsChanged);
    center.registerAll(defaultShortcuts());

    EXPECT_EQ(center.conflicts(), (std::set<CaptureAction>{CaptureAction::area}));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(heldIds(), (std::set<quint32>{1, 2, 3, 4, 5, 6, 7, 8}));
    press(1);
    EXPECT_THAT(actions, testing::ElementsAre(CaptureAction::window));

    // The same outcome again is no change; freeing the key clears the conflict.
    center.registerAll(defaultShortcuts());
    EXPECT_EQ(changed.count(), 1);
    server.taken.clear();
    center.registerAll(defaultShortcuts());
    EXPECT_TRUE(center.conflicts().empty());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(HotKeyCenterTest, ConflictsOfTheMapItself) {
    auto map = defaultShortcuts();
    // Two actions on one combination: the first in declaration order wins.
    map.set(CaptureAction::record, map.value(CaptureAction::text));
    // No key of a PC keyboard has this code.
    map.set(CaptureAction::scrolling, KeyShortcut{0xFFFF, kShiftOptionCommand});
    center.registerAll(map);
    EXPECT_EQ(center.conflicts(),
              (std::set<CaptureAction>{CaptureAction::scrolling, CaptureAction::record}));
    EXPECT_TRUE(center.isRegistered(CaptureAction::text));
    EXPECT_EQ(heldIds(), (std::set<quint32>{0, 1, 2, 4, 6, 7, 8}));
}

TEST_F(HotKeyCenterTest, AnEmptyMapRegistersNothingAndClearsConflicts) {
    server.taken.push_back({13, kXShiftAltSuper});
    center.registerAll(defaultShortcuts());
    ASSERT_FALSE(center.conflicts().empty());
    QSignalSpy changed(&center, &HotKeyCenter::conflictsChanged);

    center.registerAll({});
    EXPECT_TRUE(center.conflicts().empty());
    EXPECT_TRUE(heldIds().empty());
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(HotKeyCenterTest, ReRegistrationReplacesTheWholeSet) {
    center.registerAll(defaultShortcuts());
    server.log.clear();
    ShortcutMap changed = defaultShortcuts();
    changed.set(CaptureAction::record, std::nullopt);
    changed.set(CaptureAction::area, KeyShortcut{0 /* A */, kShift | kCommand});
    center.registerAll(changed);

    EXPECT_EQ(heldIds(), (std::set<quint32>{0, 1, 2, 3, 4, 6, 7, 8}));
    EXPECT_EQ(server.held.at(0), (XKeyCombo{38, 0x41}));
    // Every old hot key went before the new ones came.
    ASSERT_EQ(server.log.size(), 9u + 8u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(server.log[i].rfind("ungrab ", 0), 0u) << server.log[i];
    }
    EXPECT_EQ(center.shortcuts(), changed);
}

TEST_F(HotKeyCenterTest, FollowsTheStoredShortcuts) {
    testsupport::TempDir dir;
    Preferences preferences(dir.file(QStringLiteral("settings.conf")));
    center.follow(preferences);
    EXPECT_EQ(heldIds(), (std::set<quint32>{0, 1, 2, 3, 4, 5, 6, 7, 8}));

    // Disabling one action, or giving it another key, re-registers at once.
    preferences.setShortcut(CaptureAction::area, std::nullopt);
    EXPECT_FALSE(server.held.contains(0));
    preferences.setShortcut(CaptureAction::record, KeyShortcut{0 /* A */, kControl});
    EXPECT_EQ(server.held.at(5), (XKeyCombo{38, 0x04}));

    // A change during a suspension arrives with the resume.
    center.suspend();
    preferences.resetShortcuts();
    EXPECT_TRUE(heldIds().empty());
    center.resume();
    EXPECT_EQ(server.held.at(5), (XKeyCombo{16, kXShiftAltSuper}));
    EXPECT_TRUE(server.held.contains(0));

    // Following another store lets go of the first.
    Preferences other(dir.file(QStringLiteral("other.conf")));
    other.setShortcuts(mapOf({{CaptureAction::text, KeyShortcut{19, kShift}}}));
    center.follow(other);
    EXPECT_EQ(heldIds(), (std::set<quint32>{4}));
    preferences.setShortcut(CaptureAction::area, std::nullopt);
    preferences.resetShortcuts();
    EXPECT_EQ(heldIds(), (std::set<quint32>{4}));
}

TEST_F(HotKeyCenterTest, AStoredPlainKeyIsNeverGrabbed) {
    // A settings file someone edited by hand: "a" alone for full screen,
    // shift-"a" for an area, F5 alone for a recording.
    testsupport::TempDir dir;
    testsupport::writeAll(dir.file(QStringLiteral("settings.conf")),
                          R"ini([General]
shortcuts="{\"fullscreen\":{\"keyCode\":0,\"modifiers\":0},\"area\":{\"keyCode\":0,\"modifiers\":131072},\"record\":{\"keyCode\":96,\"modifiers\":0}}"
)ini");
    Preferences preferences(dir.file(QStringLiteral("settings.conf")));
    center.follow(preferences);

    EXPECT_EQ(heldIds(), (std::set<quint32>{1, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(center.conflicts().empty());
    for (const auto& [id, key] : server.held) {
        EXPECT_NE(key.keycode, 38) << "the A key is held by action " << id;
    }
    EXPECT_EQ(server.held.at(5), (XKeyCombo{71 /* F5 */, 0}));
}

TEST_F(HotKeyCenterTest, CapsLockInTheStoredModifiersChangesNothing) {
    center.registerAll(
        mapOf({{CaptureAction::area, KeyShortcut{21, kShiftOptionCommand | kCapsLock}}}));
    EXPECT_EQ(server.held.at(0), (XKeyCombo{13, kXShiftAltSuper}));
}

TEST_F(HotKeyCenterTest, SuspensionKeepsTheNewestMapForResume) {
    center.registerAll(defaultShortcuts());
    server.taken.push_back({13, kXShiftAltSuper});
    center.registerAll(defaultShortcuts());
    ASSERT_EQ(center.conflicts().size(), 1u);

    center.suspend();
    center.suspend();
    EXPECT_TRUE(heldIds().empty());
    EXPECT_EQ(center.conflicts().size(), 1u) << "a suspension leaves the conflicts alone";
    press(1);
    EXPECT_TRUE(actions.empty());

    server.taken.clear();
    const ShortcutMap onlyText = mapOf({{CaptureAction::text, KeyShortcut{19, kShift}}});
    center.registerAll(onlyText);
    EXPECT_TRUE(heldIds().empty());
    center.resume();
    EXPECT_TRUE(heldIds().empty()) << "one suspension is still open";
    center.resume();
    EXPECT_EQ(heldIds(), (std::set<quint32>{4}));
    EXPECT_TRUE(center.conflicts().empty());

    // A resume without a suspension does nothing.
    server.log.clear();
    center.resume();
    EXPECT_TRUE(server.log.empty());
    EXPECT_FALSE(center.isSuspended());
}

TEST_F(HotKeyCenterTest, OnlyActionIdentifiersReachTheAction) {
    for (quint32 id : {9u, 10u, 899u, 900u, 901u, 0xFFFFFFFFu}) {
        center.dispatch(id);
    }
    EXPECT_TRUE(actions.empty());
    center.onAction = nullptr;
    center.dispatch(0);
}

TEST_F(HotKeyCenterTest, OnlyTheNewestEscapeHolderHearsEscape) {
    EXPECT_FALSE(center.isEscapeRegistered());
    std::vector<std::string> heard;
    const int first = center.holdEscape([&] { heard.push_back("first"); });
    const int second = center.holdEscape([&] { heard.push_back("second"); });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(server.held.at(HotKeyCenter::escapeHotKeyID), (XKeyCombo{9, 0}));
    EXPECT_EQ(std::count(server.log.begin(), server.log.end(), "grab 900"), 1)
        << "nested holders share one grab";

    press(900);
    center.releaseEscape(second);
    press(900);
    EXPECT_THAT(heard, testing::ElementsAre("second", "first"));
    EXPECT_TRUE(center.isEscapeRegistered());

    center.releaseEscape(first);
    EXPECT_FALSE(center.isEscapeRegistered());
    EXPECT_FALSE(server.held.contains(HotKeyCenter::escapeHotKeyID));
    press(900);
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_TRUE(actions.empty());
}

TEST_F(HotKeyCenterTest, ReleasingAStrangerOrTwiceChangesNothing) {
    std::vector<std::string> heard;
    const int first = center.holdEscape([&] { heard.push_back("first"); });
    const int second = center.holdEscape([&] { heard.push_back("second"); });
    center.releaseEscape(second);
    center.releaseEscape(second);
    center.releaseEscape(77);
    center.releaseEscape(0);
    EXPECT_TRUE(center.isEscapeRegistered());
    press(900);
    EXPECT_THAT(heard, testing::ElementsAre("first"));
    // Tokens are never handed out twice.
    EXPECT_EQ(center.holdEscape([] {}), 3);
    center.releaseEscape(first);
    EXPECT_TRUE(center.isEscapeRegistered());
}

TEST_F(HotKeyCenterTest, AHolderMayLetGoWhileItHearsEscape) {
    int token = 0;
    int calls = 0;
    token = center.holdEscape([&] {
        ++calls;
        center.releaseEscape(token);
    });
    press(900);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(center.isEscapeRegistered());
}

TEST_F(HotKeyCenterTest, ARefusedEscapeIsTriedAgainByTheNextHold) {
    server.taken.push_back({9, 0});
    const int first = center.holdEscape([] {});
    EXPECT_FALSE(center.isEscapeRegistered());
    server.taken.clear();
    const int second = center.holdEscape([] {});
    EXPECT_TRUE(center.isEscapeRegistered());
    center.releaseEscape(second);
    EXPECT_TRUE(center.isEscapeRegistered()) << "the first hold still counts";
    center.releaseEscape(first);
    EXPECT_FALSE(center.isEscapeRegistered());
}

TEST_F(HotKeyCenterTest, EscapeOutlivesRegistrationAndSuspension) {
    center.registerAll(defaultShortcuts());
    center.holdEscape([] {});
    center.suspend();
    center.registerAll({});
    center.resume();
    center.unregisterAll();
    EXPECT_EQ(heldIds(), (std::set<quint32>{900}));
}

TEST(HotKeyCenterShared, WithoutAnXServerEveryShortcutIsAConflict) {
    // Unit tests run on the offscreen platform: nothing can be grabbed, and
    // that must not look like success.
    HotKeyCenter& center = HotKeyCenter::shared();
    EXPECT_EQ(&center, &HotKeyCenter::shared());
    center.registerAll(defaultShortcuts());
    EXPECT_EQ(center.conflicts().size(), 9u);
    const int token = center.holdEscape([] {});
    EXPECT_FALSE(center.isEscapeRegistered());
    center.releaseEscape(token);
    center.registerAll({});
}

} // namespace

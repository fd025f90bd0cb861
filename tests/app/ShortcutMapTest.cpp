#include "app/ShortcutMap.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using app::CaptureAction;
using app::KeyShortcut;
using app::ShortcutMap;

namespace {

constexpr std::uint64_t kSOC = 0x1A0000;  // shift, option, command
constexpr std::uint64_t kCSOC = 0x1E0000; // control added

const QByteArray kDefaultJson =
    R"({"area":{"keyCode":21,"modifiers":1703936},"window":{"keyCode":23,"modifiers":1703936},)"
    R"("fullscreen":{"keyCode":20,"modifiers":1703936},"scrolling":{"keyCode":22,"modifiers":1703936},)"
    R"("text":{"keyCode":19,"modifiers":1703936},"record":{"keyCode":26,"modifiers":1703936},)"
    R"("areaCopy":{"keyCode":21,"modifiers":1966080},"windowCopy":{"keyCode":23,"modifiers":1966080},)"
    R"("fullscreenCopy":{"keyCode":20,"modifiers":1966080}})";

TEST(ShortcutMap, DefaultsGiveEveryActionItsShippedShortcut) {
    const ShortcutMap map = ShortcutMap::defaults();
    const std::pair<CaptureAction, KeyShortcut> expected[] = {
        {CaptureAction::area, {21, kSOC}},
        {CaptureAction::window, {23, kSOC}},
        {CaptureAction::fullscreen, {20, kSOC}},
        {CaptureAction::scrolling, {22, kSOC}},
        {CaptureAction::text, {19, kSOC}},
        {CaptureAction::record, {26, kSOC}},
        {CaptureAction::areaCopy, {21, kCSOC}},
        {CaptureAction::windowCopy, {23, kCSOC}},
        {CaptureAction::fullscreenCopy, {20, kCSOC}},
    };
    for (const auto& [action, shortcut] : expected) {
        EXPECT_EQ(map.value(action), shortcut) << app::rawValue(action).toStdString();
    }
}

TEST(ShortcutMap, WritesMembersInActionOrderWithKeyCodeFirst) {
    EXPECT_EQ(ShortcutMap::defaults().toJson(), kDefaultJson);

    ShortcutMap map = ShortcutMap::defaults();
    map.set(CaptureAction::window, std::nullopt);
    map.set(CaptureAction::record, KeyShortcut{96, 0});
    const QByteArray json = map.toJson();
    EXPECT_TRUE(json.startsWith(R"({"area":{"keyCode":21,"modifiers":1703936},"window":null,)"));
    EXPECT_TRUE(json.contains(R"("record":{"keyCode":96,"modifiers":0},)"));
    EXPECT_EQ(ShortcutMap::fromJson(json), map);
}

TEST(ShortcutMap, LargeNumbersAreWrittenExactly) {
    ShortcutMap map;
    map.set(CaptureAction::area, KeyShortcut{4294967295u, 0x7FFFFFFFFFFFFFFFull});
    const QByteArray json = map.toJson();
    EXPECT_TRUE(json.contains(R"("area":{"keyCode":4294967295,"modifiers":9223372036854775807})"))
        << json.toStdString();
    EXPECT_EQ(ShortcutMap::fromJson(json).value(CaptureAction::area),
              map.value(CaptureAction::area));
}

TEST(ShortcutMap, StoredEntriesLieOverTheDefaults) {
    {
        const ShortcutMap map = ShortcutMap::fromJson(R"({"area": null})");
        EXPECT_EQ(map.value(CaptureAction::area), std::nullopt);
        ShortcutMap expected = ShortcutMap::defaults();
        expected.set(CaptureAction::area, std::nullopt);
        EXPECT_EQ(map, expected);
    }
    {
        const ShortcutMap map =
            ShortcutMap::fromJson(R"({"text": {"modifiers": 1179648, "keyCode": 17}})");
        ShortcutMap expected = ShortcutMap::defaults();
        expected.set(CaptureAction::text, KeyShortcut{17, 0x120000});
        EXPECT_EQ(map, expected);
    }
    {
        // Unknown names are skipped, near-misses of action names too.
        const ShortcutMap map = ShortcutMap::fromJson(
            R"({"bogus": {"keyCode": 1, "modifiers": 0}, "Area": null, "area ": null})");
        EXPECT_EQ(map, ShortcutMap::defaults());
    }
    EXPECT_EQ(ShortcutMap::fromJson("{}"), ShortcutMap::defaults());
}

TEST(ShortcutMap, AStoredPlainKeyLeavesItsActionWithoutAShortcut) {
    // Key codes: 0 "a", 49 Space, 53 Escape, 96 F5. Modifier bits: 0x10000
    // Caps Lock, 0x20000 shift, 0x40000 control, 0x80000 option, 0x100000
    // command.
    struct Case {
        const char* stored;
        std::optional<KeyShortcut> expected;
    };
    const Case cases[] = {
        {R"({"keyCode":0,"modifiers":0})", std::nullopt},
        {R"({"keyCode":0,"modifiers":131072})", std::nullopt},
        {R"({"keyCode":0,"modifiers":196608})", std::nullopt},
        {R"({"keyCode":0,"modifiers":8388608})", std::nullopt}, // function bit only
        {R"({"keyCode":49,"modifiers":0})", std::nullopt},
        {R"({"keyCode":53,"modifiers":131072})", std::nullopt},
        {R"({"keyCode":96,"modifiers":0})", KeyShortcut{96, 0}},
        {R"({"keyCode":96,"modifiers":131072})", KeyShortcut{96, 0x20000}},
        {R"({"keyCode":0,"modifiers":262144})", KeyShortcut{0, 0x40000}},
        {R"({"keyCode":0,"modifiers":524288})", KeyShortcut{0, 0x80000}},
        {R"({"keyCode":0,"modifiers":1179648})", KeyShortcut{0, 0x120000}},
    };
    for (const Case& c : cases) {
        const QByteArray json = QByteArray(R"({"fullscreen":)") + c.stored + "}";
        ShortcutMap expected = ShortcutMap::defaults();
        expected.set(CaptureAction::fullscreen, c.expected);
        EXPECT_EQ(ShortcutMap::fromJson(json), expected) << c.stored;
    }
}

TEST(ShortcutMap, AnyUnreadablePartGivesAllDefaults) {
    const char* cases[] = {
        "",
        "not json",
        R"({"area": null)",
        R"([{"keyCode": 1, "modifiers": 0}])",
        R"("area")",
        R"({"area": null, "text": {"keyCode": 17}})",
        R"({"area": null, "bogus": {"keyCode": 17}})",
        R"({"area": null, "text": 5})",
        R"({"area": null, "text": "⌘2"})",
        R"({"area": null, "text": {"keyCode": -1, "modifiers": 0}})",
        R"({"area": null, "text": {"keyCode": 1.5, "modifiers": 0}})",
        R"({"area": null, "text": {"keyCode": 4294967296, "modifiers": 0}})",
        R"({"area": null, "text": {"keyCode": "17", "modifiers": 0}})",
    };
    for (const char* json : cases) {
        EXPECT_EQ(ShortcutMap::fromJson(json), ShortcutMap::defaults()) << json;
    }
}

} // namespace

#include "app/KeyShortcut.h"

#include <QHash>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <unordered_set>

namespace {

using app::KeyShortcut;

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

TEST(KeyShortcut, EqualityAndHashingUseBothFields) {
    const KeyShortcut a{21, 0x1A0000};
    EXPECT_EQ(a, (KeyShortcut{21, 0x1A0000}));
    EXPECT_NE(a, (KeyShortcut{21, 0x180000}));
    EXPECT_NE(a, (KeyShortcut{20, 0x1A0000}));
    EXPECT_EQ(qHash(a), qHash(KeyShortcut{21, 0x1A0000}));

    QSet<KeyShortcut> qtSet{a, KeyShortcut{21, 0x1A0000}, KeyShortcut{0x1A0000, 21}};
    EXPECT_EQ(qtSet.size(), 2);
    std::unordered_set<KeyShortcut> stdSet{a, KeyShortcut{21, 0x1A0000}, KeyShortcut{20, 0}};
    EXPECT_EQ(stdSet.size(), 2u);
}

TEST(KeyShortcut, EncodesExactlyTwoKeys) {
    const QJsonObject json = KeyShortcut{21, 0x1A0000}.toJson();
    EXPECT_EQ(json.keys(), (QStringList{"keyCode", "modifiers"}));
    EXPECT_EQ(QJsonDocument(json).toJson(QJsonDocument::Compact),
              QByteArray(R"({"keyCode":21,"modifiers":1703936})"));
}

TEST(KeyShortcut, RoundTripsThroughJsonText) {
    for (const KeyShortcut shortcut : {KeyShortcut{0, 0}, KeyShortcut{21, 0x1A0000},
                                       KeyShortcut{0xFFFFFFFF, 0x7FFFFFFFFFFFFFFF}}) {
        const QByteArray text = QJsonDocument(shortcut.toJson()).toJson();
        EXPECT_EQ(KeyShortcut::fromJson(QJsonDocument::fromJson(text).object()), shortcut)
            << text.constData();
    }
}

TEST(KeyShortcut, DecodingRefusesMissingOrOutOfRangeFields) {
    struct Case {
        const char* json;
        std::optional<KeyShortcut> expected;
    };
    const Case cases[] = {
        {R"({"keyCode":21,"modifiers":1703936})", KeyShortcut{21, 0x1A0000}},
        {R"({"keyCode":21.0,"modifiers":0,"extra":true})", KeyShortcut{21, 0}},
        {R"({"keyCode":4294967295,"modifiers":0})", KeyShortcut{0xFFFFFFFF, 0}},
        {R"({"modifiers":0})", std::nullopt},
        {R"({"keyCode":21})", std::nullopt},
        {R"({"keyCode":21,"modifiers":null})", std::nullopt},
        {R"({"keyCode":"21","modifiers":0})", std::nullopt},
        {R"({"keyCode":true,"modifiers":0})", std::nullopt},
        {R"({"keyCode":-1,"modifiers":0})", std::nullopt},
        {R"({"keyCode":21,"modifiers":-131072})", std::nullopt},
        {R"({"keyCode":4294967296,"modifiers":0})", std::nullopt},
        {R"({"keyCode":21.5,"modifiers":0})", std::nullopt},
        {R"({"keyCode":21,"modifiers":1e300})", std::nullopt},
        {R"({})", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyShortcut::fromJson(parse(c.json)), c.expected) << c.json;
    }
}

} // namespace
